#include "images/image_resources.h"

#include <new>

#include "common/byte_order.h"
#include "images/image_container.h"
#include "images/lzari_decoder.h"

namespace brevant {

namespace {

// No stream expands much more than 500 times: the likeliest literal holds at most 32454 of the
// model's 32767 counts, so each costs at least 0.014 bits, and a match costs more than 9 bits
// for its position alone. A length word beyond this bound per stream byte is damage, refused
// before it turns into a huge allocation.
constexpr uint64_t kMaxExpansion = 1024;
constexpr uint64_t kExpansionAllowance = 16;   // the bytes past the end the decoder may read, and more

LoadedImage Failed(ImageLoadError error) {
    LoadedImage image;
    image.error = error;
    return image;
}

}  // namespace

const CarriedImage* FindCarriedImage(uint32_t id) {
    for (const CarriedImage& image : CarriedImages())
        if (image.id == id) return &image;
    return nullptr;
}

LoadedImage LoadImageResource(uint32_t resourceId, uint32_t slack) {
    const CarriedImage* image = FindCarriedImage(resourceId);
    if (image == nullptr) return Failed(ImageLoadError::UnknownResource);
    return LoadImageFromContainer(image->data, image->size, slack);
}

LoadedImage LoadImageFromContainer(const uint8_t* data, uint32_t size, uint32_t slack) {
    if (data == nullptr || size < kContainerHeaderSize) return Failed(ImageLoadError::MalformedContainer);
    const uint32_t textSize = LoadLe32(data);
    // The stream is what follows the length word; passing the container's whole size would let
    // the decoder read four bytes beyond it.
    const uint32_t streamLength = size - kContainerHeaderSize;
    if (textSize > kMaxExpansion * (uint64_t(streamLength) + kExpansionAllowance))
        return Failed(ImageLoadError::MalformedContainer);

    const uint64_t extra = slack > lzari::kMaxOvershoot ? slack : lzari::kMaxOvershoot;
    const uint64_t capacity = uint64_t(textSize) + extra;
    if (capacity > UINT32_MAX || textSize > CArithmeticCompression::kMaxTextSize)
        return Failed(ImageLoadError::OutOfMemory);

    LoadedImage image;
    image.bytes.reset(new (std::nothrow) uint8_t[capacity]);
    if (!image.bytes) return Failed(ImageLoadError::OutOfMemory);
    image.capacity = uint32_t(capacity);

    CArithmeticCompression decoder;
    image.length = decoder.Decode(data + kContainerHeaderSize, streamLength, image.bytes.get(), textSize);
    if (decoder.Corrupt() || image.length < textSize) image.error = ImageLoadError::CorruptStream;
    return image;
}

const char* ImageLoadErrorText(ImageLoadError error) {
    switch (error) {
        case ImageLoadError::None: return "no error";
        case ImageLoadError::UnknownResource: return "no such image";
        case ImageLoadError::MalformedContainer: return "malformed image container";
        case ImageLoadError::OutOfMemory: return "out of memory";
        case ImageLoadError::CorruptStream: return "corrupt image stream";
    }
    return "unknown error";
}

}  // namespace brevant
