// The read-only check against the virtual writer: what it reports for writers that need
// everything, nothing, or cannot be updated, and that it never sends anything that changes
// the writer.

#include "update/update_check.h"

#include <gtest/gtest.h>

#include "images/image_resources.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_writer.h"

namespace brevant {
namespace {

// Anything that programs, prepares, writes, sets the clock, changes the programming mode,
// shows a text or announces an image.
bool Changes(const SimRequest& r) {
    switch (r.header.code) {
        case CMD_PROGRAM_APP:
        case CMD_PROGRAM_BOOT:
        case CMD_PROGRAM_XLOADER:
        case CMD_PROGRAM_MODE:
        case CMD_REGION_PREPARE:
        case CMD_REGION_WRITE:
        case CMD_IMAGE_CRC:
        case CMD_SHOW_TEXT:
            return true;
        case CMD_CLOCK:
            return r.header.params[1] != 0;
        case CMD_SENSOR_BOARD:
            return r.header.params[0] != 0x18 && r.header.params[0] != 0x19;
        default:
            return false;
    }
}

class UpdateCheckTest : public ::testing::Test {
protected:
    CheckReport Check() {
        UpdateCheck check(writer_, clock_);
        CheckReport report = check.Run();
        for (const SimRequest& r : writer_.transcript()) EXPECT_FALSE(Changes(r)) << "sent code " << r.header.code;
        EXPECT_EQ(writer_.storage().restarts, 0u);
        EXPECT_FALSE(writer_.IsOpen());
        return report;
    }
    const ComponentCheck& Find(const CheckReport& report, ComponentId id) {
        for (const ComponentCheck& c : report.components) {
            if (c.id == id) return c;
        }
        static ComponentCheck none;
        ADD_FAILURE() << "no " << ComponentName(id);
        return none;
    }
    void LoadRegionWithImage(uint32_t region, uint32_t resource) {
        LoadedImage image = LoadImageResource(resource, kImageSlack);
        ASSERT_TRUE(image.ok());
        ASSERT_TRUE(writer_.LoadRegion(region, std::vector<uint8_t>(image.bytes.get(), image.bytes.get() + image.length)));
    }

