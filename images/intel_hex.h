#pragma once
// Turns the keyboard scanner's Intel HEX text into a flat image at a base address, in a single
// pass over the text. The caller pre-fills the image; bytes no record covers keep that content.

#include <cstdint>

namespace brevant {

inline constexpr int32_t kHexNotHex = -1;          // no ':' first, or no end-of-file record
inline constexpr int32_t kHexOutsideImage = -2;    // a data byte's address is outside the image
inline constexpr int32_t kHexBadRecord = -3;       // wrong checksum, or a record broken off

// Returns the extent of the stored data (highest - lowest address + 1), 0 when the end-of-file
// record came before any data byte, or one of the negative codes above. A byte that is neither
// a hex digit, ':', CR nor LF ends loading as an end-of-file record would. output[0] stands
// for address base.
int32_t IntelHexLoader(const uint8_t* text, uint32_t length, uint8_t* output, uint32_t outputSize, uint32_t base);

}  // namespace brevant
