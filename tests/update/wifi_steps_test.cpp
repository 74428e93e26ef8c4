// The WiFi steps on their own: compare, program, compare, at most two passes, the blocks
// they move, and how they treat a region that is missing, unreadable or refuses writes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/update/run_fixture.h"

namespace brevant::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint32_t kWifiAppImage = 190;
constexpr uint32_t kWifiNvsImage = 191;

// The twins differ only in their region, image and texts.
struct Twin {
    const char* name;
    int (UpdateEngine::*step)();
    uint32_t region;
    uint32_t image;
    uint32_t regionStart;
    uint32_t regionSize;
    const char* checking;
    const char* loading;
    const char* failure;
    const char* readingLog;
    const char* sendingLog;
    const char* checkingStatus;
    const char* sendingStatus;
    WriterComponent component;
};

const Twin kTwins[] = {
    {"App", &UpdateEngine::UpdateWifiApp, kRegionWifiApp, kWifiAppImage, kSimWifiAppStart, kSimWifiAppSize,
     "Checking WiFi App...", "Loading WiFi App...", "Failure to load WiFi App.",
     "Reading WiFi App. from Brevant/Brevant II...", "Sending WiFi App. to Brevant/Brevant II...",
     "\n\nChecking WiFi App. from Brevant/Brevant II...", "\n\nSending WiFi App. to Brevant/Brevant II...",
     WriterComponent::WifiApp},
    {"Nvs", &UpdateEngine::UpdateWifiNvs, kRegionWifiNvs, kWifiNvsImage, kSimWifiNvsStart, kSimWifiNvsSize,
     "Checking WiFi NVS...", "Loading WiFi NVS...", "Failure to load WiFi NVS.",
     "Reading WiFi NVS. from Brevant/Brevant II...", "Sending WiFi NVS. to Brevant/Brevant II...",
     "\n\nChecking WiFi NVS. from Brevant/Brevant II...", "\n\nSending WiFi NVS. to Brevant/Brevant II...",
     WriterComponent::WifiNvs},
};

class WifiStepTest : public RunFixture, public ::testing::WithParamInterface<Twin> {
protected:
    int Step() { return (engine.get()->*GetParam().step)(); }
    const std::vector<uint8_t>& Image() const { return BuiltInImage(GetParam().image); }
    const Region& TheRegion() const { return *writer->storage().FindRegion(GetParam().region); }
    std::vector<const SimRequest*> Requests(const char* name) const {
        std::vector<const SimRequest*> found;
        for (const SimRequest& r : writer->transcript()) {
            if (CommandName(r) == name) found.push_back(&r);
        }
        return found;
    }
};

TEST_P(WifiStepTest, RegionDifferingOnceIsProgrammedAndVerified) {
    Identify();
    EXPECT_EQ(Step(), 0);
    const Twin& t = GetParam();
    EXPECT_EQ(RegionStart(t.region, Image().size()), Image());
    EXPECT_THAT(writer->storage().textHistory, ElementsAre(t.checking, t.loading, t.checking));
    EXPECT_THAT(log.lines, ElementsAre(t.readingLog, t.sendingLog, t.readingLog));
    EXPECT_THAT(ui.statusTexts, ElementsAre(t.checkingStatus, t.sendingStatus, t.checkingStatus));
    // Two queries per pass plus one for the final check; the prepare takes the region's size.
    EXPECT_EQ(Requests("REGION_QUERY").size(), 3u);
    ASSERT_EQ(Requests("REGION_PREPARE").size(), 1u);
    EXPECT_EQ(Requests("REGION_PREPARE")[0]->header.params[0], t.regionStart);
    EXPECT_EQ(Requests("REGION_PREPARE")[0]->header.params[1], (t.regionSize + 0x1FFFF) & 0xFFFE0000u);
    // Blocks of the chunk size, the last one carrying the rest.
    const std::vector<const SimRequest*> writes = Requests("REGION_WRITE");
    const size_t n = Image().size();
    ASSERT_EQ(writes.size(), (n + 65535) / 65536);
    for (size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i]->header.params[0], t.regionStart + 65536u * uint32_t(i));
        EXPECT_EQ(writes[i]->header.params[1], i + 1 < writes.size() ? 65536u : uint32_t(n - 65536 * i));
    }
    EXPECT_THAT(clock.sleeps(), IsEmpty());
    EXPECT_EQ(ui.progress.back(), n);
}