    VirtualClock clock_;
    VirtualWriter writer_{clock_};
};

TEST_F(UpdateCheckTest, WriterOlderInEveryComponentNeedsEverything) {
    const CheckReport report = Check();
    ASSERT_EQ(report.outcome, CheckOutcome::Checked);
    EXPECT_EQ(report.machineType, 19u);
    EXPECT_TRUE(report.admitted);
    EXPECT_TRUE(report.stopReason.empty());
    ASSERT_EQ(report.components.size(), size_t(kCheckedComponentCount));
    for (const ComponentCheck& c : report.components) {
        EXPECT_EQ(c.verdict, CheckVerdict::WouldUpdate) << c.name << ": " << c.reason;
        EXPECT_TRUE(c.reached);
    }
    EXPECT_TRUE(report.WouldUpdateAnything());
    EXPECT_NE(Find(report, ComponentId::XLoader).writer.find("X-Loader 5.00"), std::string::npos);
    EXPECT_NE(Find(report, ComponentId::KeyboardScanner).writer.find("checksum 0x"), std::string::npos);
}

TEST_F(UpdateCheckTest, WriterLikeTheBuiltInImagesNeedsOnlyTheApplication) {
    const MachineDescriptor& d = DescriptorFor(19);
    auto& s = writer_.settings();
    s.appVersion = d.appImageVersion;
    s.appBuild = d.appImageBuild;
    s.mainBootVersion = d.bootImageVersion;
    s.mainBootBuild = d.bootImageBuild;
    s.scannerVersion = d.keyboardScannerVersion;
    LoadRegionWithImage(kRegionXLoader, d.xLoaderResourceId);
    LoadRegionWithImage(kRegionWifiApp, d.wifiAppResourceId);
    LoadRegionWithImage(kRegionWifiNvs, d.wifiNvsResourceId);

    const CheckReport report = Check();
    ASSERT_EQ(report.outcome, CheckOutcome::Checked);
    EXPECT_FALSE(report.asksBeforeDowngrade);
    EXPECT_FALSE(report.earlyUpdate);
    for (const ComponentCheck& c : report.components) {
        // The application step has no version test: a run always sends it again.
        const CheckVerdict expected = c.id == ComponentId::Application ? CheckVerdict::Resend : CheckVerdict::UpToDate;
        EXPECT_EQ(c.verdict, expected) << c.name << ": " << c.reason;
    }
    EXPECT_FALSE(report.WouldUpdateAnything());
    // An up-to-date scanner version means the run never asks the scanner.
    for (const SimRequest& r : writer_.transcript()) EXPECT_NE(r.header.code, CMD_SENSOR_BOARD);
}

TEST_F(UpdateCheckTest, OpenFileStopsTheRunBeforeAnyComponent) {
    writer_.settings().fileOpen = true;
    const CheckReport report = Check();
    EXPECT_TRUE(report.fileOpen);
    EXPECT_NE(report.stopReason.find("a file is open"), std::string::npos);
    for (const ComponentCheck& c : report.components) EXPECT_FALSE(c.reached) << c.name;
    EXPECT_FALSE(report.WouldUpdateAnything());
    EXPECT_EQ(writer_.storage().fileReleases, 1u);  // as the run does after finding it open
}

TEST_F(UpdateCheckTest, RefusedMachineTypeIsNotLookedAtFurther) {
    writer_.settings().machineType = 17;
    const CheckReport report = Check();
    ASSERT_EQ(report.outcome, CheckOutcome::Checked);
    EXPECT_FALSE(report.admitted);
    EXPECT_STREQ(report.machineName, "Rilo");
    EXPECT_TRUE(report.components.empty());
    EXPECT_NE(report.stopReason.find("machine type 17 (Rilo)"), std::string::npos);
    EXPECT_EQ(writer_.transcript().size(), 1u);
}

TEST_F(UpdateCheckTest, BootModeCountsTheBootCodeAsTheRunDoes) {
    writer_.settings().bootFlag = 1;
    writer_.settings().mainBootVersion = 0x01000000;  // what a writer in boot mode reports
    writer_.settings().mainBootBuild = 36000;
    const CheckReport report = Check();
    ASSERT_EQ(report.outcome, CheckOutcome::Checked);
    EXPECT_EQ(report.identity.mainBootBuild, 36000u);
    EXPECT_EQ(report.identity.appBuild, 0u);
    // The run replaces the reported version by the descriptor's boot-mode one (0): always sent.
    EXPECT_EQ(Find(report, ComponentId::BootCode).verdict, CheckVerdict::WouldUpdate);
    EXPECT_FALSE(report.earlyUpdate);  // main boot build 36000 is not below 35673
}

TEST_F(UpdateCheckTest, FailedReadBackLeavesTheComponentUndecided) {
    writer_.FailCommand(CMD_READ_REGION, Fault{FaultKind::Status, 0x87, {}}, kForever);
    const CheckReport report = Check();
    const ComponentCheck& x = Find(report, ComponentId::XLoader);
    EXPECT_EQ(x.verdict, CheckVerdict::Unknown);
    EXPECT_NE(x.reason.find("Failed to read x-Loader Image!"), std::string::npos) << x.reason;
    EXPECT_TRUE(report.WouldUpdateAnything());
}

TEST_F(UpdateCheckTest, WriterThatStopsAnsweringLeavesTheRestUndecided) {
    writer_.FailCommand(CMD_SENSOR_BOARD, Fault{FaultKind::NoAnswer, 0, {}});
    const CheckReport report = Check();
    EXPECT_TRUE(report.linkLost);
    for (const ComponentCheck& c : report.components) {
        if (c.id == ComponentId::BootCode || c.id == ComponentId::Application) continue;  // decided by identification
        EXPECT_EQ(c.verdict, CheckVerdict::Unknown) << c.name << ": " << c.reason;
    }
}

TEST_F(UpdateCheckTest, NoWriterAndNoAnswerAreTheirOwnOutcomes) {
    writer_.Unplug();
    EXPECT_EQ(Check().outcome, CheckOutcome::NoWriter);
    writer_.Plug();
    writer_.FailCommand(CMD_MACHINE_INFO, Fault{FaultKind::NoAnswer, 0, {}});
    const CheckReport report = Check();
    EXPECT_EQ(report.outcome, CheckOutcome::NotAnswering);
    EXPECT_EQ(report.identifyResult, 111);
}

TEST(VersionText, ReleaseAndBetaForms) {
    EXPECT_EQ(VersionText(0x02000000), "2.00.00");
    EXPECT_EQ(VersionText(0x0109030A), "1.09.03 Beta A");
}

}  // namespace
}  // namespace brevant
