// Listening and signal handling for the standalone writer on Linux: the stop signals are
// blocked and read from a descriptor, so no handler and no global flag is needed.

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/server/server_socket.h"

namespace brevant {

bool Listener::Listen(const std::string& host, uint16_t port, std::string& error) {
    Stop();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    char service[8];
    std::snprintf(service, sizeof service, "%u", unsigned(port));
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.empty() ? nullptr : host.c_str(), service, &hints, &found);
    if (lookup != 0) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + gai_strerror(lookup);
        return false;
    }
    int lastError = EADDRNOTAVAIL;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int s = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (s < 0) {
            lastError = errno;
            continue;
        }
        // A restart stops and resumes listening while the last connection lingers.
        const int on = 1;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(s, a->ai_addr, a->ai_addrlen) != 0 || listen(s, 1) != 0) {
            lastError = errno;
            close(s);
            continue;
        }
        sockaddr_storage bound{};
        socklen_t size = sizeof bound;
        getsockname(s, reinterpret_cast<sockaddr*>(&bound), &size);
        port_ = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                            : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        socket_ = s;
        break;
    }
    freeaddrinfo(found);
    host_ = host;
    if (socket_ < 0) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + std::strerror(lastError);
        return false;
    }
    return true;
}

void Listener::Stop() { CloseSocket(socket_); }

int Listener::Accept() {
    if (socket_ < 0) return -1;
    const int s = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (s < 0) return -1;
    const int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return s;
}

StopSignals::StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return;
    descriptor_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

StopSignals::~StopSignals() { CloseSocket(descriptor_); }

bool StopSignals::Take() {
    signalfd_siginfo info;
    return descriptor_ >= 0 && read(descriptor_, &info, sizeof info) == ssize_t(sizeof info);
}

Ready WaitForEvent(int first, int second, const StopSignals& signals, int timeoutMilliseconds) {
    pollfd entries[3] = {{signals.descriptor(), POLLIN, 0}, {first, POLLIN, 0}, {second, POLLIN, 0}};
    for (;;) {
        const int ready = poll(entries, 3, timeoutMilliseconds);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return Ready::TimedOut;
        if (entries[0].revents != 0) return Ready::Stop;
        if (entries[1].revents != 0) return Ready::First;
        return Ready::Second;
    }
}

void CloseSocket(int& socket) {
    if (socket >= 0) close(socket);
    socket = -1;
}

}  // namespace brevant
