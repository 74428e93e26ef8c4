#pragma once
// The firmware images the program carries, and the one way every update step loads one: find
// the container by resource id, allocate the decoded length plus slack, expand it. Failures
// come back as codes the step can report; nothing here prints or throws.

#include <cstdint>
#include <memory>
#include <span>

namespace brevant {

// Slack after the decoded length: the application step pads with up to 1 KiB, every other step
// with 256 bytes. A slack below the decoder's possible overshoot is raised to it.
inline constexpr uint32_t kApplicationSlack = 1024;
inline constexpr uint32_t kImageSlack = 256;

enum class ImageLoadError {
    None,
    UnknownResource,      // the program carries no image with that id
    MalformedContainer,   // shorter than its length word, or a length no stream that size can give
    OutOfMemory,
    CorruptStream,        // the stream ran out before the announced length
};

struct LoadedImage {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t length = 0;     // what the decoder produced: the announced length, or a little more
    uint32_t capacity = 0;   // bytes allocated: announced length plus slack
    ImageLoadError error = ImageLoadError::None;

    bool ok() const { return error == ImageLoadError::None; }
};

struct CarriedImage {
    uint32_t id;         // resource id, as in the machine catalogue
    const char* what;
    const uint8_t* data; // the container
    uint32_t size;
};

// Every carried image, in resource id order. Where the bytes live is the platform's business:
// linked into the executable here, resources of the program file elsewhere.
std::span<const CarriedImage> CarriedImages();
const CarriedImage* FindCarriedImage(uint32_t id);

LoadedImage LoadImageResource(uint32_t resourceId, uint32_t slack);
LoadedImage LoadImageFromContainer(const uint8_t* data, uint32_t size, uint32_t slack);

const char* ImageLoadErrorText(ImageLoadError error);

}  // namespace brevant
