#pragma once
// The adaptive model of the LZARI stream, shared by the decoder and the encoder so that both
// sides make the same updates in lock-step. The semantics (symbol order, halving, rounding)
// must match the streams the writer's images were made with; only the data layout is ours.

#include <bit>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace brevant::lzari {

inline constexpr uint32_t kRingSize = 4096;                            // history window
inline constexpr uint32_t kMaxMatch = 60;                              // longest match
inline constexpr uint32_t kThreshold = 2;                              // matches are > this
inline constexpr uint32_t kMinMatch = kThreshold + 1;
inline constexpr uint32_t kSymbols = 256 - kThreshold + kMaxMatch;     // 256 literals + 58 lengths
inline constexpr uint32_t kSpaceFilled = kRingSize - kMaxMatch;        // ring bytes preset to ' '
inline constexpr uint32_t kMaxOvershoot = kMaxMatch - 1;               // a last match may run past
inline constexpr uint32_t kQ1 = 0x8000;
inline constexpr uint32_t kQ2 = 0x10000;
inline constexpr uint32_t kQ3 = 0x18000;
inline constexpr uint32_t kQ4 = 0x20000;
inline constexpr uint32_t kCodeMask = kQ4 - 1;                         // 17-bit code register
inline constexpr uint32_t kMaxCum = kQ1 - 1;

// Symbol of a match of the given length and back.
constexpr uint32_t MatchSymbolChar(uint32_t length) { return 255 - kThreshold + length; }
constexpr uint32_t MatchLengthOfChar(uint32_t c) { return c - 255 + kThreshold; }

// The position model never adapts, so its cumulative table is a compile-time constant, with a
// coarse index that turns the decoder's search into one load and a step or two.
struct PositionModel {
    static constexpr uint32_t kBucketShift = 3;
    uint16_t cum[kRingSize + 1];   // cum[p] = weight of positions p..4095; cum[0] is the total
    uint16_t bucketStart[(28568 >> kBucketShift) + 1];

    constexpr PositionModel() : cum{}, bucketStart{} {
        cum[kRingSize] = 0;
        for (uint32_t i = kRingSize; i >= 1; --i) cum[i - 1] = uint16_t(cum[i] + 10000 / (i + 200));
        // bucketStart[b] = position of the largest x in bucket b, the smallest p any x there has.
        uint32_t p = kRingSize - 1;
        for (uint32_t b = 0; b < sizeof(bucketStart) / sizeof(bucketStart[0]); ++b) {
            uint32_t x = ((b + 1) << kBucketShift) - 1;
            if (x > uint32_t(cum[0]) - 1) x = uint32_t(cum[0]) - 1;
            while (cum[p] <= x) --p;
            bucketStart[b] = uint16_t(p);
        }
    }

    uint32_t Total() const { return cum[0]; }

    // The position p with cum[p + 1] <= x < cum[p]; x must be below the total.
    uint32_t Find(uint32_t x) const {
        uint32_t p = bucketStart[x >> kBucketShift];
        while (cum[p + 1] > x) ++p;
        return p;
    }
};

inline constexpr PositionModel kPositionModel{};
static_assert(kPositionModel.cum[0] == 28568);

#if defined(__SSE2__) || defined(_M_X64)
#define BREVANT_LZARI_SSE2 1
#endif