TEST_P(WifiStepTest, RegionEqualToTheImageIsOnlyRead) {
    Start();
    ASSERT_TRUE(writer->LoadRegion(GetParam().region, Image()));
    Identify();
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(Requests("REGION_QUERY").size(), 1u);
    EXPECT_THAT(Requests("REGION_WRITE"), IsEmpty());
    EXPECT_EQ(writer->storage().displayText, GetParam().checking);
}

TEST_P(WifiStepTest, RegionThatNeverTakesTheImageFailsWithResult6) {
    WriterSettings settings;
    settings.knob(GetParam().component).refuse = kForever;
    Start(settings);
    Identify();
    EXPECT_EQ(Step(), 6);
    const Twin& t = GetParam();
    EXPECT_THAT(writer->storage().textHistory,
                ElementsAre(t.checking, t.loading, t.checking, t.loading, t.checking, t.failure));
    EXPECT_THAT(ui.errorTexts(), ElementsAre("Unable to program your writer.  Check if a job is open."));
    EXPECT_EQ(log.lines.back(), "Unable to program your writer.  Check if a job is open.");
    EXPECT_EQ(Requests("REGION_PREPARE").size(), 2u);
    EXPECT_EQ(Requests("REGION_WRITE").size(), 2u);  // each pass broke off at its first block
}

TEST_P(WifiStepTest, MissingRegionEndsTheStepAfterTheCheckingTexts) {
    Identify();
    writer->FailCommand(CMD_REGION_QUERY, Fault{FaultKind::OtherCode, 0x0042, {}});
    EXPECT_EQ(Step(), 0);
    EXPECT_THAT(Exchanges(), ElementsAre("SHOW_TEXT", "REGION_QUERY"));
    EXPECT_THAT(log.lines, ElementsAre(GetParam().readingLog));
    EXPECT_THAT(ui.boxes, IsEmpty());
}

TEST_P(WifiStepTest, FailedReadBackIsNeverTakenAsEqual) {
    // The region holds the image, but the first read-back breaks off: the step cannot know,
    // so it programs and verifies rather than trusting what it did not read.
    Start();
    ASSERT_TRUE(writer->LoadRegion(GetParam().region, Image()));
    Identify();
    writer->FailCommand(CMD_READ_REGION, Fault{FaultKind::OtherCode, 0x0042, {}});
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(TheRegion().prepareCount, 1u);
    EXPECT_EQ(RegionStart(GetParam().region, Image().size()), Image());
    EXPECT_THAT(ui.boxes, IsEmpty());
}

TEST_P(WifiStepTest, LinkLostDuringProgrammingEndsTheStepQuietly) {
    Identify();
    writer->FailCommand(CMD_REGION_WRITE, Fault{FaultKind::NoAnswer, 0, {}});
    EXPECT_EQ(Step(), 0);
    EXPECT_THAT(ui.boxes, IsEmpty());
    EXPECT_EQ(Exchanges().back(), "REGION_WRITE");
    EXPECT_FALSE(engine->device().IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Twins, WifiStepTest, ::testing::ValuesIn(kTwins),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(WifiStepsTest, Type20SendsNothing) {
    VirtualClock clock;
    WriterSettings settings;
    settings.machineType = 20;
    VirtualWriter writer(clock, settings);
    RecordingUi ui;
    RecordingLog log;
    UpdateEngine engine(writer, ui, clock, log, kTitle, kWelcome);
    ASSERT_EQ(engine.device().Open(), 0);
    ASSERT_EQ(engine.device().GetMachineInfo(nullptr, nullptr, nullptr, nullptr), 0);
    writer.ClearTranscript();
    EXPECT_EQ(engine.UpdateWifiApp(), 0);
    EXPECT_EQ(engine.UpdateWifiNvs(), 0);
    EXPECT_THAT(writer.transcript(), IsEmpty());
    EXPECT_THAT(ui.statusTexts, IsEmpty());
}

}  // namespace
}  // namespace brevant::testing
