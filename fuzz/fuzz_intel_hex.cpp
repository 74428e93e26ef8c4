// Any byte string as HEX text, loaded into images placed low, in the middle and at the top of
// the address space: the loader must stay inside the image and report a sane result.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "images/intel_hex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace brevant;
    struct Placement {
        uint32_t base, size;
    };
    static constexpr Placement kPlacements[] = {{0, 0x1000}, {0x80000000, 0x2000}, {0xFFFFF000, 0x1000}};
    uint8_t* text = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(text, data, size);
    for (const Placement& p : kPlacements) {
        std::vector<uint8_t> image(p.size, 0xFF);
        const int32_t result = IntelHexLoader(text, uint32_t(size), image.data(), p.size, p.base);
        // An extent never exceeds the image it was stored in.
        if (result < kHexBadRecord || result > int32_t(p.size)) std::abort();
    }
    std::free(text);
    return 0;
}
