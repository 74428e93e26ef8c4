#pragma once
// Long work on the command line: on a terminal a one-line bar redrawn in place, with the
// count done, the total, the unit and the rate; without a terminal (a pipe, a log file) a
// few plain lines per transfer, so the output stays readable.

#include <cstdint>
#include <ostream>
#include <string>

#include "common/clock.h"
#include "common/user_interface.h"

namespace brevant {

class ProgressDisplay {
public:
    // Both references must outlive the display.
    ProgressDisplay(std::ostream& out, bool isTerminal, Clock& clock);

    void Show(const ProgressEvent& event);

    // Ends a bar that was left half-drawn (a transfer that broke off), so that whatever is
    // printed next starts on a line of its own. Does nothing when no bar is open.
    void Finish();

private:
    bool StartsNewTransfer(const ProgressEvent& event) const;
    void DrawBar(const ProgressEvent& event, uint64_t nowMs);
    void WritePlainLine(const ProgressEvent& event, uint64_t nowMs, bool withRate);
    std::string RateText(const ProgressEvent& event, uint64_t nowMs) const;

    std::ostream& out_;
    bool isTerminal_;
    Clock& clock_;

    bool active_ = false;  // a transfer has started and not reached its total
    std::string what_;
    std::string unit_;
    uint64_t total_ = 0;
    uint64_t lastDone_ = 0;
    uint64_t startDone_ = 0;
    uint64_t startMs_ = 0;
    uint64_t lastQuarter_ = 0;  // plain mode: the last quarter reported
    size_t lastWidth_ = 0;      // terminal mode: length of the last bar, to blank leftovers
};

}  // namespace brevant
