// The writer's text line, its files, programming mode, the checksum announcement and its
// clock.

#include <algorithm>

#include "sim/virtual_writer.h"

namespace brevant {

namespace {

constexpr const char* kRealTimeFileName = "REALTIME.000";
constexpr uint32_t kFlagFileOpen = 1;
constexpr uint32_t kFlagRealTime = 2;

}  // namespace

std::optional<SimReply> VirtualWriter::BusyWithFile() const {
    if (!settings_.fileOpen && !settings_.realtime) return std::nullopt;
    SimReply reply = SimReply::Status(kStatusFileOpen);
    reply.params[1] = (settings_.fileOpen ? kFlagFileOpen : 0) | (settings_.realtime ? kFlagRealTime : 0);
    return reply;
}

SimReply VirtualWriter::HandleShowText(const SimRequest& request) {
    const uint32_t length = request.header.length;
    if (length == 0) {
        // The readiness probe; it also clears the text line.
        if (TakeKnob(settings_.probeBusy)) return SimReply::Status(kSimStatusBusy);
        ++storage_.probesAnswered;
        storage_.displayText.clear();
        return SimReply::Echo(request);
    }
    // The text, its NUL, and the block rounded up to 32 bytes: nothing else is a text.
    const uint32_t n = request.header.params[0];
    const auto& payload = request.payload;
    if (length % 32 != 0 || n >= length || length != ((n + 32) & ~31u) || payload[n] != 0 ||
        std::find(payload.begin(), payload.begin() + n, uint8_t(0)) != payload.begin() + n) {
        return SimReply::Status(kSimStatusBadRequest);
    }
    storage_.displayText.assign(payload.begin(), payload.begin() + n);
    storage_.textHistory.push_back(storage_.displayText);
    return SimReply::Echo(request);
}

SimReply VirtualWriter::HandleFileCheck(const SimRequest& request) {
    ++storage_.fileChecks;
    const auto& payload = request.payload;
    if (payload.size() % 8 != 0) return SimReply::Status(kSimStatusBadRequest);
    const auto end = std::find(payload.begin(), payload.end(), uint8_t(0));
    // After the name only zero bytes may follow.
    if (std::any_of(end, payload.end(), [](uint8_t b) { return b != 0; })) {
        return SimReply::Status(kSimStatusBadRequest);
    }
    storage_.lastCheckedName.assign(payload.begin(), end);
    if (settings_.fileOpen && storage_.lastCheckedName == kRealTimeFileName) return SimReply::Echo(request);
    return SimReply::Status(kSimStatusNoSuchFile);
}

SimReply VirtualWriter::HandleFileRelease(const SimRequest& request) {
    // Releasing lets go of the host's interest only; the file stays open until the person
    // closes it on the writer.
    ++storage_.fileReleases;
    return SimReply::Echo(request);
}

SimReply VirtualWriter::HandleProgramMode(const SimRequest& request) {
    if (request.header.params[0] == 0) {
        if (std::optional<SimReply> busy = BusyWithFile()) return *busy;
    }
    // Mode 0 restarts the writer once the host has read this echo (see Write).
    return SimReply::Echo(request);
}

SimReply VirtualWriter::HandleImageCrc(const SimRequest& request) {
    storage_.announcedCrc = request.header.params[0];
    return SimReply::Echo(request);
}

SimReply VirtualWriter::HandleClock(const SimRequest& request) {
    const uint32_t setFlag = request.header.params[1];
    if (setFlag > 1) return SimReply::Status(kSimStatusBadRequest);
    if (setFlag == 1) {
        settings_.clockOffset = int64_t(request.header.params[0]) - HostLocalSeconds();
        ++storage_.clockSets;
    }
    SimReply reply = SimReply::Echo(request);
    reply.params[0] = WriterClock();
    return reply;
}

}  // namespace brevant
