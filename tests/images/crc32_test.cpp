// The checksum register: known values, and the table-driven bulk path against the bit-serial
// definition for every length, alignment and starting value.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "images/crc32.h"

namespace brevant {
namespace {

uint32_t BitSerial(uint32_t reg, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        reg ^= data[i];
        for (int bit = 0; bit < 8; ++bit) reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
    }
    return reg;
}

TEST(Crc32, KnownRegisterValues) {
    // The complements of the usual CRC-32 check values: no final inversion.
    struct Case {
        const char* text;
        uint32_t value;
    };
    const Case cases[] = {{"", 0xFFFFFFFF},
                          {"123456789", 0x340BC6D9},
                          {"a", 0x174841BC},
                          {"The quick brown fox jumps over the lazy dog", 0xBEB05CC6}};
    for (const Case& c : cases) {
        Crc32 bulk;
        bulk.Add(reinterpret_cast<const uint8_t*>(c.text), std::strlen(c.text));
        EXPECT_EQ(bulk.Value(), c.value) << c.text;
        Crc32 single;
        for (const char* p = c.text; *p; ++p) single.Add(uint8_t(*p));
        EXPECT_EQ(single.Value(), c.value) << c.text;
    }
}

TEST(Crc32, BulkPathMatchesTheBitSerialDefinition) {
    std::mt19937 rng(1);
    std::vector<uint8_t> data(200);
    for (uint8_t& b : data) b = uint8_t(rng());
    for (uint32_t initial : {0xFFFFFFFFu, 0u, 0x12345678u}) {
        for (size_t offset = 0; offset < 8; ++offset) {
            for (size_t n = 0; n + offset <= 80; ++n) {
                Crc32 crc(initial);
                crc.Add(data.data() + offset, n);
                ASSERT_EQ(crc.Value(), BitSerial(initial, data.data() + offset, n)) << offset << " " << n;
            }
        }
    }
}

TEST(Crc32, PiecesAddUpToTheWhole) {
    std::mt19937 rng(2);
    std::vector<uint8_t> data(100);
    for (uint8_t& b : data) b = uint8_t(rng());
    Crc32 whole;
    whole.Add(data.data(), data.size());
    for (size_t split = 0; split <= data.size(); ++split) {
        Crc32 parts;
        parts.Add(data.data(), split);
        parts.Add(data.data() + split, data.size() - split);
        ASSERT_EQ(parts.Value(), whole.Value()) << split;
    }
}

TEST(Crc32, NullDataAddsNothing) {
    Crc32 crc;
    crc.Add(nullptr, 0);
    crc.Add(nullptr, 16);
    EXPECT_EQ(crc.Value(), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace brevant
