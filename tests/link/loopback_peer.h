#pragma once
// The far end of a socket link in tests: a listening socket on 127.0.0.1 at a port the
// system picks, one accepted connection, and raw byte access to it, so a test can send
// well-formed frames as easily as broken ones.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "common/byte_order.h"

namespace brevant::test {

class LoopbackPeer {
public:
    LoopbackPeer() {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 4) != 0) {
            close(listener_);
            listener_ = -1;
            return;
        }
        socklen_t size = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackPeer() {
        CloseConnection();
        if (listener_ >= 0) close(listener_);
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    bool listening() const { return listener_ >= 0; }
    uint16_t port() const { return port_; }

    // Takes the pending connection; false when none arrives within a second.
    bool Accept() {
        pollfd entry{listener_, POLLIN, 0};
        if (poll(&entry, 1, 1000) != 1) return false;
        CloseConnection();
        connection_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        return connection_ >= 0;
    }
    void CloseConnection() {
        if (connection_ >= 0) close(connection_);
        connection_ = -1;
    }
    // Stops listening: later connection attempts are refused.
    void StopListening() {
        if (listener_ >= 0) close(listener_);
        listener_ = -1;
    }

    bool SendRaw(const std::vector<uint8_t>& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = send(connection_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += size_t(n);
        }
        return true;
    }
    static std::vector<uint8_t> Frame(const std::vector<uint8_t>& body) {
        std::vector<uint8_t> bytes(4 + body.size());
        StoreLe32(bytes.data(), uint32_t(body.size()));
        std::copy(body.begin(), body.end(), bytes.begin() + 4);
        return bytes;
    }
    bool SendFrame(const std::vector<uint8_t>& body) { return SendRaw(Frame(body)); }

    // Receives exactly n bytes (waiting at most a second for each piece).
    bool ReceiveRaw(std::vector<uint8_t>& bytes, size_t n) {
        bytes.assign(n, 0);
        size_t got = 0;
        while (got < n) {
            pollfd entry{connection_, POLLIN, 0};
            if (poll(&entry, 1, 1000) != 1) return false;
            const ssize_t r = recv(connection_, bytes.data() + got, n - got, 0);
            if (r <= 0) return false;
            got += size_t(r);
        }
        return true;
    }
    // Receives one frame's body.
    bool ReceiveFrame(std::vector<uint8_t>& body) {
        std::vector<uint8_t> prefix;
        if (!ReceiveRaw(prefix, 4)) return false;
        return ReceiveRaw(body, LoadLe32(prefix.data()));
    }
    // True when the connection was closed by the other end (end of stream).
    bool SeesClose() {
        pollfd entry{connection_, POLLIN, 0};
        if (poll(&entry, 1, 1000) != 1) return false;
        uint8_t byte;
        return recv(connection_, &byte, 1, 0) == 0;
    }

private:
    int listener_ = -1;
    int connection_ = -1;
    uint16_t port_ = 0;
};

}  // namespace brevant::test
