#pragma once
// The socket link: a writer (or a stand-in for one) reached over TCP, "tcp:HOST:PORT".
// Each Write is one frame and each frame answers one or more Reads, the way a USB bulk
// transfer does; see device/socket_frames.h for the framing.
//
// Beyond the transport contract:
//   - Open connects; a refused or unreachable peer is a failed Open (kErrorNoWriter), so
//     the restart step's reconnect attempts find a writer that has come back.
//   - Read waits for the next frame at most the read time limit (30 s unless the
//     constructor says otherwise); giving up returns 0 and keeps the connection, since the
//     stream is still between frames.
//   - A frame above 65,568 bytes, a connection that closes (between frames or inside one)
//     or any socket error fails the read and drops the connection: the stream can no
//     longer be trusted to be in step, so IsOpen is false until the next Open. A write
//     that fails (peer gone, or not all sent within the write time limit) drops it too.
//   - A zero-length frame is not a transfer: the read fails and the connection drops.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/socket_frames.h"
#include "device/transport.h"

namespace brevant {

struct SocketAddress {
    std::string host;
    uint16_t port = 0;
};

// Parses "tcp:HOST:PORT" (HOST may be a name, an IPv4 address or a bracketed IPv6 address).
// On failure returns false and says what is wrong in `error`.
bool ParseSocketAddress(std::string_view text, SocketAddress& address, std::string& error);

struct SocketTimeouts {
    uint32_t readMilliseconds = 30000;    // wait for one whole frame
    uint32_t writeMilliseconds = 2000;    // like the USB OUT pipe's transfer time-out
    uint32_t connectMilliseconds = 2000;  // one connection attempt
};

class SocketTransport final : public Transport {
public:
    explicit SocketTransport(SocketAddress address, SocketTimeouts timeouts = {});
    ~SocketTransport() override;

    SocketTransport(const SocketTransport&) = delete;
    SocketTransport& operator=(const SocketTransport&) = delete;

    int Open() override;
    bool IsOpen() const override { return socket_ >= 0; }
    uint32_t Read(uint8_t* buffer, uint32_t n) override;
    uint32_t Write(const uint8_t* buffer, uint32_t n) override;
    int Close() override;

    const SocketAddress& address() const { return address_; }

private:
    SocketAddress address_;
    SocketTimeouts timeouts_;
    int socket_ = -1;
    // The frame being handed out to Reads; filled once per frame, never reallocated.
    std::array<uint8_t, kMaxFrameLength> frame_{};
    uint32_t frameLength_ = 0;
    uint32_t frameOffset_ = 0;
};

}  // namespace brevant
