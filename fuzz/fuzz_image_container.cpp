// Any byte string as a container: loading must never read or write out of bounds, must either
// produce the announced length (plus at most the last match's overshoot) or say why not, and
// must agree byte for byte with the plain reference decoder.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/byte_order.h"
#include "images/image_resources.h"
#include "images/lzari_model.h"
#include "images/lzari_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace brevant;
    // Large announced lengths only cost memory and time; the plausibility check is tested apart.
    constexpr uint32_t kMaxText = 1 << 16;
    if (size < 4 || size > (1 << 20) || LoadLe32(data) > kMaxText) return -1;

    // An exact-size copy, so that any read past the container is caught.
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(size));
    std::memcpy(copy, data, size);
    const uint32_t textSize = LoadLe32(copy);
    const LoadedImage image = LoadImageFromContainer(copy, uint32_t(size), 0);

    if (image.error != ImageLoadError::None && image.error != ImageLoadError::CorruptStream &&
        image.error != ImageLoadError::MalformedContainer)
        std::abort();
    if (image.ok() && (image.length < textSize || image.length > textSize + lzari::kMaxOvershoot)) std::abort();
    if (image.capacity != 0 && image.length > image.capacity) std::abort();
    if (image.bytes && textSize > 0) {
        testing::ReferenceLzari reference;
        const auto expected = reference.Decode(copy + 4, uint32_t(size - 4), textSize);
        if (image.length > expected.size() || std::memcmp(image.bytes.get(), expected.data(), image.length) != 0)
            std::abort();
        if (image.ok() && image.length != expected.size()) std::abort();
    }
    std::free(copy);
    return 0;
}
