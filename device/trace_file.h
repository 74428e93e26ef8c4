#pragma once
// Traces: every transfer of one run at the transport seam, written as it happens and read
// back to replay a run against the updater.
//
// Format (text, one record per line, lines end with a line feed):
//
//   BREVANT-TRACE 1
//   # anything after '#' at the start of a line is a comment
//   S <ms> <unix>            the recording started at wall-clock <unix> seconds (UTC)
//   O <ms> <result>          Open returned <result> (0: the link is open)
//   C <ms> <result>          Close returned <result>
//   W <ms> <result> <hex>    Write of the bytes <hex>; the transport returned <result>
//                            (their count when all were sent, 0 when the write failed)
//   R <ms> <asked> <hex>     Read asking for <asked> bytes received <hex>
//
// A W or R record whose transfer carried no bytes (a failed read; a write of nothing)
// writes "-" for <hex>.
//
// <ms> is decimal milliseconds since the recording started and never goes down; <result>
// and <asked> are decimal 0..4294967295; <hex> is two lower- or upper-case hex digits per
// byte, no separators, at most 65,568 bytes. Fields are
// separated by one blank. Limits: at most 2,000,000 records and 512 MiB per file.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

inline constexpr const char* kTraceHeader = "BREVANT-TRACE 1";
inline constexpr uint32_t kMaxTraceRecordBytes = 65568;
inline constexpr uint32_t kMaxTraceRecords = 2000000;
inline constexpr uint64_t kMaxTraceFileBytes = 512ull * 1024 * 1024;

enum class TraceEvent : char {
    Start = 'S',
    Open = 'O',
    Close = 'C',
    Write = 'W',
    Read = 'R',
};

struct TraceRecord {
    TraceEvent event = TraceEvent::Open;
    uint64_t milliseconds = 0;
    uint32_t value = 0;  // Open/Close/Write: the result; Read: the count asked for; Start: unix seconds
    std::vector<uint8_t> bytes;
    uint32_t line = 0;   // where the record stood in its file (reader only)
};

// Writes records as they happen; each record is flushed whole, so a trace cut short by a
// crash still reads up to its last complete line. Nothing is allocated per record.
class TraceWriter {
public:
    TraceWriter() = default;
    ~TraceWriter();
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // Creates (or truncates) the file and writes the header. False with `error` on failure.
    bool Open(const std::string& path, std::string& error);
    // Appends one record. A record with more than the limit's bytes keeps its first
    // kMaxTraceRecordBytes and marks the trace failed.
    void Append(TraceEvent event, uint64_t milliseconds, uint32_t value, const uint8_t* bytes, uint32_t count);
    // Closes the file; false when any write failed along the way (the reason in error()).
    bool Close();

    bool IsOpen() const { return file_ != nullptr; }
    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }
    uint32_t recordCount() const { return records_; }

private:
    void Fail(const char* what);

    std::FILE* file_ = nullptr;
    std::string path_;
    bool failed_ = false;
    std::string error_;
    uint32_t records_ = 0;
};

// Parses a whole trace. On failure returns false and `error` says where: "line L, column
// C: what". Never throws.
bool ParseTrace(std::string_view text, std::vector<TraceRecord>& records, std::string& error);

// Reads and parses a trace file; errors are prefixed with the path.
bool ReadTraceFile(const std::string& path, std::vector<TraceRecord>& records, std::string& error);

}  // namespace brevant
