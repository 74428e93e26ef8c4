#pragma once
// What a recorded run expects of the updater and what the writer answered, connection by
// connection, built from a trace. The replaying writer feeds it each request it receives
// and gets back the recorded answer, or a description of the first difference.
//
// Two parts of a request cannot repeat in a later replay and are not compared: the time
// value of a clock-setting CMD_CLOCK (the PC's time of day). The writer's clock as read by
// CMD_CLOCK is shifted by the time since the recording started, so the updater sees the
// same difference between the clocks as the recorded run did.

#include <cstdint>
#include <string>
#include <vector>

#include "device/trace_file.h"

namespace brevant {

struct ReplayExchange {
    uint32_t index = 0;                       // counted over every request of the run, from 0
    std::vector<uint8_t> request;
    std::vector<std::vector<uint8_t>> replies;  // one frame per recorded read
    bool dropAfter = false;  // the recorded read (or write) failed: the link goes
    uint32_t line = 0;       // where the request stands in the trace
};

struct ReplayConnection {
    // How long the writer was unreachable before this connection, from the updater's
    // close (or the start) to a moment between its last failed and its successful open.
    uint64_t refuseMilliseconds = 0;
    std::vector<ReplayExchange> exchanges;
};

class ReplayScript {
public:
    // Builds the script; false with `error` when the trace cannot be replayed.
    bool Load(const std::vector<TraceRecord>& records, std::string& error);

    const std::vector<ReplayConnection>& connections() const { return connections_; }
    uint32_t requestCount() const;
    bool hasStartTime() const { return hasStart_; }
    uint32_t startUnixSeconds() const { return startUnix_; }

    // Replay state. An updater connected: false when the recording has no more connections.
    bool BeginConnection();
    // The updater sent a request on the current connection. Returns the exchange to answer
    // with, or null after filling `difference` with the first difference.
    const ReplayExchange* Take(const uint8_t* request, uint32_t n, std::string& difference);
    // The updater closed the connection: false (with `difference`) when the recording
    // still expected a request on it.
    bool EndConnection(std::string& difference);
    // Every recorded connection has been replayed and closed.
    bool finished() const { return current_ >= connections_.size() && !inConnection_; }
    // Refusal time before the next connection, once the current one has ended.
    uint64_t NextRefuseMilliseconds() const;
    uint32_t matched() const { return matched_; }

private:
    std::vector<ReplayConnection> connections_;
    bool hasStart_ = false;
    uint32_t startUnix_ = 0;
    size_t current_ = 0;        // index of the current (or next) connection
    size_t nextExchange_ = 0;   // within the current connection
    bool inConnection_ = false;
    uint32_t matched_ = 0;
};

// The answer to send for a recorded reply frame: a CMD_CLOCK read's clock value moves on by
// `shiftSeconds`; every other frame is sent as recorded.
std::vector<uint8_t> ShiftClockReply(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply,
                                     int64_t shiftSeconds);

}  // namespace brevant
