#pragma once
// Expands the LZARI bit stream of an image container. Bit for bit the same model as the
// writer's image streams were made with, but bounded: it never reads outside its input and
// tells a stream that runs out from one that ended where it should.

#include <cstdint>

#include "images/lzari_model.h"

namespace brevant {

enum class DecodeStatus : uint8_t {
    NothingDone,   // a null pointer, a zero length or a text size beyond kMaxTextSize
    Complete,      // at least textSize bytes were produced
    Truncated,     // the stream needed bits from further than kMaxBytesPastEnd past its end
};

class CArithmeticCompression {
public:
    // Decoding a well-formed stream's last symbol looks at most two bytes past its end (the
    // code register runs 17 bits ahead of what the encoder wrote); those read as zero bits. An
    // encoder that left out the two closing bits would need three. A stream that still needs
    // bits after this many bytes past its end has been cut short or is garbage, and decoding
    // stops there.
    static constexpr uint32_t kMaxBytesPastEnd = 4;
    // The count is 32-bit and may exceed textSize by up to the overshoot of the last match.
    static constexpr uint32_t kMaxTextSize = UINT32_MAX - lzari::kMaxOvershoot;

    CArithmeticCompression() = default;
    virtual ~CArithmeticCompression();

    // Returns the number of bytes written to output: at least textSize for a complete stream,
    // up to textSize + 59 when the last match runs past it (output must have room for that).
    // Fewer bytes when the stream was truncated, and 0, with nothing written, for null or
    // zero arguments.
    uint32_t Decode(const uint8_t* input, uint32_t inputLength, uint8_t* output, uint32_t textSize);

    DecodeStatus Status() const { return status_; }
    bool Corrupt() const { return status_ == DecodeStatus::Truncated; }

private:
    lzari::CharModel model_{};
    DecodeStatus status_ = DecodeStatus::NothingDone;
};

}  // namespace brevant
