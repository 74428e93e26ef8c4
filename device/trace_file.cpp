// Reading and writing traces (format in trace_file.h).

#include "device/trace_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <new>

namespace brevant {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class LineParser {
public:
    LineParser(std::string_view line, uint32_t number, std::string& error)
        : line_(line), number_(number), error_(error) {}

    bool Fail(size_t column, const std::string& what) {
        error_ = "line " + std::to_string(number_) + ", column " + std::to_string(column + 1) + ": " + what;
        return false;
    }
    bool Blank() {
        if (pos_ < line_.size() && line_[pos_] == ' ') {
            ++pos_;
            return true;
        }
        return Fail(pos_, "expected one blank");
    }
    bool Number(uint64_t limit, uint64_t& value, const char* what) {
        const size_t start = pos_;
        while (pos_ < line_.size() && line_[pos_] >= '0' && line_[pos_] <= '9') ++pos_;
        if (pos_ == start) return Fail(start, std::string("expected ") + what + " (decimal)");
        const auto parsed = std::from_chars(line_.data() + start, line_.data() + pos_, value);
        if (parsed.ec != std::errc() || value > limit) {
            return Fail(start, std::string(what) + " is above " + std::to_string(limit));
        }
        return true;
    }
    bool Bytes(std::vector<uint8_t>& bytes) {
        const size_t start = pos_;
        const std::string_view rest = line_.substr(pos_);
        if (rest == "-") {
            pos_ = line_.size();
            return true;
        }
        if (rest.empty()) return Fail(start, "expected hex bytes or -");
        if (rest.size() % 2 != 0) return Fail(start, "odd number of hex digits");
        if (rest.size() / 2 > kMaxTraceRecordBytes) {
            return Fail(start, std::to_string(rest.size() / 2) + " bytes in one record (at most " +
                                   std::to_string(kMaxTraceRecordBytes) + ")");
        }
        bytes.resize(rest.size() / 2);
        for (size_t i = 0; i < rest.size(); i += 2) {
            const int high = HexValue(rest[i]);
            const int low = HexValue(rest[i + 1]);
            if (high < 0) return Fail(start + i, std::string("bad hex digit '") + rest[i] + "'");
            if (low < 0) return Fail(start + i + 1, std::string("bad hex digit '") + rest[i + 1] + "'");
            bytes[i / 2] = uint8_t(high * 16 + low);
        }
        pos_ = line_.size();
        return true;
    }
    bool End() { return pos_ == line_.size() ? true : Fail(pos_, "unexpected text at the end of the record"); }

    std::string_view line_;
    size_t pos_ = 0;
    uint32_t number_;
    std::string& error_;
};

bool ParseRecord(std::string_view line, uint32_t number, TraceRecord& record, std::string& error) {
    LineParser p(line, number, error);
    if (line.empty()) return p.Fail(0, "empty line");
    const char kind = line[0];
    if (kind != 'S' && kind != 'O' && kind != 'C' && kind != 'W' && kind != 'R') {
        return p.Fail(0, std::string("unknown record type '") + kind + "' (expected S, O, C, W or R)");
    }
    record.event = TraceEvent(kind);
    record.line = number;
    p.pos_ = 1;
    uint64_t ms = 0;
    uint64_t value = 0;
    if (!p.Blank() || !p.Number(UINT64_MAX / 2, ms, "time in milliseconds") || !p.Blank() ||
        !p.Number(UINT32_MAX, value, kind == 'R' ? "count asked for" : kind == 'S' ? "start time" : "result")) {
        return false;
    }
    record.milliseconds = ms;
    record.value = uint32_t(value);
    if (kind == 'W' || kind == 'R') {
        if (!p.Blank() || !p.Bytes(record.bytes)) return false;
    }
    return p.End();
}

bool ParseTraceUnguarded(std::string_view text, std::vector<TraceRecord>& records, std::string& error) {
    records.clear();
    if (text.size() > kMaxTraceFileBytes) {
        error = "trace is larger than " + std::to_string(kMaxTraceFileBytes) + " bytes";
        return false;
    }
    uint32_t number = 0;
    bool sawHeader = false;
    uint64_t lastMs = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            error = "line " + std::to_string(number) + ": the last record has no line feed (trace cut short?)";
            return false;
        }
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!sawHeader) {
            if (line != kTraceHeader) {
                error = "line 1: not a trace (expected the header \"" + std::string(kTraceHeader) + "\")";
                return false;
            }
            sawHeader = true;
            continue;
        }
        if (!line.empty() && line[0] == '#') continue;
        if (records.size() >= kMaxTraceRecords) {
            error = "line " + std::to_string(number) + ": more than " + std::to_string(kMaxTraceRecords) + " records";
            return false;
        }
        TraceRecord record;
        if (!ParseRecord(line, number, record, error)) return false;
        if (record.milliseconds < lastMs) {
            error = "line " + std::to_string(number) + ", column 3: time goes back from " + std::to_string(lastMs) +
                    " to " + std::to_string(record.milliseconds) + " ms";
            return false;
        }
        lastMs = record.milliseconds;
        records.push_back(std::move(record));
    }
    if (!sawHeader) {
        error = "line 1: empty file, not a trace";
        return false;
    }
    return true;
}

}  // namespace

