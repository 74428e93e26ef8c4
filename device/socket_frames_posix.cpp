// Frames over a POSIX stream socket. Every wait is bounded by poll, so a silent or stalled
// peer costs at most the time limit, and no call raises SIGPIPE.

#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cerrno>
#include <chrono>

#include "common/byte_order.h"
#include "device/socket_frames.h"

namespace brevant {

namespace {

using SteadyClock = std::chrono::steady_clock;

class Deadline {
public:
    explicit Deadline(uint32_t milliseconds) : end_(SteadyClock::now() + std::chrono::milliseconds(milliseconds)) {}
    // Milliseconds left, rounded up so a wait never ends a hair early; 0 when passed.
    int Remaining() const {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - SteadyClock::now()).count();
        return left <= 0 ? 0 : int(left);
    }

private:
    SteadyClock::time_point end_;
};

enum class WaitResult { Ready, TimedOut, Failed };

WaitResult WaitFor(int socket, short events, const Deadline& deadline) {
    for (;;) {
        pollfd entry{socket, events, 0};
        const int ready = poll(&entry, 1, deadline.Remaining());
        if (ready > 0) return WaitResult::Ready;  // readable, writable, hang-up or error
        if (ready == 0) return WaitResult::TimedOut;
        if (errno != EINTR) return WaitResult::Failed;
    }
}

enum class FillResult { Done, TimedOutAtStart, TimedOutInside, ClosedAtStart, ClosedInside, Failed };

// Receives exactly n bytes; a close before the first of them is told apart from one inside.
FillResult Fill(int socket, uint8_t* buffer, uint32_t n, const Deadline& deadline) {
    uint32_t received = 0;
    while (received < n) {
        const WaitResult wait = WaitFor(socket, POLLIN, deadline);
        if (wait == WaitResult::TimedOut) return received == 0 ? FillResult::TimedOutAtStart : FillResult::TimedOutInside;
        if (wait == WaitResult::Failed) return FillResult::Failed;
        const ssize_t got = recv(socket, buffer + received, n - received, MSG_DONTWAIT);
        if (got > 0) {
            received += uint32_t(got);
        } else if (got == 0) {
            return received == 0 ? FillResult::ClosedAtStart : FillResult::ClosedInside;
        } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            return FillResult::Failed;
        }
    }
    return FillResult::Done;
}

}  // namespace

FrameStatus ReceiveFrame(int socket, uint8_t* buffer, uint32_t capacity, uint32_t& length,
                         uint32_t timeoutMilliseconds) {
    const Deadline deadline(timeoutMilliseconds);
    uint8_t prefix[kFrameLengthSize];
    switch (Fill(socket, prefix, kFrameLengthSize, deadline)) {
        case FillResult::Done:
            break;
        case FillResult::TimedOutAtStart:
            return FrameStatus::TimedOut;
        case FillResult::TimedOutInside:
            return FrameStatus::StalledMidFrame;
        case FillResult::ClosedAtStart:
            return FrameStatus::PeerClosed;
        case FillResult::ClosedInside:
            return FrameStatus::ClosedMidFrame;
        case FillResult::Failed:
            return FrameStatus::Failed;
    }
    length = LoadLe32(prefix);
    if (length > capacity) return FrameStatus::TooLong;
    if (length == 0) return FrameStatus::Ok;
    switch (Fill(socket, buffer, length, deadline)) {
        case FillResult::Done:
            return FrameStatus::Ok;
        case FillResult::TimedOutAtStart:
        case FillResult::TimedOutInside:
            return FrameStatus::StalledMidFrame;
        case FillResult::ClosedAtStart:
        case FillResult::ClosedInside:
            return FrameStatus::ClosedMidFrame;
        case FillResult::Failed:
            break;
    }
    return FrameStatus::Failed;
}

bool SendFrame(int socket, const uint8_t* bytes, uint32_t n, uint32_t timeoutMilliseconds) {
    const Deadline deadline(timeoutMilliseconds);
    uint8_t prefix[kFrameLengthSize];
    StoreLe32(prefix, n);
    // Length word and body leave in one call where the socket takes them, so a small
    // request is one segment on the wire.
    uint8_t* body = const_cast<uint8_t*>(bytes);  // sendmsg takes non-const buffers; it only reads
    const uint64_t total = uint64_t(kFrameLengthSize) + n;
    uint64_t sent = 0;
    while (sent < total) {
        iovec pending[2];
        int count = 0;
        if (sent < kFrameLengthSize) {
            pending[count++] = {prefix + sent, size_t(kFrameLengthSize - sent)};
            if (n > 0) pending[count++] = {body, n};
        } else {
            const uint64_t bodySent = sent - kFrameLengthSize;
            pending[count++] = {body + bodySent, size_t(n - bodySent)};
        }
        msghdr message{};
        message.msg_iov = pending;
        message.msg_iovlen = size_t(count);
        const ssize_t done = sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (done > 0) {
            sent += uint64_t(done);
            continue;
        }
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(socket, POLLOUT, deadline) != WaitResult::Ready) return false;
            continue;
        }
        return false;
    }
    return true;
}

bool WaitReadable(int socket, uint32_t timeoutMilliseconds) {
    return WaitFor(socket, POLLIN, Deadline(timeoutMilliseconds)) == WaitResult::Ready;
}

}  // namespace brevant
