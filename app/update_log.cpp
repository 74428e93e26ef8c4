#include "app/update_log.h"

#include <utility>

#include "app/file_lock.h"
#include "update/message_buffer.h"

namespace brevant {

namespace {
constexpr const char* kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
using LogLineBuffer = MessageBuffer<520>;
}  // namespace

std::string FormatLogTimestamp(const LocalTime& t) {
    if (t.month < 1 || t.month > 12) return std::string();
    char text[128];
    const int n = std::snprintf(text, sizeof text, "%s %02d, %04d  %02d:%02d:%02d", kMonthNames[t.month - 1], t.day,
                                t.year, t.hour, t.minute, t.second);
    // A time stamp that does not fit is left empty rather than cut.
    if (n < 0 || n >= int(sizeof text)) return std::string();
    return text;
}

UpdateLog::UpdateLog(PathLocator locate, Clock& clock, std::string titleText, std::string versionText)
    : locate_(std::move(locate)), clock_(clock), title_(std::move(titleText)), version_(std::move(versionText)) {}

UpdateLog::~UpdateLog() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string UpdateLog::Timestamp() { return FormatLogTimestamp(clock_.ToLocal(clock_.UnixSeconds())); }

void UpdateLog::WriteAndFlush(std::string_view bytes) {
    // A write error after a successful open is not reported: the run must go on.
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    std::fflush(file_);
}

void UpdateLog::Open() {
    if (file_ != nullptr) return;
    const std::optional<std::string> path = locate_ ? locate_() : std::nullopt;
    if (!path || path->empty()) return;
    // Append mode creates a missing file, keeps what is there and writes at the end.
    file_ = std::fopen(path->c_str(), "ab");
    if (file_ == nullptr) return;
    // A log held by another run counts as one that cannot be opened: this run goes on
    // without a log rather than mixing its lines into the other's.
    if (!LockFileExclusively(file_)) {
        std::fclose(file_);
        file_ = nullptr;
        return;
    }
    LogLineBuffer header;
    WriteAndFlush(header.Format("%s - %s: Build: %s\n", Timestamp().c_str(), title_.c_str(), version_.c_str()));
}

void UpdateLog::Line(std::string_view text) {
    if (file_ == nullptr) return;
    std::string line = Timestamp();
    line += " - ";
    line += text;
    line += '\n';
    WriteAndFlush(line);
}

void UpdateLog::Close() {
    if (file_ == nullptr) return;
    LogLineBuffer exitLine;
    WriteAndFlush(exitLine.Format("%s - Exiting\n", Timestamp().c_str()));
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace brevant
