#pragma once
// Content for the stand-in firmware images: deterministic from a seed, shaped like the real
// thing (instruction streams with a skewed opcode mix and recurring idioms, string tables,
// glyph bitmaps, a splash screen, Intel HEX text) so that they compress about as real images do.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brevant::standin {

// splitmix64: small, fast and the same on every platform, unlike the standard distributions.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    uint32_t Below(uint32_t n) { return uint32_t(((Next() >> 32) * n) >> 32); }
    bool Chance(uint32_t percent) { return Below(100) < percent; }

private:
    uint64_t state_;
};

struct CodeStyle {
    uint32_t idiomPercent;     // chance that the next stretch of a routine is a known idiom
    uint32_t repeatPercent;    // chance that a routine is a near copy of an earlier one
    uint32_t stringPercent;    // share of the bytes spent on string tables
    uint32_t tablePercent;     // share spent on constant tables
    uint32_t noisePercent;     // chance an instruction field is drawn uniformly instead of skewed
    uint32_t loadAddress;      // literal pools point around here
};

// Appends code-like bytes until out has grown by exactly size bytes.
void AppendFirmware(Random& rng, const CodeStyle& style, size_t size, std::vector<uint8_t>& out);

// Appends NUL-terminated messages built from the word list, aligned to 4 bytes.
void AppendStrings(Random& rng, size_t size, std::vector<uint8_t>& out);

// A 64-byte header and width x height 16-bit pixels of a splash screen.
std::vector<uint8_t> MakeBitmap(Random& rng, uint32_t width, uint32_t height);

// A rendered font of exactly size bytes: header, glyph directory, 8-bit coverage bitmaps.
std::vector<uint8_t> MakeFont(Random& rng, size_t size, uint32_t cellWidth, uint32_t cellHeight);

// The keyboard scanner's HEX text for the flat image `code` (its bytes at offsets 0 up to
// code.size(), loaded at 0x80000000): an extended linear address record, data records of up
// to 16 bytes, a start linear address record and the end-of-file record, CR LF line ends.
// Records are left out where `skip` marks 16-byte blocks and shortened where `trim` says so.
struct HexPlan {
    std::vector<uint32_t> skippedBlocks;                 // 16-byte block indices with no record
    std::vector<std::pair<uint32_t, uint32_t>> trims;    // block index, bytes left off its end
    uint32_t startAddress;
};
std::string MakeHexText(const std::vector<uint8_t>& code, const HexPlan& plan);

}  // namespace brevant::standin
