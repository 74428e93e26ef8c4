// The writer's starting contents against the images this build carries: every built-in image
// fits its region, and none of them is there already, so a default run has work to do.

#include <gtest/gtest.h>

#include <cstring>

#include "images/image_resources.h"
#include "tests/sim/sim_support.h"

namespace brevant {
namespace {

TEST(WriterStartingContents, DifferFromTheBuiltInImagesThatFitTheirRegions) {
    VirtualClock clock;
    VirtualWriter writer{clock};
    const struct {
        uint32_t resource, region;
    } cases[] = {{189, kRegionXLoader}, {190, kRegionWifiApp}, {191, kRegionWifiNvs}};
    for (const auto& c : cases) {
        const LoadedImage image = LoadImageResource(c.resource, kImageSlack);
        ASSERT_TRUE(image.ok()) << c.resource;
        const Region* region = writer.storage().FindRegion(c.region);
        ASSERT_NE(region, nullptr);
        ASSERT_LE(image.length, region->size) << c.resource;
        EXPECT_NE(std::memcmp(region->bytes.data(), image.bytes.get(), image.length), 0) << c.resource;
    }
}

TEST(WriterStartingContents, XLoaderVersionTextSortsBelowTheBuiltInOne) {
    VirtualClock clock;
    VirtualWriter writer{clock};
    const Region* region = writer.storage().FindRegion(kRegionXLoader);
    const char* text = reinterpret_cast<const char*>(&region->bytes[kSimXLoaderTextOffset]);
    EXPECT_STREQ(text, "X-Loader 5.00 (");
    EXPECT_LT(std::strcmp(text, "X-Loader 6.00 ("), 0);
    // The marker occurs once, so a read-back finds this text first.
    const std::string all(region->bytes.begin(), region->bytes.end());
    EXPECT_EQ(all.find("X-Loader "), size_t(kSimXLoaderTextOffset));
}

}  // namespace
}  // namespace brevant
