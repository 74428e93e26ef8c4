// The images the program carries, as the update steps load them, and the container checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "images/image_resources.h"
#include "images/intel_hex.h"
#include "images/lzari_encoder.h"
#include "images/machine_catalogue.h"

namespace brevant {
namespace {

struct Expected {
    uint32_t id;
    uint32_t size;
};
constexpr Expected kCarried[] = {{169, 3580492}, {170, 475388}, {171, 768064}, {172, 496448}, {173, 505152},
                                 {174, 122152},  {189, 32256},  {190, 280280}, {191, 916}};

uint32_t SlackFor(uint32_t id) { return id == 169 ? kApplicationSlack : kImageSlack; }

TEST(CarriedImages, TheTableListsTheNineImagesInIdOrder) {
    const auto images = CarriedImages();
    ASSERT_EQ(images.size(), std::size(kCarried));
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].id, kCarried[i].id);
        EXPECT_EQ(FindCarriedImage(kCarried[i].id), &images[i]);
        EXPECT_GT(images[i].size, 4u);
        EXPECT_NE(std::strlen(images[i].what), 0u);
    }
}

TEST(CarriedImages, EveryIdTheCatalogueNamesIsCarried) {
    for (MachineType type : {18u, 19u, 20u}) {
        const MachineDescriptor& d = DescriptorFor(type);
        for (uint32_t id : {d.keyboardScannerResourceId, d.firstFontResourceId, d.secondFontResourceId,
                            d.bitmapResourceId, d.appResourceId, d.bootResourceId, d.xLoaderResourceId,
                            d.wifiAppResourceId, d.wifiNvsResourceId})
            if (id != 0) {
                EXPECT_NE(FindCarriedImage(id), nullptr) << "type " << type << " id " << id;
            }
    }
}

TEST(CarriedImages, EachDecodesToExactlyItsSize) {
    for (const Expected& e : kCarried) {
        const LoadedImage image = LoadImageResource(e.id, SlackFor(e.id));
        ASSERT_TRUE(image.ok()) << e.id << ": " << ImageLoadErrorText(image.error);
        EXPECT_EQ(image.length, e.size) << e.id;
        EXPECT_EQ(image.capacity, e.size + SlackFor(e.id)) << e.id;
    }
}

TEST(CarriedImages, ApplicationAndBootCodeHeadersCarryTheCatalogueVersions) {
    const MachineDescriptor& brevant = DescriptorFor(19);
    struct Case {
        uint32_t id, version, build;
    };
    for (const Case& c : {Case{169, brevant.appImageVersion, brevant.appImageBuild},
                          Case{170, brevant.bootImageVersion, brevant.bootImageBuild}}) {
        const LoadedImage image = LoadImageResource(c.id, SlackFor(c.id));
        ASSERT_TRUE(image.ok());
        EXPECT_EQ(LoadLe32(image.bytes.get()), 292u) << c.id;
        EXPECT_EQ(LoadLe32(image.bytes.get() + 0x11C), c.version) << c.id;
        EXPECT_EQ(LoadLe32(image.bytes.get() + 0x120), c.build) << c.id;
    }
}

TEST(CarriedImages, XLoaderAndWifiImagesStartWithTheLengthOfTheRest) {
    for (uint32_t id : {189u, 190u, 191u}) {
        const LoadedImage image = LoadImageResource(id, kImageSlack);
        ASSERT_TRUE(image.ok());
        EXPECT_EQ(LoadLe32(image.bytes.get()), image.length - 4) << id;
    }
}

TEST(CarriedImages, XLoaderHoldsItsVersionTextAtTheFirstMarker) {
    const LoadedImage image = LoadImageResource(189, kImageSlack);
    ASSERT_TRUE(image.ok());
    const uint8_t* begin = image.bytes.get();
    const uint8_t* end = begin + image.length;
    const char marker[] = "X-Loader ";
    const uint8_t* at = std::search(begin, end, marker, marker + 9);
    ASSERT_NE(at, end);
    const uint8_t* nul = std::find(at, end, uint8_t(0));
    ASSERT_NE(nul, end);
    EXPECT_EQ(std::string(at, nul), "X-Loader 6.00 (");
}

