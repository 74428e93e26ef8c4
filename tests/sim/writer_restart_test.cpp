// Restarts: the link drops after the echo, the writer is away for a while on the injected
// clock, and comes back running what its storage holds.

#include <gtest/gtest.h>

#include "tests/sim/sim_support.h"

namespace brevant {
namespace {

using simtest::CrcOf;
using simtest::Firmware;
using simtest::WriterFixture;

WriterSettings RestartAfter(uint32_t seconds) {
    WriterSettings s;
    s.restartSeconds = seconds;
    return s;
}

// Opens once a second, the way the restart step does; returns the attempts it took (0: never).
int ReopenEverySecond(WriterFixture& f, int attempts) {
    for (int i = 1; i <= attempts; ++i) {
        f.clock.Sleep(1000);
        if (f.device.Open() == 0 && f.device.IsOpen()) return i;
    }
    return 0;
}

TEST(WriterRestart, EchoesThenDropsTheLinkAndIsAwayForItsTime) {
    WriterFixture f(RestartAfter(3));
    ASSERT_TRUE(f.device.SetProgramMode(0));
    EXPECT_TRUE(f.writer.away());
    // The host's handle is still open, but nothing gets through.
    EXPECT_TRUE(f.device.IsOpen());
    const size_t before = f.writer.transcript().size();
    EXPECT_FALSE(f.device.ShowText(nullptr));
    EXPECT_EQ(f.writer.transcript().size(), before);
    EXPECT_FALSE(f.device.IsOpen());
    EXPECT_EQ(f.writer.Open(), kErrorNoWriter);
    EXPECT_EQ(ReopenEverySecond(f, 15), 3);
    EXPECT_EQ(f.device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(f.writer.storage().restarts, 1u);
}

TEST(WriterRestart, ZeroSecondsComesBackAtOnce) {
    WriterFixture f(RestartAfter(0));
    ASSERT_TRUE(f.device.SetProgramMode(0));
    f.device.Close();
    EXPECT_EQ(f.device.Open(), 0);
    EXPECT_TRUE(f.device.ShowText(nullptr));
}

TEST(WriterRestart, StayAwayNeverComesBackUntilPluggedIn) {
    WriterSettings s = RestartAfter(1);
    s.stayAway = true;
    WriterFixture f(s);
    ASSERT_TRUE(f.device.SetProgramMode(0));
    f.device.Close();
    EXPECT_EQ(ReopenEverySecond(f, 15), 0);
    f.writer.Plug();
    EXPECT_EQ(f.device.Open(), 0);
}

TEST(WriterRestart, OtherModesAndRefusalsDoNotRestart) {
    WriterFixture f;
    EXPECT_TRUE(f.device.SetProgramMode(1));
    EXPECT_FALSE(f.writer.away());
    f.writer.settings().realtime = true;
    EXPECT_FALSE(f.device.SetProgramMode(0));
    EXPECT_FALSE(f.writer.away());
    f.writer.settings().realtime = false;
    f.writer.FailCommand(CMD_PROGRAM_MODE, Fault{FaultKind::Status, 9, {}});
    EXPECT_FALSE(f.device.SetProgramMode(0));
    EXPECT_FALSE(f.writer.away());
}

TEST(WriterRestart, UnansweredModeCommandStillRestarts) {
    WriterFixture f(RestartAfter(2));
    f.writer.FailCommand(CMD_PROGRAM_MODE, Fault{FaultKind::NoAnswer, 0, {}});
    EXPECT_FALSE(f.device.SetProgramMode(0));
    EXPECT_TRUE(f.writer.away());
    EXPECT_EQ(ReopenEverySecond(f, 15), 2);
}

TEST(WriterRestart, NewApplicationRunsAfterTheRestart) {
    WriterFixture f(RestartAfter(0));
    const auto image = Firmware(5000, 0x02000100, 35675);
    f.device.SendImageCrc(CrcOf(image));
    ASSERT_EQ(f.device.ProgramApplication(image.data(), 5000, 19), 0);
    uint32_t version = 0, boot = 9, build = 0;
    f.device.GetMachineInfo(nullptr, &version, &boot, &build);
    EXPECT_EQ(version, WriterSettings{}.appVersion);  // still the old one

    f.device.SetProgramMode(0);
    f.device.Close();
    ASSERT_EQ(f.device.Open(), 0);
    ASSERT_EQ(f.device.GetMachineInfo(nullptr, &version, &boot, &build), 0);
    EXPECT_EQ(version, 0x02000100u);
    EXPECT_EQ(build, 35675u);
    EXPECT_EQ(boot, 0u);
}

TEST(WriterRestart, WithoutAValidApplicationItRunsItsBootCode) {
    WriterFixture f(RestartAfter(0));
    const auto bootImage = Firmware(4000, 0x01000000, 35673);
    ASSERT_EQ(f.device.ProgramBootCode(bootImage.data(), 4000, 0), 0);
    // An application transfer that dies half-way leaves the storage erased.
    f.writer.settings().knob(WriterComponent::App).refuse = 0;
    const auto app = Firmware(100000, 0x02000000, 35675);
    f.device.SendImageCrc(CrcOf(app) ^ 0x10);
    EXPECT_EQ(f.device.ProgramApplication(app.data(), 100000, 19), int(kSimStatusChecksum));
    EXPECT_EQ(f.writer.storage().app.state, FirmwareState::Invalid);

    f.device.SetProgramMode(0);
    f.device.Close();
    ASSERT_EQ(f.device.Open(), 0);
    uint32_t version = 0, boot = 0, build = 0;
    ASSERT_EQ(f.device.GetMachineInfo(nullptr, &version, &boot, &build), 0);
    EXPECT_EQ(boot, 1u);
    EXPECT_EQ(version, 0x01000000u);
    EXPECT_EQ(build, 35673u);
}

TEST(WriterRestart, BootModeWriterComesBackInBootModeUntilItGetsAnApplication) {
    WriterSettings s = RestartAfter(0);
    s.bootFlag = 1;
    WriterFixture f(s);
    f.device.SetProgramMode(0);
    f.device.Close();
    ASSERT_EQ(f.device.Open(), 0);
    uint32_t boot = 0;
    f.device.GetMachineInfo(nullptr, nullptr, &boot, nullptr);
    EXPECT_EQ(boot, 1u);

    const auto app = Firmware(2000, 0x02000000, 35675);
    f.device.SendImageCrc(CrcOf(app));
    ASSERT_EQ(f.device.ProgramApplication(app.data(), 2000, 19), 0);
    f.device.SetProgramMode(0);
    f.device.Close();
    ASSERT_EQ(f.device.Open(), 0);
    uint32_t version = 0;
    f.device.GetMachineInfo(nullptr, &version, &boot, nullptr);
    EXPECT_EQ(boot, 0u);
    EXPECT_EQ(version, 0x02000000u);
}

TEST(WriterRestart, NeitherApplicationNorBootCodeMeansItNeverComesBack) {
    WriterSettings s = RestartAfter(0);
    s.bootFlag = 1;
    WriterFixture f(s);
    const auto image = Firmware(2000, 1, 1);
    f.device.SendImageCrc(0);  // wrong on purpose: the boot transfer announces its own
    f.writer.settings().knob(WriterComponent::Boot).corrupt = 1;
    EXPECT_EQ(f.device.ProgramBootCode(image.data(), 2000, 0), int(kSimStatusChecksum));
    f.device.SetProgramMode(0);
    f.device.Close();
    EXPECT_EQ(ReopenEverySecond(f, 15), 0);
}

TEST(WriterRestart, PreparedRegionsAndScannerModeDoNotSurvive) {
    WriterFixture f(RestartAfter(0));
    ASSERT_TRUE(f.device.PrepareRegion(kSimWifiNvsStart, kSimWifiNvsSize, nullptr));
    uint8_t enter = 0;
    f.device.SensorBoardExchange(0x18, &enter, 1, nullptr, 0, nullptr);
    f.device.SetProgramMode(0);
    f.device.Close();
    ASSERT_EQ(f.device.Open(), 0);
    EXPECT_FALSE(f.writer.storage().FindRegion(kRegionWifiNvs)->prepared);
    EXPECT_FALSE(f.writer.storage().scanner.programmingMode);
    const uint8_t block[32] = {};
    EXPECT_FALSE(f.device.WriteRegion(block, kSimWifiNvsStart, 32));
}

}  // namespace
}  // namespace brevant
