#include "images/intel_hex.h"

namespace brevant {

namespace {

enum class State : uint8_t {
    Between,   // skips everything up to the next ':'
    Count1, Count2,
    Address1, Address2, Address3, Address4,
    Type1, Type2,
    Data1, Data2,
    Extended1, Extended2, Extended3, Extended4,   // types 2 and 4: a 16-bit value, then shifted
    Start1, Start2,                              // type 5: checked, then dropped
    Sum1, Sum2,
};

constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;

}  // namespace

// Decisions the record format leaves open:
// - A ':', CR or LF inside a record (before its checksum has been read) means a line was broken
//   off or joined to the next. Taken as a digit it would mis-read the record and everything
//   after it, so the record is rejected like one with a wrong checksum (kHexBadRecord): in both
//   cases the record's bytes cannot be trusted, while kHexNotHex stays the answer for texts
//   that are not HEX at all or end early.
// - A data-like or type 5 record with count 0 has no data field: its checksum follows the type
//   byte directly. (Types 2 and 4 always read their two bytes whatever the count says.)
// - An end-of-file record before any data byte gives 0, not the 2 that highest - lowest + 1
//   gives with nothing stored, so that the caller's "0 or less is a failure" holds for an empty
//   image.
// - The extent of an image larger than 2 GiB would not fit the result; it is clamped to
//   INT32_MAX. Address checks are made on offsets, so base + outputSize may exceed 32 bits.
int32_t IntelHexLoader(const uint8_t* text, uint32_t length, uint8_t* output, uint32_t outputSize, uint32_t base) {
    if (text == nullptr || length == 0 || text[0] != ':') return kHexNotHex;
    if (output == nullptr) outputSize = 0;

    State state = State::Between;
    uint32_t count = 0;
    uint32_t recordAddress = 0;
    uint32_t extended = 0;
    uint32_t extendedShift = 0;
    uint32_t type = 0;
    uint32_t value = 0;     // the 16-bit field of types 2/4, the received checksum, a start byte
    uint32_t offset = 0;    // of the data byte being read
    uint8_t checksum = 0;
    bool stored = false;
    uint32_t lowest = 0;
    uint32_t highest = 0;

    const auto extent = [&]() -> int32_t {
        if (!stored) return 0;
        const uint32_t span = highest - lowest + 1;
        return span > uint32_t(INT32_MAX) ? INT32_MAX : int32_t(span);
    };

    for (uint32_t at = 0; at < length; ++at) {
        uint8_t c = text[at];
        if (c >= 'a' && c <= 'z') c = uint8_t(c - ('a' - 'A'));
        const bool digit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
        if (!digit && c != ':' && c != kCr && c != kLf) return extent();
        if (state == State::Between) {
            checksum = 0;
            if (c == ':') state = State::Count1;
            continue;
        }
        if (!digit) return kHexBadRecord;
        const uint32_t d = c <= '9' ? uint32_t(c - '0') : uint32_t(c - 'A' + 10);

        switch (state) {
            case State::Between:
                break;
            case State::Count1:
                count = d;
                state = State::Count2;
                break;
            case State::Count2:
                count = count * 16 + d;
                checksum = uint8_t(checksum + count);
                state = State::Address1;
                break;
            case State::Address1:
                recordAddress = d;
                state = State::Address2;
                break;
            case State::Address2:
                recordAddress = recordAddress * 16 + d;
                checksum = uint8_t(checksum + recordAddress);
                state = State::Address3;
                break;
            case State::Address3:
                recordAddress = recordAddress * 16 + d;
                state = State::Address4;
                break;
            case State::Address4:
                recordAddress = recordAddress * 16 + d;
                checksum = uint8_t(checksum + recordAddress);
                state = State::Type1;
                break;
            case State::Type1:
                type = d;
                state = State::Type2;
                break;
            case State::Type2:
                type = type * 16 + d;
                checksum = uint8_t(checksum + type);
                if (type == 1) return extent();
                if (type == 2 || type == 4) {
                    extendedShift = type == 2 ? 4 : 16;
                    state = State::Extended1;
                } else if (count == 0) {
                    state = State::Sum1;
                } else {
                    state = type == 5 ? State::Start1 : State::Data1;
                }
                break;
            case State::Data1: {
                const uint32_t address = recordAddress + extended;
                offset = address - base;
                if (address < base || offset >= outputSize) return kHexOutsideImage;
                if (!stored || address > highest) highest = address;
                if (!stored || address < lowest) lowest = address;
                stored = true;
                output[offset] = uint8_t(d);
                state = State::Data2;
                break;
            }
            case State::Data2: {
                const uint8_t byte = uint8_t(output[offset] * 16 + d);
                output[offset] = byte;
                checksum = uint8_t(checksum + byte);
                ++recordAddress;   // runs on past 0xFFFF rather than wrapping
                state = --count == 0 ? State::Sum1 : State::Data1;
                break;
            }
            case State::Extended1:
                extended = d;
                state = State::Extended2;
                break;
            case State::Extended2:
                extended = extended * 16 + d;
                checksum = uint8_t(checksum + extended);
                state = State::Extended3;
                break;
            case State::Extended3:
                extended = extended * 16 + d;
                state = State::Extended4;
                break;
            case State::Extended4:
                extended = extended * 16 + d;
                checksum = uint8_t(checksum + extended);
                extended <<= extendedShift;
                state = State::Sum1;
                break;
            case State::Start1:
                value = d;
                state = State::Start2;
                break;
            case State::Start2:
                value = value * 16 + d;
                checksum = uint8_t(checksum + value);
                state = --count == 0 ? State::Sum1 : State::Start1;
                break;
            case State::Sum1:
                value = d;
                state = State::Sum2;
                break;
            case State::Sum2:
                value = value * 16 + d;
                if (uint8_t(value + checksum) != 0) return kHexBadRecord;
                state = State::Between;
                break;
        }
    }
    return kHexNotHex;
}

}  // namespace brevant
