#include "images/lzari_decoder.h"

#include <bit>

namespace brevant {

namespace {

using namespace lzari;

// The code register, as its distance from the interval's low end, in the top 17 bits of a
// 64-bit window whose lower bits are the stream bits that follow, so that a doubling with a
// new bit is one shift. Past the end of the input the window fills with zero bits, which is
// what a well-formed stream's final byte is padded with; it counts how far it has read.
class CodeWindow {
public:
    CodeWindow(const uint8_t* data, uint32_t length) : data_(data), length_(length) {
        Refill();
        Shift(17);
    }

    uint32_t Code() const { return uint32_t(window_ >> 47); }
    void Subtract(uint32_t v) { window_ -= uint64_t(v) << 47; }   // v <= Code()

    // Tops the window up to at least 40 stream bits below the code, enough for one symbol.
    // Within the input it takes eight bytes at once and keeps the whole ones, with no loop
    // whose count follows the data; the bits of a partly taken byte are the stream's own and
    // are simply laid again on the next refill.
    void Refill() {
        if (next_ + 8 <= length_) {
            uint64_t word = 0;
            for (uint32_t i = 0; i < 8; ++i) word = word << 8 | data_[next_ + i];
            window_ |= (word >> 17) >> avail_;
            const uint32_t bytes = (47 - avail_) >> 3;
            next_ += bytes;
            avail_ += 8 * bytes;
            return;
        }
        while (avail_ <= 39) {
            const uint64_t byte = next_ < length_ ? data_[next_] : 0;
            ++next_;
            window_ |= byte << (39 - avail_);
            avail_ += 8;
        }
    }

    // 0 <= k <= 17, after a refill.
    void Shift(uint32_t k) {
        window_ <<= k;
        avail_ -= k;
    }

    uint64_t Consumed() const { return next_ * 8 - avail_; }

private:
    const uint8_t* data_;
    uint64_t length_;
    uint64_t next_ = 0;     // bytes moved into the window, counting the zero bytes past the end
    uint64_t window_ = 0;
    uint32_t avail_ = 0;    // stream bits below the code
};

// The arithmetic decoder keeps the interval as low and an inclusive high, both 17 bits; the
// searches need only the code's distance from low and the width. Renormalisation is done in
// one go rather than bit by bit. First come the doublings for which low and high agree in their
// top bit (the interval lies in one half); then those for which it lies in the middle half,
// i.e. low reads 01... and high 10... below that prefix; once the top bits differ no doubling
// of the first kind can follow. The bit-by-bit loop applies the middle-half rule ahead of the
// lower-half rule when both hold, but as every rule is a doubling modulo Q2 and a stopping
// interval straddles Q2, both orders stop after the same number of doublings in the same state.
struct Interval {
    uint32_t low = 0;
    uint32_t high = kCodeMask;

    uint32_t Width() const { return high - low + 1; }

    void Narrow(uint32_t lowOffset, uint32_t highOffset, CodeWindow& code) {
        high = low + highOffset - 1;
        low += lowOffset;
        code.Subtract(lowOffset);

        // The guard bit caps the prefix at 17, reached when the width has shrunk to one.
        const uint32_t same = uint32_t(std::countl_zero(((low ^ high) << 15) | 0x4000u));
        // The middle-half run starts just below the first differing bit, 16 - same.
        const uint32_t toTop = 48 + same < 63 ? 48 + same : 63;
        const uint32_t middle = uint32_t(std::countl_one(uint64_t(low & ~high) << toTop));
        const uint32_t shift = same + middle;
        low = (low << shift) & (kQ2 - 1);
        high = (((high << shift) | ((1u << shift) - 1)) & kCodeMask) | kQ2;
        code.Shift(shift);
    }
};

// No ring buffer is kept: the output holds every byte decoded so far, so a match copies from
// there. Only a match that reaches back before the first byte needs the ring's initial content:
// spaces in its first 4036 positions. A well-formed stream never reads the other 60 before
// writing them; a garbage one gets zeros there, as a zero-initialised ring would give.
inline uint8_t InitialRingByte(int64_t index) {
    return index >= -int64_t(kSpaceFilled) ? uint8_t(' ') : uint8_t(0);
}

}  // namespace

CArithmeticCompression::~CArithmeticCompression() = default;

uint32_t CArithmeticCompression::Decode(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                                        uint32_t textSize) {
    status_ = DecodeStatus::NothingDone;
    if (input == nullptr || output == nullptr || inputLength == 0 || textSize == 0 || textSize > kMaxTextSize)
        return 0;

    model_.Reset();
    CodeWindow code(input, inputLength);
    const uint64_t bitLimit = (uint64_t(inputLength) + kMaxBytesPastEnd) * 8;
    Interval coder;
    status_ = DecodeStatus::Complete;

    // Any input yields symbols: the code register always lies inside the interval, so both
    // searches stay within their tables; only the bit limit tells garbage apart.
    uint32_t count = 0;
    while (count < textSize) {
        if (code.Consumed() > bitLimit) {
            status_ = DecodeStatus::Truncated;
            break;
        }
        code.Refill();
        uint32_t width = coder.Width();
        const uint32_t total = model_.Total();
        const uint32_t sym = model_.Find(((code.Code() + 1) * total - 1) / width);
        coder.Narrow(width * model_.CumAfter(sym) / total, width * model_.CumThrough(sym) / total, code);
        const uint32_t c = model_.CharOf(sym);
        model_.Update(sym);

        if (c < 256) {
            output[count++] = uint8_t(c);
            continue;
        }

        if (code.Consumed() > bitLimit) {
            status_ = DecodeStatus::Truncated;
            break;
        }
        code.Refill();
        width = coder.Width();
        const uint32_t positionTotal = kPositionModel.Total();
        const uint32_t p = kPositionModel.Find(((code.Code() + 1) * positionTotal - 1) / width);
        coder.Narrow(width * kPositionModel.cum[p + 1] / positionTotal, width * kPositionModel.cum[p] / positionTotal,
                     code);

        // The whole match is copied even when it runs past textSize; it may overlap itself.
        const uint32_t length = MatchLengthOfChar(c);
        const uint32_t distance = p + 1;
        uint8_t* dst = output + count;
        if (distance <= count) {
            const uint8_t* src = dst - distance;
            for (uint32_t k = 0; k < length; ++k) dst[k] = src[k];
        } else {
            for (uint32_t k = 0; k < length; ++k) {
                const int64_t from = int64_t(count) + k - distance;
                dst[k] = from >= 0 ? output[from] : InitialRingByte(from);
            }
        }
        count += length;
    }
    return count;
}

}  // namespace brevant
