#include "sim/server/replay_script.h"

#include <algorithm>
#include <cstdio>

#include "common/byte_order.h"
#include "device/packet.h"
#include "sim/server/command_names.h"

namespace brevant {

namespace {

bool IsClockSet(const std::vector<uint8_t>& request) {
    return request.size() >= kPacketHeaderSize && LoadLe16(&request[packet_offset::kCode]) == CMD_CLOCK &&
           LoadLe32(&request[packet_offset::kParam0 + 4]) == 1;
}

bool IsClockRead(const std::vector<uint8_t>& request) {
    return request.size() >= kPacketHeaderSize && LoadLe16(&request[packet_offset::kCode]) == CMD_CLOCK &&
           LoadLe32(&request[packet_offset::kParam0 + 4]) == 0;
}

std::string Describe(const uint8_t* bytes, size_t n) {
    if (n == 0) return "nothing";
    std::string text;
    if (n >= kPacketHeaderSize) {
        const PacketHeader h = DecodePacketHeader(bytes);
        char head[160];
        std::snprintf(head, sizeof head, "%s (0x%04X) seq %u length %u params %08X %08X %08X %08X %08X, ",
                      CommandName(h.code), unsigned(h.code), unsigned(h.sequence), unsigned(h.length),
                      unsigned(h.params[0]), unsigned(h.params[1]), unsigned(h.params[2]), unsigned(h.params[3]),
                      unsigned(h.params[4]));
        text = head;
    }
    text += std::to_string(n) + " bytes";
    return text;
}

std::string HexAround(const uint8_t* bytes, size_t n, size_t offset) {
    const size_t from = offset >= 8 ? offset - 8 : 0;
    const size_t to = std::min(n, from + 24);
    std::string text;
    char piece[4];
    for (size_t i = from; i < to; ++i) {
        std::snprintf(piece, sizeof piece, "%02x", bytes[i]);
        if (i == offset) text += '[';
        text += piece;
        if (i == offset) text += ']';
        text += i + 1 < to ? " " : "";
    }
    if (offset >= n) text += " [end]";
    return "@" + std::to_string(from) + ": " + text;
}

}  // namespace

bool ReplayScript::Load(const std::vector<TraceRecord>& records, std::string& error) {
    connections_.clear();
    hasStart_ = false;
    current_ = 0;
    nextExchange_ = 0;
    inConnection_ = false;
    matched_ = 0;
    bool open = false;
    uint64_t lastCloseMs = 0;
    bool anyFailedOpen = false;
    uint64_t lastFailedOpenMs = 0;
    uint32_t index = 0;
    for (const TraceRecord& r : records) {
        switch (r.event) {
            case TraceEvent::Start:
                hasStart_ = true;
                startUnix_ = r.value;
                break;
            case TraceEvent::Open:
                if (open) break;  // Open on an open link changes nothing
                if (r.value != 0) {
                    anyFailedOpen = true;
                    lastFailedOpenMs = r.milliseconds;
                    break;
                }
                open = true;
                connections_.emplace_back();
                if (anyFailedOpen) {
                    connections_.back().refuseMilliseconds =
                        (lastFailedOpenMs - lastCloseMs) + (r.milliseconds - lastFailedOpenMs) / 2;
                }
                anyFailedOpen = false;
                break;
            case TraceEvent::Close:
                if (open) {
                    open = false;
                    lastCloseMs = r.milliseconds;
                }
                break;
            case TraceEvent::Write:
                // What never reached the writer (the link closed already) is not replayed.
                if (!open || r.bytes.empty()) break;
                {
                    ReplayExchange exchange;
                    exchange.index = index++;
                    exchange.request = r.bytes;
                    exchange.line = r.line;
                    exchange.dropAfter = r.value != r.bytes.size();
                    connections_.back().exchanges.push_back(std::move(exchange));
                }
                break;
            case TraceEvent::Read:
                if (!open) break;
                if (connections_.back().exchanges.empty()) {
                    error = "line " + std::to_string(r.line) + ": the recording reads before its first request";
                    return false;
                }
                if (r.bytes.empty()) {
                    connections_.back().exchanges.back().dropAfter = true;
                } else if (!connections_.back().exchanges.back().dropAfter) {
                    connections_.back().exchanges.back().replies.push_back(r.bytes);
                }
                break;
        }
    }
    return true;
}

uint32_t ReplayScript::requestCount() const {
    uint32_t n = 0;
    for (const ReplayConnection& c : connections_) n += uint32_t(c.exchanges.size());
    return n;
}

bool ReplayScript::BeginConnection() {
    if (current_ >= connections_.size()) return false;
    inConnection_ = true;
    nextExchange_ = 0;
    return true;
}

const ReplayExchange* ReplayScript::Take(const uint8_t* request, uint32_t n, std::string& difference) {
    const std::vector<ReplayExchange>& exchanges = connections_[current_].exchanges;
    if (nextExchange_ >= exchanges.size()) {
        // The recorded updater closed here; which request would the recording have wanted?
        difference = "request " + std::to_string(matched_) + ": the recording has no request here (its updater " +
                     (current_ + 1 < connections_.size() ? "closed the link and opened it again" : "closed the link") +
                     "), got " + Describe(request, n);
        return nullptr;
    }
    const ReplayExchange& expected = exchanges[nextExchange_];
    const std::vector<uint8_t>& want = expected.request;
    const bool clockSet = IsClockSet(want);
    size_t offset = 0;
    const size_t common = std::min<size_t>(want.size(), n);
    while (offset < common) {
        const bool ignored = clockSet && offset >= packet_offset::kParam0 && offset < packet_offset::kParam0 + 4;
        if (!ignored && want[offset] != request[offset]) break;
        ++offset;
    }
    if (offset < common || want.size() != n) {
        difference = "request " + std::to_string(expected.index) + " (trace line " + std::to_string(expected.line) +
                     ") differs at byte " + std::to_string(offset) + "\n  expected " +
                     Describe(want.data(), want.size()) + "\n  got      " + Describe(request, n) + "\n  expected " +
                     HexAround(want.data(), want.size(), offset) + "\n  got      " + HexAround(request, n, offset);
        return nullptr;
    }
    ++nextExchange_;
    ++matched_;
    return &expected;
}

bool ReplayScript::EndConnection(std::string& difference) {
    if (!inConnection_) return true;
    inConnection_ = false;
    const std::vector<ReplayExchange>& exchanges = connections_[current_].exchanges;
    const size_t waiting = nextExchange_;
    ++current_;
    if (waiting < exchanges.size()) {
        const ReplayExchange& expected = exchanges[waiting];
        difference = "request " + std::to_string(expected.index) + " (trace line " + std::to_string(expected.line) +
                     ") never came: the updater closed the link\n  expected " +
                     Describe(expected.request.data(), expected.request.size());
        return false;
    }
    return true;
}

uint64_t ReplayScript::NextRefuseMilliseconds() const {
    return current_ < connections_.size() ? connections_[current_].refuseMilliseconds : 0;
}

std::vector<uint8_t> ShiftClockReply(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply,
                                     int64_t shiftSeconds) {
    std::vector<uint8_t> out = reply;
    if (IsClockRead(request) && out.size() >= kPacketHeaderSize &&
        LoadLe16(&out[packet_offset::kCode]) == CMD_CLOCK) {
        const uint32_t value = LoadLe32(&out[packet_offset::kParam0]);
        StoreLe32(&out[packet_offset::kParam0], uint32_t(int64_t(value) + shiftSeconds));
    }
    return out;
}

}  // namespace brevant