// The symbol model's tables hold 16-bit values below 2^15 (signed lanes compare them directly)
// that never rise along the symbol order, padded with zeros to whole blocks of 16. Next to the
// values sits the first value of each block, so that "how many leading entries exceed v" takes
// two short vector counts and no data-dependent branch; a bisection of 314 entries mispredicts
// about every other step. Every write goes through whole aligned vectors and fixed counts:
// the next search loads those same vectors (a load spanning several narrower stores still in
// flight cannot be forwarded and stalls), and a loop whose count follows the data mispredicts
// its exit.
namespace table {

inline constexpr uint32_t kBlock = 16;
inline constexpr uint32_t kSlots = 320;      // symbols 0..314, padded to whole blocks
inline constexpr uint32_t kTopSlots = 24;    // 20 blocks, padded to whole vectors

#ifdef BREVANT_LZARI_SSE2
// All lanes set to v, from a general register (a 16-bit argument may otherwise travel through a
// narrow store and a wider load, which cannot be forwarded).
inline __m128i Broadcast(int32_t v) {
    return _mm_shuffle_epi32(_mm_shufflelo_epi16(_mm_cvtsi32_si128(v), 0), 0);
}
// Two mask bits per lane; lanes above the limit form a prefix, so count the run of ones.
inline uint64_t AboveMask(const int16_t* p, __m128i limit) {
    return uint32_t(_mm_movemask_epi8(_mm_cmpgt_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(p)), limit)));
}
inline uint32_t LeadingAbove16(const int16_t* p, __m128i limit) {
    return uint32_t(std::countr_one(AboveMask(p, limit) | AboveMask(p + 8, limit) << 16)) / 2;
}
inline uint32_t LeadingAbove24(const int16_t* p, __m128i limit) {
    return uint32_t(std::countr_one(AboveMask(p, limit) | AboveMask(p + 8, limit) << 16 |
                                    AboveMask(p + 16, limit) << 32)) / 2;
}
// Adds one to the lanes of eight entries whose index (counted from first) is below end.
inline void RaiseLanesBelow(int16_t* p, int32_t first, int32_t end) {
    const __m128i index = _mm_add_epi16(_mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7), Broadcast(first));
    __m128i* q = reinterpret_cast<__m128i*>(p);
    _mm_store_si128(q, _mm_sub_epi16(_mm_load_si128(q), _mm_cmpgt_epi16(Broadcast(end), index)));
}
inline void RaiseLane(int16_t* p, uint32_t lane) {
    const __m128i index = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    __m128i* q = reinterpret_cast<__m128i*>(p);
    _mm_store_si128(q, _mm_sub_epi16(_mm_load_si128(q), _mm_cmpeq_epi16(Broadcast(int32_t(lane)), index)));
}
#else
inline uint32_t LeadingAbove(const int16_t* p, uint32_t n, int16_t limit) {
    uint32_t count = 0;
    for (uint32_t k = 0; k < n; ++k) count += p[k] > limit ? 1u : 0u;
    return count;
}
#endif

}  // namespace table

// The frequencies: searched for the start of a run of equal values, raised one at a time.
class FrequencyTable {
public:
    int16_t operator[](uint32_t i) const { return value_[i]; }
    void Set(uint32_t i, int16_t v) { value_[i] = v; }   // then Reindex

    void Reindex() {
        for (uint32_t b = 0; b < table::kTopSlots; ++b)
            top_[b] = b * table::kBlock < table::kSlots ? value_[b * table::kBlock] : 0;
    }

    // How many leading entries exceed the limit.
    uint32_t CountAbove(int16_t limit) const {
#ifdef BREVANT_LZARI_SSE2
        const __m128i v = table::Broadcast(limit);
        const uint32_t blocks = table::LeadingAbove24(top_, v);
        if (blocks == 0) return 0;
        const uint32_t b = blocks - 1;
        return table::kBlock * b + table::LeadingAbove16(value_ + table::kBlock * b, v);
#else
        const uint32_t blocks = table::LeadingAbove(top_, table::kTopSlots, limit);
        if (blocks == 0) return 0;
        const uint32_t b = blocks - 1;
        return table::kBlock * b + table::LeadingAbove(value_ + table::kBlock * b, table::kBlock, limit);
#endif
    }

    void Raise(uint32_t i) {
#ifdef BREVANT_LZARI_SSE2
        table::RaiseLane(value_ + (i & ~7u), i & 7);
        const uint32_t b = i / table::kBlock;
        if (i % table::kBlock == 0) table::RaiseLane(top_ + (b & ~7u), b & 7);
#else
        ++value_[i];
        if (i % table::kBlock == 0) ++top_[i / table::kBlock];
#endif
    }

private:
    alignas(16) int16_t value_[table::kSlots];
    alignas(16) int16_t top_[table::kTopSlots];
};

// The cumulative frequencies. Each update raises every entry before the updated symbol, on
// average some sixty of them; the entries are therefore kept as a per-block base plus a local
// part, so that raising a prefix touches the bases of the whole blocks and the local parts of
// one block only: a fixed eight vector operations.
class CumulativeTable {
public:
    int16_t operator[](uint32_t k) const { return int16_t(base_[k / table::kBlock] + local_[k]); }
    void Set(uint32_t k, int16_t v) { local_[k] = v; }   // then Reindex

    void Reindex() {
        for (uint32_t b = 0; b < table::kTopSlots; ++b) {
            base_[b] = 0;
            top_[b] = b * table::kBlock < table::kSlots ? local_[b * table::kBlock] : 0;
        }
    }

    uint32_t CountAbove(int16_t limit) const {
#ifdef BREVANT_LZARI_SSE2
        const uint32_t blocks = table::LeadingAbove24(top_, table::Broadcast(limit));
        if (blocks == 0) return 0;
        const uint32_t b = blocks - 1;
        const __m128i local = table::Broadcast(limit - base_[b]);
        return table::kBlock * b + table::LeadingAbove16(local_ + table::kBlock * b, local);
#else
        const uint32_t blocks = table::LeadingAbove(top_, table::kTopSlots, limit);
        if (blocks == 0) return 0;
        const uint32_t b = blocks - 1;
        return table::kBlock * b +
               table::LeadingAbove(local_ + table::kBlock * b, table::kBlock, int16_t(limit - base_[b]));
#endif
    }

