// The standalone writer's serving loops over POSIX sockets.

#include <array>
#include <memory>
#include <new>

#include "device/socket_frames.h"
#include "device/trace_file.h"
#include "sim/server/replay_script.h"
#include "sim/server/storage_report.h"
#include "sim/server/writer_server.h"

namespace brevant {

namespace {

// How long the writer side waits for the rest of a frame that has begun.
constexpr uint32_t kFrameTimeoutMs = 30000;
constexpr uint32_t kSendTimeoutMs = 2000;
// How often a writer that is off the bus looks whether its restart time is over.
constexpr int kAwayPollMs = 50;

const char* FrameProblem(FrameStatus status) {
    switch (status) {
        case FrameStatus::Ok: return "ok";
        case FrameStatus::TimedOut:
        case FrameStatus::StalledMidFrame: return "the updater stopped inside a frame";
        case FrameStatus::PeerClosed: return "the updater closed the link";
        case FrameStatus::ClosedMidFrame: return "the updater closed the link inside a frame";
        case FrameStatus::TooLong: return "frame longer than 65,568 bytes";
        case FrameStatus::Failed: return "socket error";
    }
    return "?";
}

void Print(std::FILE* out, const std::string& line) {
    std::fputs(line.c_str(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

bool Announce(Listener& listener, const ServerAddress& address, std::FILE* out) {
    std::string error;
    if (!listener.Listen(address.host, address.port, error)) {
        Print(out, error);
        return false;
    }
    Print(out, "listening on " + address.host + ":" + std::to_string(listener.port()));
    return true;
}

// Waits while a restart keeps the writer away; false on a stop signal.
bool WaitUntilBack(VirtualWriter& writer, StopSignals& signals) {
    for (;;) {
        if (writer.Open() == 0) {
            writer.Close();
            return true;
        }
        if (WaitForEvent(-1, -1, signals, kAwayPollMs) == Ready::Stop) return false;
    }
}

}  // namespace

int ServeWriter(VirtualWriter& writer, const ServerAddress& address, StopSignals& signals, std::FILE* out) {
    Listener listener;
    if (!Announce(listener, address, out)) return 1;
    // One request and the answers to it live here, not on the heap per packet.
    std::unique_ptr<uint8_t[]> request(new (std::nothrow) uint8_t[kMaxFrameLength]);
    std::unique_ptr<uint8_t[]> answer(new (std::nothrow) uint8_t[kMaxFrameLength]);
    if (!request || !answer) {
        Print(out, "out of memory");
        return 1;
    }
    int connection = -1;
    uint32_t requestCount = 0;
    bool stop = false;
    while (!stop) {
        const Ready ready = WaitForEvent(connection >= 0 ? connection : listener.descriptor(), -1, signals, -1);
        if (ready == Ready::Stop) break;
        if (ready != Ready::First) continue;
        if (connection < 0) {
            connection = listener.Accept();
            if (connection < 0) continue;
            if (writer.Open() != 0) {
                Print(out, "updater connected, but the writer is not on the bus: closing");
                CloseSocket(connection);
                continue;
            }
            Print(out, "updater connected");
            continue;
        }
        uint32_t length = 0;
        const FrameStatus status = ReceiveFrame(connection, request.get(), kMaxFrameLength, length, kFrameTimeoutMs);
        const uint32_t restartsBefore = writer.storage().restarts;
        if (status != FrameStatus::Ok || length == 0) {
            Print(out, std::string("link closed: ") + (length == 0 && status == FrameStatus::Ok ? "empty frame" : FrameProblem(status)));
            CloseSocket(connection);
            writer.Close();  // an answer never read still restarts a writer told to
        } else {
            const StorageSnapshot before = TakeSnapshot(writer);
            Print(out, "#" + std::to_string(requestCount++) + " <- " + DescribePacket(request.get(), length));
            writer.Write(request.get(), length);
            uint32_t got;
            bool sent = true;
            bool answered = false;
            while ((got = writer.Read(answer.get(), kMaxFrameLength)) > 0) {
                answered = true;
                Print(out, "   -> " + DescribePacket(answer.get(), got));
                sent = sent && SendFrame(connection, answer.get(), got, kSendTimeoutMs);
            }
            if (!answered) Print(out, "   -> (no answer)");
            for (const std::string& line : SnapshotChanges(before, TakeSnapshot(writer))) Print(out, line);
            if (!sent) {
                Print(out, "link closed: the answer could not be sent");
                CloseSocket(connection);
                writer.Close();
            }
        }
        if (writer.storage().restarts != restartsBefore) {
            // Off the bus: the link goes and nobody can connect until the writer is back.
            Print(out, "restarting: off the bus for " + std::to_string(writer.settings().restartSeconds) + " s" +
                           (writer.settings().stayAway ? " (and staying away)" : ""));
            CloseSocket(connection);
            writer.Close();
            listener.Stop();
            if (!WaitUntilBack(writer, signals)) break;
            std::string error;
            if (!listener.Resume(error)) {
                Print(out, error);
                stop = true;
                continue;
            }
            Print(out, std::string("back on the bus, running its ") +
                           (writer.settings().bootFlag ? "boot code" : "application"));
        }
    }
    CloseSocket(connection);
    writer.Close();
    Print(out, StorageSummary(writer));
    return 0;
}

int ReplayTrace(const std::string& tracePath, const ServerAddress& address, Clock& clock, StopSignals& signals,
                std::FILE* out) {
    std::vector<TraceRecord> records;
    std::string error;
    if (!ReadTraceFile(tracePath, records, error)) {
        Print(out, error);
        return 2;
    }
    ReplayScript script;
    if (!script.Load(records, error)) {
        Print(out, tracePath + ": " + error);
        return 2;
    }
    records.clear();
    Print(out, "replaying " + std::to_string(script.requestCount()) + " requests over " +
                   std::to_string(script.connections().size()) + " connections");
    const int64_t shift = script.hasStartTime() ? clock.UnixSeconds() - int64_t(script.startUnixSeconds()) : 0;
    Listener listener;
    // A recording whose writer was unreachable at first starts refusing.
    if (script.NextRefuseMilliseconds() > 0) {
        if (WaitForEvent(-1, -1, signals, int(script.NextRefuseMilliseconds())) == Ready::Stop) return 3;
    }
    if (!Announce(listener, address, out)) return 2;
    std::unique_ptr<uint8_t[]> request(new (std::nothrow) uint8_t[kMaxFrameLength]);
    if (!request) return 2;
    int connection = -1;
    while (!script.finished()) {
        const Ready ready = WaitForEvent(connection >= 0 ? connection : listener.descriptor(), -1, signals, -1);
        if (ready == Ready::Stop) {
            CloseSocket(connection);
            Print(out, "replay stopped after " + std::to_string(script.matched()) + " of " +
                           std::to_string(script.requestCount()) + " requests");
            return 3;
        }
        if (ready != Ready::First) continue;
        if (connection < 0) {
            connection = listener.Accept();
            if (connection >= 0 && !script.BeginConnection()) {
                Print(out, "request " + std::to_string(script.matched()) +
                               ": the updater connected again after the recording ended");
                CloseSocket(connection);
                return 1;
            }
            continue;
        }
        uint32_t length = 0;
        const FrameStatus status = ReceiveFrame(connection, request.get(), kMaxFrameLength, length, kFrameTimeoutMs);
        if (status != FrameStatus::Ok) {
            CloseSocket(connection);
            std::string difference;
            if (!script.EndConnection(difference)) {
                Print(out, difference);
                return 1;
            }
            if (script.finished()) break;
            const uint64_t refuse = script.NextRefuseMilliseconds();
            if (refuse > 0) {
                listener.Stop();
                if (WaitForEvent(-1, -1, signals, int(refuse)) == Ready::Stop) return 3;
                if (!listener.Resume(error)) {
                    Print(out, error);
                    return 2;
                }
            }
            continue;
        }
        std::string difference;
        const ReplayExchange* exchange = script.Take(request.get(), length, difference);
        if (exchange == nullptr) {
            Print(out, difference);
            CloseSocket(connection);
            return 1;
        }
        for (const std::vector<uint8_t>& reply : exchange->replies) {
            const std::vector<uint8_t> frame = ShiftClockReply(exchange->request, reply, shift);
            SendFrame(connection, frame.data(), uint32_t(frame.size()), kSendTimeoutMs);
        }
        if (exchange->dropAfter) {
            // The recorded read failed: so does the updater's, at once.
            CloseSocket(connection);
            std::string ended;
            if (!script.EndConnection(ended)) {
                Print(out, ended);
                return 1;
            }
            if (!script.finished() && script.NextRefuseMilliseconds() > 0) {
                listener.Stop();
                if (WaitForEvent(-1, -1, signals, int(script.NextRefuseMilliseconds())) == Ready::Stop) return 3;
                if (!listener.Resume(error)) {
                    Print(out, error);
                    return 2;
                }
            }
        }
    }
    CloseSocket(connection);
    Print(out, "replay complete: " + std::to_string(script.matched()) + " requests as recorded");
    return 0;
}

}  // namespace brevant
