#pragma once
// The dialog services on a terminal: status texts become progress lines, boxes become
// messages (errors on stderr), questions become prompts.

#include <iosfwd>
#include <string>

#include "app/cli/cli_options.h"
#include "app/cli/progress_display.h"
#include "common/user_interface.h"

namespace brevant {

class TerminalUi final : public UserInterface {
public:
    // `idleText` is the status text of an idle program (the welcome text); it is not
    // repeated on the terminal at the end of every run.
    TerminalUi(std::ostream& out, std::ostream& err, std::istream& in, bool inputIsTerminal, AnswerPolicy answers,
               std::string idleText);

    void SetStatusText(std::string_view text) override;
    void ShowMessage(std::string_view text, std::string_view caption, BoxIcon icon) override;
    bool AskYesNo(std::string_view text, std::string_view caption) override;
    void ReportProgress(const ProgressEvent& event) override;

    // Where progress events go; without one they are dropped. A bar still open is ended
    // before any other output so the two never share a line.
    void SetProgressDisplay(ProgressDisplay* display) { progress_ = display; }

private:
    std::ostream& out_;
    std::ostream& err_;
    std::istream& in_;
    bool inputIsTerminal_;
    AnswerPolicy answers_;
    std::string idleText_;
    ProgressDisplay* progress_ = nullptr;

    void EndProgressLine();
};

// A multi-line text with every line after the first indented, and leading line breaks gone.
std::string IndentText(std::string_view text, std::string_view indent);

}  // namespace brevant
