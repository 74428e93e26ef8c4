#pragma once
// Every carried image is a container: the decoded length as a little-endian u32, then the LZARI
// stream that expands to it.

#include <cstdint>

namespace brevant {

inline constexpr uint32_t kContainerHeaderSize = 4;

}  // namespace brevant
