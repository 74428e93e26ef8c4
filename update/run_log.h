#pragma once
// The update log as the engine sees it: opened at the start of a run, one time-stamped line
// per text, an exit line at the end. Where and how it is stored is the front end's business.

#include <string_view>

namespace brevant {

class RunLog {
public:
    virtual ~RunLog() = default;
    virtual bool IsOpen() const = 0;
    // Writes the header line; failure leaves the log closed and every Line a no-op.
    virtual void Open() = 0;
    // One time-stamped line; does nothing while the log is closed.
    virtual void Line(std::string_view text) = 0;
    // Writes the exit line if open, then closes; always leaves the log closed.
    virtual void Close() = 0;
};

// A log that keeps nothing, for front ends that have nowhere to write.
class DiscardingRunLog final : public RunLog {
public:
    bool IsOpen() const override { return false; }
    void Open() override {}
    void Line(std::string_view) override {}
    void Close() override {}
};

}  // namespace brevant
