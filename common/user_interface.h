#pragma once
// The one narrow way the update engine and the device object reach a person. The Windows
// dialog, the terminal front end and the test doubles all implement it; the core never
// touches a window or a terminal itself.

#include <cstdint>
#include <string_view>

namespace brevant {

enum class BoxIcon {
    Error,        // MB_ICONERROR (16): failures, captioned "Error"
    Exclamation,  // MB_ICONEXCLAMATION (48): the programming-mode notices
    Information,  // MB_ICONINFORMATION (64): the success report
};

// Long work (a transfer, the scanner's block loop) may report how far it got. Front ends
// that cannot show it ignore it.
struct ProgressEvent {
    std::string_view what;  // short label, e.g. "Application"
    uint64_t done = 0;
    uint64_t total = 0;
    std::string_view unit;  // "bytes" or "blocks"
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // Replaces the whole text of the status area.
    virtual void SetStatusText(std::string_view text) = 0;

    // A modal OK box. Returns when the person has dismissed it.
    virtual void ShowMessage(std::string_view text, std::string_view caption, BoxIcon icon) = 0;

    // A modal Yes/No box with the question icon. Only an explicit Yes is consent.
    virtual bool AskYesNo(std::string_view text, std::string_view caption) = 0;

    virtual void ReportProgress(const ProgressEvent& /*event*/) {}

    void ShowError(std::string_view text) { ShowMessage(text, "Error", BoxIcon::Error); }
};

}  // namespace brevant