    // Adds one to every entry below i (i <= 314).
    void RaiseBelow(uint32_t i) {
        const uint32_t whole = i / table::kBlock;   // blocks entirely below i
#ifdef BREVANT_LZARI_SSE2
        const int32_t touched = int32_t((i + table::kBlock - 1) / table::kBlock);
        for (uint32_t b = 0; b < table::kTopSlots; b += 8) {
            table::RaiseLanesBelow(base_ + b, int32_t(b), int32_t(whole));
            table::RaiseLanesBelow(top_ + b, int32_t(b), touched);
        }
        int16_t* block = local_ + table::kBlock * whole;
        const int32_t rest = int32_t(i % table::kBlock);
        table::RaiseLanesBelow(block, 0, rest);
        table::RaiseLanesBelow(block + 8, 8, rest);
#else
        for (uint32_t b = 0; b < whole; ++b) ++base_[b];
        for (uint32_t b = 0; b * table::kBlock < i; ++b) ++top_[b];
        for (uint32_t k = whole * table::kBlock; k < i; ++k) ++local_[k];
#endif
    }

private:
    alignas(16) int16_t local_[table::kSlots];
    alignas(16) int16_t base_[table::kTopSlots];
    alignas(16) int16_t top_[table::kTopSlots];                  // the first entry of each block
};

// Literals and match lengths. Symbols 1..314 are kept sorted by falling frequency; cum[s] is
// the total frequency of the symbols after s, so cum[0] is the grand total. Frequencies and
// totals never exceed kMaxCum.
class CharModel {
public:
    void Reset() {
        for (uint32_t s = 0; s < table::kSlots; ++s) {
            cum_.Set(s, int16_t(s <= kSymbols ? kSymbols - s : 0));
            // Slot 0 stands above every frequency, so the run search never passes it.
            freq_.Set(s, int16_t(s == 0 ? INT16_MAX : s <= kSymbols ? 1 : 0));
        }
        cum_.Reindex();
        freq_.Reindex();
        for (uint32_t s = 1; s <= kSymbols; ++s) {
            charToSym_[s - 1] = uint16_t(s);
            symToChar_[s] = uint16_t(s - 1);
        }
        symToChar_[0] = 0;
    }

    uint32_t Total() const { return uint32_t(cum_[0]); }
    uint32_t CumAfter(uint32_t sym) const { return uint32_t(cum_[sym]); }       // lower edge of sym
    uint32_t CumThrough(uint32_t sym) const { return uint32_t(cum_[sym - 1]); } // upper edge of sym
    uint32_t SymbolOf(uint32_t ch) const { return charToSym_[ch]; }
    uint32_t CharOf(uint32_t sym) const { return symToChar_[sym]; }

    // The smallest symbol whose lower edge is at or below x (x below the total): the edges fall
    // along the symbol order, so it is the number of edges above x, the total included.
    uint32_t Find(uint32_t x) const { return cum_.CountAbove(int16_t(x)); }

    void Update(uint32_t sym) {
        if (Total() >= kMaxCum) Halve();
        // The symbol moves to the front of its run of equal frequencies before it gains.
        const uint32_t i = GroupStart(sym);
        if (i < sym) {
            const uint16_t chI = symToChar_[i];
            const uint16_t chSym = symToChar_[sym];
            symToChar_[i] = chSym;
            symToChar_[sym] = chI;
            charToSym_[chI] = uint16_t(sym);
            charToSym_[chSym] = uint16_t(i);
        }
        freq_.Raise(i);
        cum_.RaiseBelow(i);
    }

private:
    void Halve() {
        uint32_t c = 0;
        for (uint32_t i = kSymbols; i > 0; --i) {
            cum_.Set(i, int16_t(c));
            const uint32_t halved = (uint32_t(freq_[i]) + 1) >> 1;
            freq_.Set(i, int16_t(halved));
            c += halved;
        }
        cum_.Set(0, int16_t(c));
        cum_.Reindex();
        freq_.Reindex();
    }

    // The first symbol of the run of equal frequencies that ends at sym: frequencies never rise
    // along the symbol order, so it is one past the entries with a higher frequency. Most
    // symbols are alone in their run, which is tested first.
    uint32_t GroupStart(uint32_t sym) const {
        const int16_t f = freq_[sym];
        if (freq_[sym - 1] != f) return sym;
        return freq_.CountAbove(f);
    }

    CumulativeTable cum_;
    FrequencyTable freq_;
    uint16_t symToChar_[kSymbols + 1];
    uint16_t charToSym_[kSymbols];
};

}  // namespace brevant::lzari
