#include "images/lzari_encoder.h"

#include <algorithm>
#include <memory>
#include <new>

#include "common/byte_order.h"
#include "images/image_container.h"

namespace brevant {

using namespace lzari;

LzariSymbolWriter::LzariSymbolWriter() { model_.Reset(); }

void LzariSymbolWriter::PutBit(uint32_t bit) {
    if (bit) byte_ |= mask_;
    mask_ >>= 1;
    if (mask_ == 0) {
        try {
            out_.push_back(uint8_t(byte_));
        } catch (const std::bad_alloc&) {
            failed_ = true;
        }
        byte_ = 0;
        mask_ = 0x80;
    }
}

void LzariSymbolWriter::Emit(uint32_t bit) {
    PutBit(bit);
    for (; pending_ > 0; --pending_) PutBit(bit ^ 1);
}

void LzariSymbolWriter::Encode(uint32_t cumLow, uint32_t cumHigh, uint32_t total) {
    const uint32_t range = high_ - low_;
    high_ = low_ + range * cumHigh / total;
    low_ += range * cumLow / total;
    for (;;) {
        if (high_ <= kQ2) {
            Emit(0);
        } else if (low_ >= kQ2) {
            Emit(1);
            low_ -= kQ2;
            high_ -= kQ2;
        } else if (low_ >= kQ1 && high_ <= kQ3) {
            ++pending_;
            low_ -= kQ1;
            high_ -= kQ1;
        } else {
            break;
        }
        low_ <<= 1;
        high_ <<= 1;
    }
}

void LzariSymbolWriter::Literal(uint8_t byte) {
    const uint32_t sym = model_.SymbolOf(byte);
    Encode(model_.CumAfter(sym), model_.CumThrough(sym), model_.Total());
    model_.Update(sym);
}

void LzariSymbolWriter::Match(uint32_t length, uint32_t distance) {
    if (length < kMinMatch || length > kMaxMatch || distance < 1 || distance > kRingSize) {
        failed_ = true;
        return;
    }
    const uint32_t sym = model_.SymbolOf(MatchSymbolChar(length));
    Encode(model_.CumAfter(sym), model_.CumThrough(sym), model_.Total());
    model_.Update(sym);
    const uint32_t p = distance - 1;
    Encode(kPositionModel.cum[p + 1], kPositionModel.cum[p], kPositionModel.Total());
}

bool LzariSymbolWriter::Finish(std::vector<uint8_t>& stream) {
    // Two more bits pin a value inside the final interval whatever follows them; the decoder
    // reads zeros after the last byte, which is what the padding holds.
    ++pending_;
    Emit(low_ < kQ1 ? 0 : 1);
    while (mask_ != 0x80) PutBit(0);
    if (failed_) return false;
    stream = std::move(out_);
    out_.clear();
    return true;
}

namespace {

// Binary search trees over the strings of kMaxMatch bytes that start at each ring position,
// one tree per first byte. Inserting a position finds the longest earlier match on the way
// down; a position whose string equals one already there replaces it, which keeps the nearer
// of two equal matches and the trees shallow on runs.
class MatchFinder {
public:
    static constexpr uint32_t kNil = kRingSize;
    static constexpr uint32_t kMask = kRingSize - 1;

    // The ring, plus a copy of its first kMaxMatch - 1 bytes after its end so that a string
    // that wraps can be compared in place.
    uint8_t text[kRingSize + kMaxMatch - 1];
    uint32_t matchLength = 0;
    uint32_t matchDistance = 0;

    MatchFinder() {
        std::fill(std::begin(text), std::end(text), uint8_t(' '));
        std::fill(std::begin(parent_), std::end(parent_), uint16_t(kNil));
        std::fill(std::begin(left_), std::end(left_), uint16_t(kNil));
        std::fill(std::begin(right_), std::end(right_), uint16_t(kNil));
    }

    void Store(uint32_t position, uint8_t byte) {
        text[position] = byte;
        if (position < kMaxMatch - 1) text[position + kRingSize] = byte;
    }

