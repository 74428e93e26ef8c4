#pragma once
// Frames over a stream socket: each bulk transfer travels as a 4-byte little-endian length n
// followed by the n bytes. Shared by the socket link (the updater's side) and the standalone
// virtual writer (the writer's side), so both ends agree on every limit.
//
// The descriptor is the platform's socket handle held as an integer; each platform has its
// own implementation file.

#include <cstdint>

#include "device/packet.h"

namespace brevant {

// The largest frame either side accepts: one whole packet, header and largest payload.
inline constexpr uint32_t kMaxFrameLength = kPacketBufferSize;  // 65,568
inline constexpr uint32_t kFrameLengthSize = 4;

enum class FrameStatus {
    Ok,
    TimedOut,        // no byte of a frame arrived within the time limit (still in step)
    StalledMidFrame, // part of a frame arrived, the rest not within the time limit
    PeerClosed,      // the peer closed the connection between frames
    ClosedMidFrame,  // the peer closed the connection inside a frame
    TooLong,         // the announced length is above the capacity (the body is not read)
    Failed,          // any other socket error
};

// Receives one whole frame into buffer (capacity bytes at most). The time limit covers the
// whole frame, from the wait for its first byte to its last. On Ok, length is the frame's
// length (possibly 0). On TooLong, length is the announced length.
FrameStatus ReceiveFrame(int socket, uint8_t* buffer, uint32_t capacity, uint32_t& length,
                         uint32_t timeoutMilliseconds);

// Sends bytes as one frame; true only when the length word and all n bytes were sent
// within the time limit.
bool SendFrame(int socket, const uint8_t* bytes, uint32_t n, uint32_t timeoutMilliseconds);

// True when a frame (or the peer's close) is waiting to be received, within the time limit.
bool WaitReadable(int socket, uint32_t timeoutMilliseconds);

}  // namespace brevant
