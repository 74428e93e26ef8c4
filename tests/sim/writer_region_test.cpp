// Component regions: where they lie, read-back, prepare and block writes.

#include <gtest/gtest.h>

#include "tests/sim/sim_support.h"

namespace brevant {
namespace {

using simtest::Pattern;
using simtest::SendRaw;
using simtest::WriterFixture;

TEST(WriterRegions, ReportStartAndSize) {
    WriterFixture f;
    const struct {
        uint32_t id, start, size;
    } regions[] = {{kRegionXLoader, kSimXLoaderStart, kSimXLoaderSize},
                   {kRegionWifiApp, kSimWifiAppStart, kSimWifiAppSize},
                   {kRegionWifiNvs, kSimWifiNvsStart, kSimWifiNvsSize}};
    for (const auto& r : regions) {
        uint32_t size = 0;
        EXPECT_EQ(f.device.QueryRegion(r.id, &size), r.start);
        EXPECT_EQ(size, r.size);
    }
    uint32_t size = 1;
    EXPECT_EQ(f.device.QueryRegion(5, &size), 0u);
    EXPECT_EQ(size, 0u);
}

TEST(WriterRegions, StartWithContentsNoImageHas) {
    WriterFixture f;
    for (const uint32_t id : {kRegionWifiApp, kRegionWifiNvs}) {
        const Region* r = f.writer.storage().FindRegion(id);
        ASSERT_NE(r, nullptr);
        // Neither erased nor zero: old contents.
        EXPECT_NE(std::count(r->bytes.begin(), r->bytes.end(), uint8_t(0xFF)), long(r->bytes.size()));
        EXPECT_NE(std::count(r->bytes.begin(), r->bytes.end(), uint8_t(0)), long(r->bytes.size()));
    }
    EXPECT_NE(f.writer.storage().FindRegion(kRegionWifiApp)->bytes, f.writer.storage().FindRegion(kRegionWifiNvs)->bytes);
}

TEST(WriterRegions, ReadBackChecksSelectorAndBounds) {
    WriterFixture f;
    const Region& nvs = *f.writer.storage().FindRegion(kRegionWifiNvs);
    std::vector<uint8_t> buffer(100);
    ASSERT_TRUE(f.device.ReadRegion(kSimWifiNvsStart + 16, 100, buffer.data(), 4));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), nvs.bytes.begin() + 16));
    EXPECT_FALSE(f.device.ReadRegion(kSimWifiNvsStart, 100, buffer.data(), 3));
    // Running past the end of the region.
    EXPECT_FALSE(f.device.ReadRegion(kSimWifiNvsStart + kSimWifiNvsSize - 50, 100, buffer.data(), 4));
}

TEST(WriterRegions, WritesAreTakenOnlyAfterAPrepare) {
    WriterFixture f;
    const auto image = Pattern(100);
    EXPECT_FALSE(f.device.WriteRegion(image.data(), kSimWifiNvsStart, 100));
    EXPECT_EQ(f.device.ResponseHeader().params[0], kSimStatusNotPrepared);

    ASSERT_TRUE(f.device.PrepareRegion(kSimWifiNvsStart, kSimWifiNvsSize, nullptr));
    const Region& nvs = *f.writer.storage().FindRegion(kRegionWifiNvs);
    EXPECT_TRUE(std::all_of(nvs.bytes.begin(), nvs.bytes.end(), [](uint8_t b) { return b == 0xFF; }));
    ASSERT_TRUE(f.device.WriteRegion(image.data(), kSimWifiNvsStart, 100));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), nvs.bytes.begin()));
    // Only the byte count is stored, not the zero padding.
    EXPECT_EQ(nvs.bytes[100], 0xFF);
    EXPECT_EQ(nvs.writeCount, 1u);
}

TEST(WriterRegions, PrepareMustCoverTheWholeRegionInEraseUnits) {
    WriterFixture f;
    uint32_t status = 0;
    EXPECT_FALSE(f.device.PrepareRegion(kSimWifiAppStart + 0x20000, 0x20000, &status));
    EXPECT_EQ(status, kSimWifiAppStart + 0x20000);
    EXPECT_FALSE(f.device.PrepareRegion(kSimWifiAppStart, 0x20000, nullptr));
    // The size as queried, rounded by the command.
    EXPECT_TRUE(f.device.PrepareRegion(kSimWifiAppStart, kSimWifiAppSize - 5, nullptr));
}

TEST(WriterRegions, BlockPaddingMustBeZero) {
    WriterFixture f;
    ASSERT_TRUE(f.device.PrepareRegion(kSimWifiNvsStart, kSimWifiNvsSize, nullptr));
    std::vector<uint8_t> payload(128, 0x11);
    const auto answer = SendRaw(f.writer, CMD_REGION_WRITE, {kSimWifiNvsStart, 100}, payload, f.device.sequence());
    EXPECT_EQ(answer.header.params[0], kSimStatusBadRequest);
}

struct RegionKnobCase {
    const char* name;
    WriterComponent component;
    uint32_t regionId, start;
    bool corrupt;
};

class WriterRegionKnobTest : public ::testing::TestWithParam<RegionKnobCase> {};

TEST_P(WriterRegionKnobTest, RefusedOrCorruptedForEver) {
    const RegionKnobCase& c = GetParam();
    WriterSettings s;
    (c.corrupt ? s.knob(c.component).corrupt : s.knob(c.component).refuse) = kForever;
    WriterFixture f(s);
    const auto image = Pattern(916);
    for (int pass = 0; pass < 3; ++pass) {
        const uint32_t size = c.regionId == kRegionWifiApp ? kSimWifiAppSize : kSimWifiNvsSize;
        ASSERT_TRUE(f.device.PrepareRegion(c.start, size, nullptr));
        EXPECT_EQ(f.device.WriteRegion(image.data(), c.start, 916), c.corrupt);
        std::vector<uint8_t> back(916);
        ASSERT_TRUE(f.device.ReadRegion(c.start, 916, back.data(), 4));
        EXPECT_NE(back, image);
    }
}

INSTANTIATE_TEST_SUITE_P(Knobs, WriterRegionKnobTest,
                         ::testing::Values(RegionKnobCase{"RefuseWifiApp", WriterComponent::WifiApp, kRegionWifiApp,
                                                          kSimWifiAppStart, false},
                                           RegionKnobCase{"CorruptWifiApp", WriterComponent::WifiApp, kRegionWifiApp,
                                                          kSimWifiAppStart, true},
                                           RegionKnobCase{"RefuseWifiNvs", WriterComponent::WifiNvs, kRegionWifiNvs,
                                                          kSimWifiNvsStart, false},
                                           RegionKnobCase{"CorruptWifiNvs", WriterComponent::WifiNvs, kRegionWifiNvs,
                                                          kSimWifiNvsStart, true}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace brevant