TEST(CarriedImages, KeyboardScannerTextLoadsAsTheScannerStepExpects) {
    const LoadedImage text = LoadImageResource(174, kImageSlack);
    ASSERT_TRUE(text.ok());
    const std::string hex(text.bytes.get(), text.bytes.get() + text.length);
    EXPECT_EQ(hex.substr(0, 17), ":0200000480007A\r\n");   // extended linear address 0x8000
    EXPECT_EQ(hex.substr(hex.size() - 34), ":040000058000200057\r\n:00000001FF\r\n");
    EXPECT_EQ(std::count(hex.begin(), hex.end(), '\n'), 2720);
    EXPECT_EQ(std::count(hex.begin(), hex.end(), '\r'), 2720);

    std::vector<uint8_t> flat(0x80000, 0xFF);
    EXPECT_EQ(IntelHexLoader(text.bytes.get(), text.length, flat.data(), 0x80000, 0x80000000), 43784);
    size_t last = flat.size() - 1;
    while (flat[last] == 0xFF) --last;
    EXPECT_EQ(last, 0xAB03u);
}

TEST(CarriedImages, UnknownIdsAreReportedNotLoaded) {
    for (uint32_t id : {0u, 1u, 168u, 175u, 188u, 192u, 0xFFFFFFFFu}) {
        EXPECT_EQ(FindCarriedImage(id), nullptr);
        const LoadedImage image = LoadImageResource(id, kImageSlack);
        EXPECT_EQ(image.error, ImageLoadError::UnknownResource) << id;
        EXPECT_EQ(image.bytes, nullptr);
    }
}

std::vector<uint8_t> Container(const std::string& text) {
    std::vector<uint8_t> container;
    EXPECT_TRUE(PackImageContainer(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), container));
    return container;
}

TEST(ImageContainer, SlackIsNeverBelowTheDecodersOvershoot) {
    const std::vector<uint8_t> container = Container("some text to pack, some text to pack");
    for (uint32_t slack : {0u, 1u, 59u, 256u, 1024u}) {
        const LoadedImage image = LoadImageFromContainer(container.data(), uint32_t(container.size()), slack);
        ASSERT_TRUE(image.ok());
        EXPECT_EQ(image.capacity, 36 + std::max(slack, 59u)) << slack;
    }
}

TEST(ImageContainer, EmptyImageLoadsEmpty) {
    const std::vector<uint8_t> container = Container("");
    const LoadedImage image = LoadImageFromContainer(container.data(), uint32_t(container.size()), kImageSlack);
    EXPECT_TRUE(image.ok());
    EXPECT_EQ(image.length, 0u);
}

TEST(ImageContainer, MalformedContainersAreRefusedBeforeAllocating) {
    std::vector<uint8_t> huge = Container("tiny");
    StoreLe32(huge.data(), 0xFFFFFFF0);   // no stream of a few bytes expands that far
    const uint8_t three[3] = {1, 0, 0};
    EXPECT_EQ(LoadImageFromContainer(huge.data(), uint32_t(huge.size()), 0).error, ImageLoadError::MalformedContainer);
    EXPECT_EQ(LoadImageFromContainer(three, 3, 0).error, ImageLoadError::MalformedContainer);
    EXPECT_EQ(LoadImageFromContainer(nullptr, 16, 0).error, ImageLoadError::MalformedContainer);
}

TEST(ImageContainer, TheExpansionBoundAdmitsTheMostCompressibleText) {
    const std::vector<uint8_t> zeros(1 << 18, 0);
    std::vector<uint8_t> container;
    ASSERT_TRUE(PackImageContainer(zeros.data(), uint32_t(zeros.size()), container));
    const LoadedImage image = LoadImageFromContainer(container.data(), uint32_t(container.size()), 0);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image.length, zeros.size());
}

TEST(ImageContainer, AContainerMuchLongerThanItsStreamIsCorrupt) {
    std::vector<uint8_t> container = Container("abcdefghijklmnopqrstuvwxyz0123456789");
    StoreLe32(container.data(), 5000);   // plausible for the size, but the stream ends long before
    const LoadedImage image = LoadImageFromContainer(container.data(), uint32_t(container.size()), 0);
    EXPECT_EQ(image.error, ImageLoadError::CorruptStream);
    EXPECT_LT(image.length, 5000u);
}

}  // namespace
}  // namespace brevant