bool ParseTrace(std::string_view text, std::vector<TraceRecord>& records, std::string& error) {
    try {
        // A damaged trace yields nothing, never the records before the damage.
        if (ParseTraceUnguarded(text, records, error)) return true;
        records.clear();
        return false;
    } catch (const std::bad_alloc&) {
        records.clear();
        error = "out of memory reading the trace";
        return false;
    }
}

bool ReadTraceFile(const std::string& path, std::vector<TraceRecord>& records, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::string text;
    bool ok = true;
    try {
        char chunk[65536];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            if (text.size() + got > kMaxTraceFileBytes) {
                error = path + ": trace is larger than " + std::to_string(kMaxTraceFileBytes) + " bytes";
                ok = false;
                break;
            }
            text.append(chunk, got);
        }
        if (ok && std::ferror(file)) {
            error = path + ": read error: " + std::strerror(errno);
            ok = false;
        }
    } catch (const std::bad_alloc&) {
        error = path + ": out of memory reading the trace";
        ok = false;
    }
    std::fclose(file);
    if (!ok) return false;
    if (!ParseTrace(text, records, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

TraceWriter::~TraceWriter() { Close(); }

bool TraceWriter::Open(const std::string& path, std::string& error) {
    Close();
    failed_ = false;
    error_.clear();
    records_ = 0;
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error = path + ": cannot create the trace: " + std::strerror(errno);
        return false;
    }
    if (std::fprintf(file_, "%s\n", kTraceHeader) < 0 || std::fflush(file_) != 0) {
        error = path + ": cannot write the trace: " + std::strerror(errno);
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    return true;
}

void TraceWriter::Fail(const char* what) {
    if (!failed_) {
        failed_ = true;
        error_ = path_ + ": " + what;
    }
}

void TraceWriter::Append(TraceEvent event, uint64_t milliseconds, uint32_t value, const uint8_t* bytes,
                         uint32_t count) {
    if (file_ == nullptr) return;
    if (records_ >= kMaxTraceRecords) {
        Fail("trace full: further records dropped");
        return;
    }
    if (bytes == nullptr) count = 0;
    if (count > kMaxTraceRecordBytes) {
        Fail("a transfer longer than a trace record was cut short");
        count = kMaxTraceRecordBytes;
    }
    const bool carriesBytes = event == TraceEvent::Write || event == TraceEvent::Read;
    bool ok = std::fprintf(file_, carriesBytes ? "%c %llu %lu " : "%c %llu %lu", char(event),
                           static_cast<unsigned long long>(milliseconds), static_cast<unsigned long>(value)) > 0;
    if (carriesBytes) {
        if (count == 0) {
            ok = ok && std::fputc('-', file_) != EOF;
        } else {
            // Hex in pieces through a small stack buffer: no allocation per record.
            char piece[512];
            uint32_t done = 0;
            while (ok && done < count) {
                const uint32_t take = std::min<uint32_t>(count - done, sizeof piece / 2);
                for (uint32_t i = 0; i < take; ++i) {
                    piece[2 * i] = kHexDigits[bytes[done + i] >> 4];
                    piece[2 * i + 1] = kHexDigits[bytes[done + i] & 0x0F];
                }
                ok = std::fwrite(piece, 1, 2 * take, file_) == 2 * take;
                done += take;
            }
        }
    }
    ok = ok && std::fputc('\n', file_) != EOF && std::fflush(file_) == 0;
    if (!ok) Fail("cannot write the trace (disk full?)");
    ++records_;
}

bool TraceWriter::Close() {
    if (file_ != nullptr) {
        if (std::fclose(file_) != 0) Fail("cannot close the trace");
        file_ = nullptr;
    }
    return !failed_;
}

}  // namespace brevant
