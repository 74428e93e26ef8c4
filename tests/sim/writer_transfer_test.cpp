// Application, boot code and X-Loader storage: what a transfer must look like to be taken,
// and what the writer holds afterwards.

#include <gtest/gtest.h>

#include "tests/sim/sim_support.h"

namespace brevant {
namespace {

using simtest::CrcOf;
using simtest::Firmware;
using simtest::Pattern;
using simtest::SendRaw;
using simtest::WriterFixture;

TEST(WriterApplication, TakesAnAnnouncedImageAndKeepsIt) {
    WriterFixture f;
    const auto image = Firmware(150000, 0x02000000, 35675);
    f.device.SendImageCrc(CrcOf(image));
    ASSERT_EQ(f.device.ProgramApplication(image.data(), uint32_t(image.size()), 19), 0);
    const FirmwareStore& app = f.writer.storage().app;
    EXPECT_EQ(app.state, FirmwareState::Programmed);
    EXPECT_EQ(app.image, image);
    // The running application answers until the next restart.
    EXPECT_EQ(f.writer.settings().appVersion, WriterSettings{}.appVersion);
}

TEST(WriterApplication, ImageNotMatchingTheAnnouncedChecksumIsRefused) {
    WriterFixture f;
    const auto image = Pattern(70000);
    f.device.SendImageCrc(CrcOf(image) ^ 1);
    EXPECT_EQ(f.device.ProgramApplication(image.data(), uint32_t(image.size()), 19), int(kSimStatusChecksum));
    EXPECT_EQ(f.writer.storage().app.state, FirmwareState::Invalid);
}

TEST(WriterApplication, TransferWithoutAnAnnouncedChecksumIsRefusedUntouched) {
    WriterFixture f;
    const auto image = Pattern(1000);
    EXPECT_EQ(f.device.ProgramApplication(image.data(), 1000, 19), int(kSimStatusNoChecksum));
    EXPECT_EQ(f.writer.storage().app.state, FirmwareState::Original);
}

TEST(WriterApplication, RefusedWhileAFileIsOpen) {
    WriterSettings s;
    s.fileOpen = true;
    WriterFixture f(s);
    const auto image = Pattern(1000);
    f.device.SendImageCrc(CrcOf(image));
    EXPECT_EQ(f.device.ProgramApplication(image.data(), 1000, 19), int(kStatusFileOpen));
}

struct ChunkCase {
    const char* name;
    uint32_t params[5];
    uint32_t length;
    uint32_t wantStatus;
};

class WriterChunkRulesTest : public ::testing::TestWithParam<ChunkCase> {};

// A first chunk of 1000 bytes of a 3000-byte image has been taken; then comes this chunk.
TEST_P(WriterChunkRulesTest, SecondChunkIsChecked) {
    const ChunkCase& c = GetParam();
    WriterFixture f;
    const auto image = Pattern(3000);
    const uint32_t seq = f.device.sequence();
    SendRaw(f.writer, CMD_IMAGE_CRC, {CrcOf(image)}, {}, seq);
    const auto first = SendRaw(f.writer, CMD_PROGRAM_APP, {19, 0, 3000, 0, kTransferMarker},
                               std::vector<uint8_t>(image.begin(), image.begin() + 1000), seq);
    ASSERT_EQ(first.header.code, RSP_NEXT);
    const std::vector<uint32_t> params(c.params, c.params + 5);
    const auto second = SendRaw(f.writer, CMD_PROGRAM_APP, params, Pattern(c.length), seq);
    if (c.wantStatus == 0) {
        EXPECT_EQ(second.header.code, RSP_NEXT);
    } else {
        EXPECT_EQ(second.header.code, RSP_STATUS);
        EXPECT_EQ(second.header.params[0], c.wantStatus);
        EXPECT_FALSE(f.writer.storage().appTransfer.active);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, WriterChunkRulesTest,
    ::testing::Values(ChunkCase{"InOrder", {19, 0, 3000, 1000, kTransferMarker}, 1000, 0},
                      ChunkCase{"WrongMachineType", {18, 0, 3000, 1000, kTransferMarker}, 1000, kSimStatusBadRequest},
                      ChunkCase{"MissingMarker", {19, 0, 3000, 1000, 0}, 1000, kSimStatusBadRequest},
                      ChunkCase{"TotalChanged", {19, 0, 3001, 1000, kTransferMarker}, 1000, kSimStatusBadTransfer},
                      ChunkCase{"Gap", {19, 0, 3000, 1100, kTransferMarker}, 1000, kSimStatusBadTransfer},
                      ChunkCase{"Repeat", {19, 0, 3000, 999, kTransferMarker}, 1000, kSimStatusBadTransfer},
                      ChunkCase{"BeyondTheEnd", {19, 0, 3000, 1000, kTransferMarker}, 2001, kSimStatusBadTransfer}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(WriterBootCode, TakesPaddedSectorsAndReportsItsVersionsAtOnce) {
    WriterSettings s;
    s.machineType = 16;
    s.sectorSize = 0x10000;
    WriterFixture f(s);
    const auto image = Firmware(70000, 0x01000000, 35673);
    ASSERT_EQ(f.device.ProgramBootCode(image.data(), uint32_t(image.size()), 0), 0);
    const FirmwareStore& boot = f.writer.storage().boot;
    ASSERT_EQ(boot.image.size(), 131072u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), boot.image.begin()));
    EXPECT_TRUE(std::all_of(boot.image.begin() + 70000, boot.image.end(), [](uint8_t b) { return b == 0xFF; }));
    uint32_t v[4] = {};
    ASSERT_EQ(f.device.GetBootVersions(&v[0], &v[1], &v[2], &v[3]), 0);
    EXPECT_EQ(v[0], 0x01000000u);
    EXPECT_EQ(v[1], 35673u);
    EXPECT_EQ(v[2], 0x01000000u);
    EXPECT_EQ(v[3], 35673u);
}

TEST(WriterBootCode, RefusesChunksAboveItsChunkSize) {
    WriterSettings s;
    s.machineType = 6;
    WriterFixture f(s);
    const auto image = Pattern(9000);
    const uint32_t seq = f.device.sequence();
    SendRaw(f.writer, CMD_IMAGE_CRC, {CrcOf(image)}, {}, seq);
    const auto answer = SendRaw(f.writer, CMD_PROGRAM_BOOT, {6, 0, 9000, 0, kTransferMarker}, image, seq);
    EXPECT_EQ(answer.header.params[0], kSimStatusBadRequest);
    // The device object cuts it right.
    EXPECT_EQ(f.device.ProgramBootCode(image.data(), 9000, 0), 0);
}

TEST(WriterFlashGeometry, ElevenWordsWithSectorAndReservedSizes) {
    WriterSettings s;
    s.sectorSize = 0x10000;
    s.reservedSize = 0x1000;
    WriterFixture f(s);
    uint8_t block[44] = {};
    ASSERT_EQ(f.device.GetFlashGeometry(4, block, 44), 44u);
    EXPECT_EQ(LoadLe32(block + 36), 0x10000u);
    EXPECT_EQ(LoadLe32(block + 40), 0x1000u);
    EXPECT_EQ(f.device.GetFlashGeometry(3, block, 44), 0u);
}

TEST(WriterXLoader, VerifiedTransferReplacesRegion0) {
    WriterFixture f;
    const Region* region = f.writer.storage().FindRegion(kRegionXLoader);
    ASSERT_NE(region, nullptr);
    const std::string oldText(reinterpret_cast<const char*>(&region->bytes[kSimXLoaderTextOffset]));
    EXPECT_EQ(oldText, "X-Loader 5.00 (");

    const auto image = Pattern(70000);
    ASSERT_EQ(f.device.ProgramXLoader(image.data(), 70000, 0), 0);
    std::vector<uint8_t> readBack(70000);
    ASSERT_TRUE(f.device.ReadRegion(kSimXLoaderStart, 65536, readBack.data(), 4));
    ASSERT_TRUE(f.device.ReadRegion(kSimXLoaderStart + 65536, 4464, readBack.data() + 65536, 4));
    EXPECT_EQ(readBack, image);
}

struct KnobCase {
    const char* name;
    WriterComponent component;
    bool corrupt;
    uint32_t wantFirst;  // result of the first transfer; the second always succeeds
};

class WriterTransferKnobTest : public ::testing::TestWithParam<KnobCase> {};

TEST_P(WriterTransferKnobTest, MisbehavesOnceThenTakesTheImage) {
    const KnobCase& c = GetParam();
    WriterSettings s;
    (c.corrupt ? s.knob(c.component).corrupt : s.knob(c.component).refuse) = 1;
    WriterFixture f(s);
    const auto image = Firmware(100000, 0x02000000, 35675);
    auto send = [&] {
        switch (c.component) {
            case WriterComponent::App:
                f.device.SendImageCrc(CrcOf(image));
                return f.device.ProgramApplication(image.data(), uint32_t(image.size()), 19);
            case WriterComponent::Boot:
                return f.device.ProgramBootCode(image.data(), uint32_t(image.size()), 0);
            default:
                return f.device.ProgramXLoader(image.data(), uint32_t(image.size()), 0);
        }
    };
    EXPECT_EQ(send(), int(c.wantFirst));
    EXPECT_EQ(send(), 0);
}

INSTANTIATE_TEST_SUITE_P(Knobs, WriterTransferKnobTest,
                         ::testing::Values(KnobCase{"RefuseApp", WriterComponent::App, false, kSimStatusRefused},
                                           KnobCase{"CorruptApp", WriterComponent::App, true, kSimStatusChecksum},
                                           KnobCase{"RefuseBoot", WriterComponent::Boot, false, kSimStatusRefused},
                                           KnobCase{"CorruptBoot", WriterComponent::Boot, true, kSimStatusChecksum},
                                           KnobCase{"RefuseXLoader", WriterComponent::XLoader, false,
                                                    kSimStatusRefused},
                                           KnobCase{"CorruptXLoader", WriterComponent::XLoader, true,
                                                    kSimStatusChecksum}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(WriterXLoader, FailedTransferLeavesTheOldXLoader) {
    WriterSettings s;
    s.knob(WriterComponent::XLoader).corrupt = kForever;
    WriterFixture f(s);
    const std::vector<uint8_t> before = f.writer.storage().FindRegion(kRegionXLoader)->bytes;
    const auto image = Pattern(1000);
    EXPECT_EQ(f.device.ProgramXLoader(image.data(), 1000, 0), int(kSimStatusChecksum));
    EXPECT_EQ(f.device.ProgramXLoader(image.data(), 1000, 0), int(kSimStatusChecksum));
    EXPECT_EQ(f.writer.storage().FindRegion(kRegionXLoader)->bytes, before);
}

}  // namespace
}  // namespace brevant
