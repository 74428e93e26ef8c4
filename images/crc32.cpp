#include "images/crc32.h"

#include "common/byte_order.h"

namespace brevant {

namespace {

// Slicing by eight: table k advances the register over a byte followed by k zero bytes, so
// eight bytes fold into the register with eight independent look-ups. Built at compile time,
// so there is nothing to initialise and nothing shared that changes.
struct CrcTables {
    uint32_t t[8][256];

    constexpr CrcTables() : t{} {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[0][n] = c;
        }
        for (uint32_t k = 1; k < 8; ++k)
            for (uint32_t n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    }
};

constexpr CrcTables kTables{};

inline uint32_t Step(uint32_t reg, uint8_t byte) { return (reg >> 8) ^ kTables.t[0][(reg ^ byte) & 0xFF]; }

}  // namespace

void Crc32::Add(uint8_t byte) { register_ = Step(register_, byte); }

void Crc32::Add(const uint8_t* data, size_t length) {
    if (data == nullptr) return;
    uint32_t reg = register_;
    const auto& t = kTables.t;
    while (length >= 8) {
        const uint32_t lo = LoadLe32(data) ^ reg;
        const uint32_t hi = LoadLe32(data + 4);
        reg = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        data += 8;
        length -= 8;
    }
    while (length-- > 0) reg = Step(reg, *data++);
    register_ = reg;
}

}  // namespace brevant
