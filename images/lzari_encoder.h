#pragma once
// Makes the LZARI streams and image containers that the decoder reads: greedy LZSS parsing over
// the 4096-byte ring with a binary-tree match finder, literals, match lengths and positions
// arithmetic-coded with the shared model. For the maintainer tools and the tests; the updater
// itself only decodes. Allocation failure is reported by the return value, never thrown.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "images/lzari_model.h"

namespace brevant {

// The symbol level on its own, so that a stream can say things the parser never would (a last
// match that runs past the text, a match into the space-filled ring).
class LzariSymbolWriter {
public:
    LzariSymbolWriter();

    void Literal(uint8_t byte);
    // length 3..60; distance 1..4096 back from the next byte to write. Out-of-range values make
    // Finish fail rather than emit a stream that says something else.
    void Match(uint32_t length, uint32_t distance);
    // Flushes the coder. False if a call was out of range or memory ran out. The writer is
    // spent afterwards.
    bool Finish(std::vector<uint8_t>& stream);

private:
    void Encode(uint32_t cumLow, uint32_t cumHigh, uint32_t total);
    void Emit(uint32_t bit);
    void PutBit(uint32_t bit);

    lzari::CharModel model_{};
    uint32_t low_ = 0;
    uint32_t high_ = lzari::kQ4;
    uint32_t pending_ = 0;   // middle-half doublings whose bit is not known yet
    uint32_t byte_ = 0;
    uint32_t mask_ = 0x80;
    bool failed_ = false;
    std::vector<uint8_t> out_;
};

bool EncodeLzari(const uint8_t* data, size_t length, std::vector<uint8_t>& stream);

// The container: length word, then the stream.
bool PackImageContainer(const uint8_t* data, uint32_t length, std::vector<uint8_t>& container);

}  // namespace brevant
