// The containers linked into the executable by the generated assembly file, which defines for
// each id a byte array brevant_carried_<id> and its length brevant_carried_<id>_size.

#include "images/image_resources.h"

#define BREVANT_LINKED_IMAGE(id)                         \
    extern "C" const uint8_t brevant_carried_##id[];     \
    extern "C" const uint32_t brevant_carried_##id##_size;

BREVANT_LINKED_IMAGE(169)
BREVANT_LINKED_IMAGE(170)
BREVANT_LINKED_IMAGE(171)
BREVANT_LINKED_IMAGE(172)
BREVANT_LINKED_IMAGE(173)
BREVANT_LINKED_IMAGE(174)
BREVANT_LINKED_IMAGE(189)
BREVANT_LINKED_IMAGE(190)
BREVANT_LINKED_IMAGE(191)

#undef BREVANT_LINKED_IMAGE

namespace brevant {

std::span<const CarriedImage> CarriedImages() {
#define BREVANT_IMAGE_ENTRY(id, what) {id, what, brevant_carried_##id, brevant_carried_##id##_size}
    static const CarriedImage table[] = {
        BREVANT_IMAGE_ENTRY(169, "application"),
        BREVANT_IMAGE_ENTRY(170, "boot code"),
        BREVANT_IMAGE_ENTRY(171, "bitmap"),
        BREVANT_IMAGE_ENTRY(172, "first font"),
        BREVANT_IMAGE_ENTRY(173, "second font"),
        BREVANT_IMAGE_ENTRY(174, "keyboard scanner (Intel HEX)"),
        BREVANT_IMAGE_ENTRY(189, "X-Loader"),
        BREVANT_IMAGE_ENTRY(190, "WiFi application"),
        BREVANT_IMAGE_ENTRY(191, "WiFi NVS data"),
    };
#undef BREVANT_IMAGE_ENTRY
    return table;
}

}  // namespace brevant
