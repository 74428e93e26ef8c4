// The socket link on POSIX systems. OS error numbers stop here: Open reports the
// transport's own codes, Read and Write report 0.

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "device/socket_transport.h"

namespace brevant {

namespace {

int MapConnectError(int error) {
    switch (error) {
        case ENOMEM:
        case ENOBUFS:
            return kErrorNotEnoughMemory;
        case EAFNOSUPPORT:
        case EINVAL:
            return kErrorInvalidData;
        default:
            // Refused, unreachable, timed out, reset: nobody is answering at that address.
            return kErrorNoWriter;
    }
}

int MapLookupError(int error) {
    switch (error) {
        case EAI_MEMORY:
            return kErrorNotEnoughMemory;
        case EAI_FAMILY:
        case EAI_SERVICE:
        case EAI_SOCKTYPE:
        case EAI_BADFLAGS:
            return kErrorInvalidData;
        default:
            return kErrorNoWriter;
    }
}

// One non-blocking connection attempt bounded by the time limit; returns the connected
// socket (blocking mode restored is not needed: every transfer polls) or -1 with `error`.
int ConnectOne(const addrinfo& candidate, uint32_t timeoutMilliseconds, int& error) {
    const int s = socket(candidate.ai_family, candidate.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                         candidate.ai_protocol);
    if (s < 0) {
        error = errno;
        return -1;
    }
    int result = connect(s, candidate.ai_addr, candidate.ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
        pollfd entry{s, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&entry, 1, int(timeoutMilliseconds));
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            error = ETIMEDOUT;
            close(s);
            return -1;
        }
        int pending = 0;
        socklen_t size = sizeof pending;
        if (ready < 0 || getsockopt(s, SOL_SOCKET, SO_ERROR, &pending, &size) != 0) {
            error = errno;
            close(s);
            return -1;
        }
        if (pending != 0) {
            error = pending;
            close(s);
            return -1;
        }
        result = 0;
    }
    if (result != 0) {
        error = errno;
        close(s);
        return -1;
    }
    // Every exchange is a small request and a small answer: waiting to coalesce segments
    // would cost each exchange a delayed-acknowledgement round.
    const int on = 1;
    if (candidate.ai_protocol == IPPROTO_TCP || candidate.ai_family == AF_INET || candidate.ai_family == AF_INET6) {
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return s;
}

}  // namespace

SocketTransport::SocketTransport(SocketAddress address, SocketTimeouts timeouts)
    : address_(std::move(address)), timeouts_(timeouts) {}

SocketTransport::~SocketTransport() { Close(); }

int SocketTransport::Open() {
    if (IsOpen()) return 0;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    char service[8];
    std::snprintf(service, sizeof service, "%u", unsigned(address_.port));
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(address_.host.c_str(), service, &hints, &found);
    if (lookup != 0) return MapLookupError(lookup);
    int error = ECONNREFUSED;
    for (const addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        socket_ = ConnectOne(*candidate, timeouts_.connectMilliseconds, error);
        if (socket_ >= 0) break;
    }
    freeaddrinfo(found);
    if (socket_ < 0) return MapConnectError(error);
    frameLength_ = 0;
    frameOffset_ = 0;
    return 0;
}

int SocketTransport::Close() {
    int result = 0;
    if (socket_ >= 0 && close(socket_) != 0 && errno != EINTR) result = kErrorInvalidData;
    socket_ = -1;
    frameLength_ = 0;
    frameOffset_ = 0;
    return result;
}

uint32_t SocketTransport::Read(uint8_t* buffer, uint32_t n) {
    if (!IsOpen() || buffer == nullptr || n == 0) return 0;
    if (frameOffset_ >= frameLength_) {
        uint32_t length = 0;
        const FrameStatus status =
            ReceiveFrame(socket_, frame_.data(), uint32_t(frame_.size()), length, timeouts_.readMilliseconds);
        // Giving up before any byte of a frame leaves the stream in step, so the link
        // stays; anything else has lost the frame boundary.
        if (status == FrameStatus::TimedOut) return 0;
        if (status != FrameStatus::Ok || length == 0) {
            Close();
            return 0;
        }
        frameLength_ = length;
        frameOffset_ = 0;
    }
    const uint32_t count = std::min(n, frameLength_ - frameOffset_);
    std::memcpy(buffer, frame_.data() + frameOffset_, count);
    frameOffset_ += count;
    return count;
}

uint32_t SocketTransport::Write(const uint8_t* buffer, uint32_t n) {
    if (!IsOpen() || buffer == nullptr || n == 0) return 0;
    // The writer takes no frame it could not answer; neither side sends one.
    if (n > kMaxFrameLength) return 0;
    if (!SendFrame(socket_, buffer, n, timeouts_.writeMilliseconds)) {
        Close();
        return 0;
    }
    return n;
}

}  // namespace brevant
