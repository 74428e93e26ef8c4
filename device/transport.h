#pragma once
// The byte pipe to a writer. Every exchange with a writer goes through these five operations,
// so a USB link, a socket link, the virtual writer and a recorded trace are interchangeable.
//
// Contract of each operation (the packet layer relies on exactly this and nothing more):
//   Open   0 when the link is open afterwards (also when it already was), else a platform
//          error code mapped at the edge; a failed Open leaves the link closed.
//   IsOpen true only while the link is usable.
//   Read   one transfer toward the host: up to n bytes into buffer; returns the count
//          received (1..n), or 0 on any failure, a closed link, a null buffer or n == 0.
//          A read that gives up waiting returns 0. A failed read leaves the link open.
//   Write  one transfer toward the writer: returns n only when all n bytes were sent, else
//          0 (also on a closed link, a null buffer or n == 0). Leaves the link open.
//   Close  0, or the first error met while releasing; the link is closed afterwards in
//          every case. Safe on a closed link.

#include <cstdint>

namespace brevant {

// Platform-neutral codes for Open failures, chosen to equal the codes the Windows
// platform reports for the same conditions.
inline constexpr int kErrorNoWriter = 259;        // no writer present (no more items)
inline constexpr int kErrorNotFound = 1168;       // the interface lacks a bulk pipe
inline constexpr int kErrorNotEnoughMemory = 8;
inline constexpr int kErrorInvalidData = 13;

class Transport {
public:
    virtual ~Transport() = default;
    virtual int Open() = 0;
    virtual bool IsOpen() const = 0;
    virtual uint32_t Read(uint8_t* buffer, uint32_t n) = 0;
    virtual uint32_t Write(const uint8_t* buffer, uint32_t n) = 0;
    virtual int Close() = 0;
};

// The transport of a build that has no way to reach a real writer: nothing is ever found.
class NullTransport final : public Transport {
public:
    int Open() override { return kErrorNoWriter; }
    bool IsOpen() const override { return false; }
    uint32_t Read(uint8_t*, uint32_t) override { return 0; }
    uint32_t Write(const uint8_t*, uint32_t) override { return 0; }
    int Close() override { return 0; }
};

}  // namespace brevant
