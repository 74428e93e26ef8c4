#pragma once
// A deliberately plain LZARI decoder for the tests: plain arrays, linear walks, bisections and
// one bit at a time, as the stream format is usually written down. The production decoder
// keeps the same model in other data structures and renormalises in one go; comparing the two
// on real and on garbage streams shows they take every decision alike. Bits past the end read
// as zero and ring positions never written read as zero, as the production decoder does.

#include <cstdint>
#include <vector>

namespace brevant::testing {

class ReferenceLzari {
public:
    // Decodes until at least textSize bytes are out; returns all of them, overshoot included.
    std::vector<uint8_t> Decode(const uint8_t* input, uint32_t inputLength, uint32_t textSize) {
        input_ = input;
        length_ = inputLength;
        position_ = 0;
        buffer_ = 0;
        mask_ = 0;
        low_ = 0;
        high_ = kQ4;
        value_ = 0;
        for (int i = 0; i < 17; ++i) value_ = 2 * value_ + Bit();
        StartModel();
        for (uint32_t i = 0; i < kN; ++i) ring_[i] = i < kN - kF ? ' ' : 0;
        uint32_t r = kN - kF;
        std::vector<uint8_t> out;
        while (out.size() < textSize) {
            const uint32_t c = DecodeChar();
            if (c < 256) {
                out.push_back(uint8_t(c));
                ring_[r] = uint8_t(c);
                r = (r + 1) & (kN - 1);
            } else {
                const uint32_t i = (r - DecodePosition() - 1) & (kN - 1);
                for (uint32_t k = 0; k < c - 253; ++k) {
                    const uint8_t b = ring_[(i + k) & (kN - 1)];
                    out.push_back(b);
                    ring_[r] = b;
                    r = (r + 1) & (kN - 1);
                }
            }
        }
        return out;
    }

private:
    static constexpr uint32_t kN = 4096, kF = 60, kChars = 314;
    static constexpr uint32_t kQ1 = 0x8000, kQ2 = 0x10000, kQ3 = 0x18000, kQ4 = 0x20000;

    uint32_t Bit() {
        mask_ >>= 1;
        if (mask_ == 0) {
            buffer_ = position_ < length_ ? input_[position_] : 0;
            ++position_;
            mask_ = 0x80;
        }
        return (buffer_ & mask_) != 0 ? 1 : 0;
    }

    void StartModel() {
        symCum_[kChars] = 0;
        for (uint32_t s = kChars; s >= 1; --s) {
            charToSym_[s - 1] = s;
            symToChar_[s] = s - 1;
            symFreq_[s] = 1;
            symCum_[s - 1] = symCum_[s] + 1;
        }
        symFreq_[0] = 0;
        positionCum_[kN] = 0;
        for (uint32_t i = kN; i >= 1; --i) positionCum_[i - 1] = positionCum_[i] + 10000 / (i + 200);
    }

    void UpdateModel(uint32_t sym) {
        if (symCum_[0] >= kQ1 - 1) {
            uint32_t c = 0;
            for (uint32_t i = kChars; i > 0; --i) {
                symCum_[i] = c;
                symFreq_[i] = (symFreq_[i] + 1) / 2;
                c += symFreq_[i];
            }
            symCum_[0] = c;
        }
        uint32_t i = sym;
        while (symFreq_[i] == symFreq_[i - 1]) --i;
        if (i < sym) {
            const uint32_t chI = symToChar_[i], chSym = symToChar_[sym];
            symToChar_[i] = chSym;
            symToChar_[sym] = chI;
            charToSym_[chI] = sym;
            charToSym_[chSym] = i;
        }
        ++symFreq_[i];
        while (i-- > 0) ++symCum_[i];
    }

    void Normalise() {
        for (;;) {
            if (low_ >= kQ2) {
                value_ -= kQ2;
                low_ -= kQ2;
                high_ -= kQ2;
            } else if (low_ >= kQ1 && high_ <= kQ3) {
                value_ -= kQ1;
                low_ -= kQ1;
                high_ -= kQ1;
            } else if (high_ > kQ2) {
                break;
            }
            low_ *= 2;
            high_ *= 2;
            value_ = 2 * value_ + Bit();
        }
    }

    uint32_t DecodeChar() {
        const uint32_t range = high_ - low_;
        const uint32_t x = ((value_ - low_ + 1) * symCum_[0] - 1) / range;
        uint32_t lo = 1, hi = kChars;
        while (lo < hi) {
            const uint32_t k = (lo + hi) / 2;
            if (symCum_[k] > x) lo = k + 1;
            else hi = k;
        }
        const uint32_t sym = lo;
        high_ = low_ + range * symCum_[sym - 1] / symCum_[0];
        low_ = low_ + range * symCum_[sym] / symCum_[0];
        Normalise();
        const uint32_t c = symToChar_[sym];
        UpdateModel(sym);
        return c;
    }

    uint32_t DecodePosition() {
        const uint32_t range = high_ - low_;
        const uint32_t x = ((value_ - low_ + 1) * positionCum_[0] - 1) / range;
        uint32_t lo = 1, hi = kN;
        while (lo < hi) {
            const uint32_t k = (lo + hi) / 2;
            if (positionCum_[k] > x) lo = k + 1;
            else hi = k;
        }
        const uint32_t p = lo - 1;
        high_ = low_ + range * positionCum_[p] / positionCum_[0];
        low_ = low_ + range * positionCum_[p + 1] / positionCum_[0];
        Normalise();
        return p;
    }

    const uint8_t* input_ = nullptr;
    uint32_t length_ = 0;
    uint64_t position_ = 0;
    uint32_t buffer_ = 0, mask_ = 0;
    uint32_t low_ = 0, high_ = 0, value_ = 0;
    uint8_t ring_[kN];
    uint32_t charToSym_[kChars];
    uint32_t symToChar_[kChars + 1];
    uint32_t symFreq_[kChars + 1];
    uint32_t symCum_[kChars + 1];
    uint32_t positionCum_[kN + 1];
};

}  // namespace brevant::testing
