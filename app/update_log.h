#pragma once
// The update log: one plain-text file, appended run after run and never truncated. Every
// line is flushed at once so the file is complete up to the last line whatever happens.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "update/run_log.h"

namespace brevant {

inline constexpr const char* kUpdateLogFileName = "QZUpdate.log";

// "%B %d, %Y  %H:%M:%S" with English month names, whatever the locale.
std::string FormatLogTimestamp(const LocalTime& t);

class UpdateLog final : public RunLog {
public:
    // Returns the full path of the log file, or nothing when there is nowhere to keep it.
    using PathLocator = std::function<std::optional<std::string>()>;

    UpdateLog(PathLocator locate, Clock& clock, std::string titleText, std::string versionText);
    ~UpdateLog() override;
    UpdateLog(const UpdateLog&) = delete;
    UpdateLog& operator=(const UpdateLog&) = delete;

    bool IsOpen() const override { return file_ != nullptr; }
    void Open() override;
    void Line(std::string_view text) override;
    void Close() override;

private:
    void WriteAndFlush(std::string_view bytes);
    std::string Timestamp();

    PathLocator locate_;
    Clock& clock_;
    std::string title_;
    std::string version_;
    std::FILE* file_ = nullptr;
};

}  // namespace brevant