    void Insert(uint32_t r) {
        const uint8_t* key = &text[r];
        uint32_t p = kRingSize + 1 + key[0];
        left_[r] = right_[r] = kNil;
        matchLength = 0;
        int cmp = 1;
        for (;;) {
            uint16_t* link = cmp >= 0 ? &right_[p] : &left_[p];
            if (*link == kNil) {
                *link = uint16_t(r);
                parent_[r] = uint16_t(p);
                return;
            }
            p = *link;
            uint32_t i = 1;
            while (i < kMaxMatch && (cmp = int(key[i]) - int(text[p + i])) == 0) ++i;
            const uint32_t distance = (r - p) & kMask;
            if (i > matchLength) {
                matchLength = i;
                matchDistance = distance;
                if (i >= kMaxMatch) break;
            } else if (i == matchLength && distance < matchDistance) {
                matchDistance = distance;
            }
        }
        // p holds the same kMaxMatch bytes: r takes its place.
        parent_[r] = parent_[p];
        left_[r] = left_[p];
        right_[r] = right_[p];
        parent_[left_[p]] = uint16_t(r);
        parent_[right_[p]] = uint16_t(r);
        Relink(p, r);
        parent_[p] = kNil;
    }

    void Remove(uint32_t p) {
        if (parent_[p] == kNil) return;
        uint32_t q;
        if (right_[p] == kNil) {
            q = left_[p];
        } else if (left_[p] == kNil) {
            q = right_[p];
        } else {
            // Replace p by its in-order predecessor.
            q = left_[p];
            if (right_[q] != kNil) {
                do q = right_[q];
                while (right_[q] != kNil);
                right_[parent_[q]] = left_[q];
                parent_[left_[q]] = parent_[q];
                left_[q] = left_[p];
                parent_[left_[p]] = uint16_t(q);
            }
            right_[q] = right_[p];
            parent_[right_[p]] = uint16_t(q);
        }
        parent_[q] = parent_[p];
        Relink(p, q);
        parent_[p] = kNil;
    }

private:
    void Relink(uint32_t from, uint32_t to) {
        const uint32_t up = parent_[from];
        if (right_[up] == from) right_[up] = uint16_t(to);
        else left_[up] = uint16_t(to);
    }

    // Nodes 0..4095 are ring positions, kNil ends a branch (its own slots absorb harmless
    // writes), and kRingSize + 1 + b is the root of the tree for first byte b.
    uint16_t parent_[kRingSize + 257];
    uint16_t left_[kRingSize + 257];
    uint16_t right_[kRingSize + 257];
};

}  // namespace

bool EncodeLzari(const uint8_t* data, size_t length, std::vector<uint8_t>& stream) {
    std::unique_ptr<MatchFinder> finder(new (std::nothrow) MatchFinder());
    if (!finder) return false;
    LzariSymbolWriter writer;
    if (data == nullptr) length = 0;

    // The window behind the first byte is the decoder's space-filled ring; the kMaxMatch
    // positions just behind it go into the trees, so a text that starts with blanks matches.
    uint32_t r = kSpaceFilled;
    uint32_t s = 0;   // the oldest position, overwritten by the next byte read
    size_t next = 0;
    uint32_t ahead = 0;   // bytes of look-ahead at r
    while (ahead < kMaxMatch && next < length) finder->text[r + ahead++] = data[next++];
    if (ahead > 0) {
        for (uint32_t i = 1; i <= kMaxMatch; ++i) finder->Insert(r - i);
        finder->Insert(r);
    }

    while (ahead > 0) {
        uint32_t take = std::min(finder->matchLength, ahead);
        if (take <= kThreshold) {
            take = 1;
            writer.Literal(finder->text[r]);
        } else {
            writer.Match(take, finder->matchDistance);
        }
        for (uint32_t i = 0; i < take; ++i) {
            finder->Remove(s);
            const bool more = next < length;
            if (more) finder->Store(s, data[next++]);
            s = (s + 1) & MatchFinder::kMask;
            r = (r + 1) & MatchFinder::kMask;
            if (!more) --ahead;
            if (ahead > 0) finder->Insert(r);
        }
    }
    return writer.Finish(stream);
}

bool PackImageContainer(const uint8_t* data, uint32_t length, std::vector<uint8_t>& container) {
    std::vector<uint8_t> stream;
    if (!EncodeLzari(data, length, stream)) return false;
    try {
        container.assign(kContainerHeaderSize, 0);
        StoreLe32(container.data(), length);
        container.insert(container.end(), stream.begin(), stream.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace brevant
