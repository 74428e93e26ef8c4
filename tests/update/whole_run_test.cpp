// Whole update runs against the virtual writer in virtual time: what is exchanged, in
// order, what the person, the writer's display and the log are told, the pauses, the run
// flags and what the writer holds afterwards.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/update/run_fixture.h"

namespace brevant::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr uint32_t kAppImage = 169;
constexpr uint32_t kBootImage = 170;
constexpr uint32_t kXLoaderImage = 189;
constexpr uint32_t kWifiAppImage = 190;
constexpr uint32_t kWifiNvsImage = 191;

using Names = std::vector<std::string>;

// "NAME xN" for the blocks a 64 KiB-chunked transfer of the image takes.
std::string Chunks(const char* name, uint32_t image) {
    const size_t blocks = (BuiltInImage(image).size() + 65535) / 65536;
    return blocks == 1 ? std::string(name) : std::string(name) + " x" + std::to_string(blocks);
}

Names Join(std::initializer_list<Names> parts) {
    Names all;
    for (const Names& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Names kIdentify = {"MACHINE_INFO", "BOOT_VERSIONS", "FILE_CHECK", "CLOCK_READ"};
const Names kScannerProgrammed = {"SHOW_TEXT",        "SENSOR_ENTER",    "SENSOR_CHECKSUM", "SENSOR_ENTER",
                                  "SENSOR_WRITE x70", "SENSOR_CHECKSUM", "SENSOR_LEAVE"};

Names WifiProgrammed(uint32_t image) {
    const std::string reads = Chunks("READ_REGION", image);
    return {"SHOW_TEXT",     "REGION_QUERY", reads, "SHOW_TEXT", "REGION_QUERY", "REGION_PREPARE",
            Chunks("REGION_WRITE", image), "SHOW_TEXT", "REGION_QUERY", reads};
}
Names WifiEqual(uint32_t image) { return {"SHOW_TEXT", "REGION_QUERY", Chunks("READ_REGION", image)}; }
Names XLoaderProgrammed() {
    return {"SHOW_TEXT", "REGION_QUERY", "READ_REGION", "IMAGE_CRC", "PROGRAM_XLOADER", "PROBE"};
}
Names BootProgrammed() { return {"BOOT_VERSIONS", "SHOW_TEXT", "IMAGE_CRC", Chunks("PROGRAM_BOOT", kBootImage)}; }
Names BootProgrammedInBootMode() { return {"SHOW_TEXT", "IMAGE_CRC", Chunks("PROGRAM_BOOT", kBootImage)}; }
Names AppProgrammed() { return {"IMAGE_CRC", "SHOW_TEXT", Chunks("PROGRAM_APP", kAppImage)}; }
const Names kRestart = {"PROGRAM_MODE", "MACHINE_INFO", "PROBE"};

// Log lines of the steps that program each component, for the Brevant (type 19).
const Names kWifiLog = {
    "Reading WiFi App. from Brevant/Brevant II...", "Sending WiFi App. to Brevant/Brevant II...",
    "Reading WiFi App. from Brevant/Brevant II...", "Reading WiFi NVS. from Brevant/Brevant II...",
    "Sending WiFi NVS. to Brevant/Brevant II...",   "Reading WiFi NVS. from Brevant/Brevant II...",
};
const Names kXLoaderLog = {"Old X-Loader 5.00 (, programming X-Loader 6.00 (",
                           "Sending XLoader Brevant/Brevant II..."};
const char* const kBootLog = "Sending boot code version 1.00.00 Build 35673 to Brevant/Brevant II...";
const char* const kAppLog = "Sending software version 2.00.00 Build 35675 to Brevant/Brevant II...";
const char* const kSuccessLog = "Successfully updated the Brevant/Brevant II.";

class WholeRunTest : public RunFixture {
protected:
    void ExpectWriterHoldsEveryImage() const {
        const WriterStorage& s = writer->storage();
        EXPECT_EQ(s.app.state, FirmwareState::Programmed);
        EXPECT_EQ(s.app.image, BuiltInImage(kAppImage));
        EXPECT_EQ(s.boot.state, FirmwareState::Programmed);
        EXPECT_EQ(s.boot.image, BuiltInImage(kBootImage));
        EXPECT_EQ(RegionStart(kRegionXLoader, BuiltInImage(kXLoaderImage).size()), BuiltInImage(kXLoaderImage));
        EXPECT_EQ(RegionStart(kRegionWifiApp, BuiltInImage(kWifiAppImage).size()), BuiltInImage(kWifiAppImage));
        EXPECT_EQ(RegionStart(kRegionWifiNvs, BuiltInImage(kWifiNvsImage).size()), BuiltInImage(kWifiNvsImage));
    }
    void ExpectSucceeded(const char* machineName) {
        const std::string success = std::string("Successfully updated the ") + machineName + ".";
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, success + "\n           Click OK to Exit.");
        EXPECT_EQ(ui.boxes[0].caption, kTitle);
        EXPECT_EQ(ui.boxes[0].icon, BoxIcon::Information);
        ASSERT_GE(ui.statusTexts.size(), 2u);
        EXPECT_EQ(ui.statusTexts[ui.statusTexts.size() - 2], std::string("\n\n\n\n\n\n") + machineName + " Updated.");
        EXPECT_EQ(ui.statusTexts.back(), kWelcome);
        ASSERT_GE(log.lines.size(), 2u);
        EXPECT_EQ(log.lines[log.lines.size() - 2], success);
        EXPECT_EQ(log.lines.back(), "<exit>");
        EXPECT_FALSE(engine->flags().restartPending);
        EXPECT_FALSE(writer->IsOpen() && engine->device().IsOpen());
    }
};

TEST_F(WholeRunTest, Type19NeedingEveryComponentGetsEachOneInOrder) {
    Start();
    ASSERT_EQ(Run(), RunOutcome::Updated);

    EXPECT_THAT(Exchanges(), ElementsAreArray(Join({kIdentify, kScannerProgrammed, WifiProgrammed(kWifiAppImage),
                                                   WifiProgrammed(kWifiNvsImage), XLoaderProgrammed(),
                                                   BootProgrammed(), AppProgrammed(), {"PROGRAM_MODE"}})));
    EXPECT_THAT(writer->storage().textHistory,
                ElementsAre("Updating Keyboard Scanner", "Checking WiFi App...", "Loading WiFi App...",
                            "Checking WiFi App...", "Checking WiFi NVS...", "Loading WiFi NVS...",
                            "Checking WiFi NVS...", "Updating X-Loader", "Programming Boot Code",
                            "Programming Application Code"));
    EXPECT_THAT(ui.statusTexts,
                ElementsAre("\n\nSending Sensor Board Code to Brevant/Brevant II...",
                            "\n\nChecking WiFi App. from Brevant/Brevant II...",
                            "\n\nSending WiFi App. to Brevant/Brevant II...",
                            "\n\nChecking WiFi App. from Brevant/Brevant II...",
                            "\n\nChecking WiFi NVS. from Brevant/Brevant II...",
                            "\n\nSending WiFi NVS. to Brevant/Brevant II...",
                            "\n\nChecking WiFi NVS. from Brevant/Brevant II...", "\n\nChecking XLoader...",
                            "\n\nSending XLoader Brevant/Brevant II...", std::string("\n\n") + kBootLog,
                            "\n\nSending Build 35675 to Brevant/Brevant II...",
                            "\n\n\n\n\n\nBrevant/Brevant II Updated.", kWelcome));
    EXPECT_THAT(log.lines, ElementsAreArray(Join({
                               {"<header>", "USB found Brevant/Brevant II(19), App. Ver. 1.09.00, Build 35000\n",
                                "USB found Brevant/Brevant II(19), Main Boot Ver. 0.09.00, Build 35000\n",
                                "USB found Brevant/Brevant II(19), Secondary Boot Ver. 0.09.00, Build 35000\n",
                                "Sending KeySensor Board Code to Brevant/Brevant II..."},
                               kWifiLog,
                               kXLoaderLog,
                               {kBootLog, kAppLog, kSuccessLog, "<exit>"},
                           })));
    // The scanner's pacing, then the pauses around closing the link after the success box.
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("100 x71", "200", "100 x2"));
    ExpectSucceeded(kBrevant);
    EXPECT_TRUE(engine->flags().xLoaderDone);
    EXPECT_TRUE(engine->flags().bootCodeDone);
    EXPECT_TRUE(engine->flags().applicationDone);
    ExpectWriterHoldsEveryImage();
    // The run's last command restarted the writer into what it was sent.
    EXPECT_EQ(writer->settings().appVersion, 0x02000000u);
    EXPECT_EQ(writer->settings().appBuild, 35675u);
    EXPECT_EQ(writer->settings().scannerVersion, 14760u);
    EXPECT_EQ(writer->storage().scanner.writesTaken, 70u);
}

TEST_F(WholeRunTest, WriterNeedingNothingIsOnlyReadApartFromTheApplication) {
    Start(CurrentWriterSettings());
    PreloadRegionsWithImages();
    ASSERT_EQ(Run(), RunOutcome::Updated);

    // The application step has no version test: once reached it always sends.
    EXPECT_THAT(Exchanges(),
                ElementsAreArray(Join({kIdentify, WifiEqual(kWifiAppImage), WifiEqual(kWifiNvsImage),
                                       {"SHOW_TEXT", "REGION_QUERY", "READ_REGION", "PROBE", "BOOT_VERSIONS"},
                                       AppProgrammed(), {"PROGRAM_MODE"}})));
    EXPECT_THAT(log.lines,
                ElementsAre("<header>", "USB found Brevant/Brevant II(19), App. Ver. 2.00.00, Build 35675\n",
                            "USB found Brevant/Brevant II(19), Main Boot Ver. 1.00.00, Build 35673\n",
                            "USB found Brevant/Brevant II(19), Secondary Boot Ver. 1.00.00, Build 35673\n",
                            "Reading WiFi App. from Brevant/Brevant II...",
                            "Reading WiFi NVS. from Brevant/Brevant II...", kAppLog, kSuccessLog, "<exit>"));
    EXPECT_THAT(writer->storage().textHistory, ElementsAre("Checking WiFi App...", "Checking WiFi NVS...",
                                                           "Updating X-Loader", "Programming Application Code"));
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("100 x2"));
    ExpectSucceeded(kBrevant);
    const WriterStorage& s = writer->storage();
    for (const Region& r : s.regions) {
        EXPECT_EQ(r.prepareCount, 0u) << "region " << r.id;
        EXPECT_EQ(r.writeCount, 0u) << "region " << r.id;
    }
    EXPECT_EQ(s.boot.transfersCompleted, 0u);
    EXPECT_EQ(s.xLoaderTransfer.chunksTaken, 0u);
    EXPECT_EQ(s.scanner.writesTaken, 0u);
    EXPECT_EQ(s.clockSets, 0u);
    EXPECT_TRUE(engine->flags().xLoaderDone);
    EXPECT_FALSE(engine->flags().bootCodeDone);  // up to date is not "sent"
}

TEST_F(WholeRunTest, Type20HasNoWifiSteps) {
    WriterSettings settings;
    settings.machineType = 20;
    Start(settings);
    ASSERT_EQ(Run(), RunOutcome::Updated);

    EXPECT_THAT(Exchanges(), ElementsAreArray(Join({kIdentify, kScannerProgrammed, XLoaderProgrammed(),
                                                   BootProgrammed(), AppProgrammed(), {"PROGRAM_MODE"}})));
    for (const std::string& line : log.lines) EXPECT_EQ(line.find("WiFi"), std::string::npos) << line;
    ExpectSucceeded("Brevant Captioner/Student");
    EXPECT_EQ(writer->storage().FindRegion(kRegionWifiApp)->prepareCount, 0u);
}

TEST_F(WholeRunTest, Type18KeepsItsBootCodeAndAsksBeforeItsZeroVersionApplication) {
    WriterSettings settings;
    settings.machineType = 18;
    Start(settings);
    ui.answers = {true};
    ASSERT_EQ(Run(), RunOutcome::Updated);

    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].caption, "Warning");
    EXPECT_THAT(Exchanges(),
                ElementsAreArray(Join({kIdentify, kScannerProgrammed, WifiProgrammed(kWifiAppImage),
                                       WifiProgrammed(kWifiNvsImage), XLoaderProgrammed(),
                                       {"BOOT_VERSIONS"}, AppProgrammed(), {"PROGRAM_MODE"}})));
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), "Sending software version 0.00.00 Build 0 to Quintar Diag..."),
              log.lines.end());
    EXPECT_NE(std::find(ui.statusTexts.begin(), ui.statusTexts.end(), "\n\nSending Build 0 to Quintar Diag..."),
              ui.statusTexts.end());
    ExpectSucceeded("Quintar Diag");
    EXPECT_EQ(writer->storage().boot.transfersCompleted, 0u);
    EXPECT_FALSE(engine->flags().bootCodeDone);
}

TEST_F(WholeRunTest, WriterInBootModeGetsBootCodeAndApplicationFirstThenRestarts) {
    WriterSettings settings;
    settings.bootFlag = 1;
    Start(settings);
    ASSERT_EQ(Run(), RunOutcome::Updated);

    EXPECT_THAT(Exchanges(),
                ElementsAreArray(Join({{"MACHINE_INFO", "FILE_CHECK", "CLOCK_READ"}, BootProgrammedInBootMode(),
                                       AppProgrammed(), kRestart, kScannerProgrammed, WifiProgrammed(kWifiAppImage),
                                       WifiProgrammed(kWifiNvsImage), XLoaderProgrammed(), {"PROGRAM_MODE"}})));
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[1], "USB found Brevant/Brevant II(19), Boot. Ver. 0.00.00, Build 0\n");
    EXPECT_EQ(log.lines[2], kBootLog);
    EXPECT_EQ(log.lines[3], kAppLog);
    ExpectSucceeded(kBrevant);
    ExpectWriterHoldsEveryImage();
    // After the restart the writer ran its new application, and the later steps saw that.
    EXPECT_EQ(engine->identification().bootMode, 0u);
    EXPECT_EQ(engine->identification().appBuild, 35675u);
}

TEST_F(WholeRunTest, WriterBelowBuild34494GetsEarlyBootCodeAndApplicationThenTheRestart) {
    WriterSettings settings;
    settings.appBuild = 34493;
    Start(settings);
    ASSERT_EQ(Run(), RunOutcome::Updated);

    EXPECT_THAT(Exchanges(),
                ElementsAreArray(Join({kIdentify, BootProgrammed(), AppProgrammed(), kRestart, kScannerProgrammed,
                                       WifiProgrammed(kWifiAppImage), WifiProgrammed(kWifiNvsImage),
                                       XLoaderProgrammed(), {"PROGRAM_MODE"}})));
    // Restart: a second before closing, one per reconnect attempt until the writer is back
    // (three seconds off the bus), one probe; then the scanner and the closing pauses.
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("1000 x3", "500", "100 x71", "200", "100 x2"));
    EXPECT_EQ(writer->openCount(), 2u);
    ExpectSucceeded(kBrevant);
    ExpectWriterHoldsEveryImage();
    EXPECT_EQ(writer->storage().app.transfersCompleted, 1u);  // the done flag spared the second call
    EXPECT_EQ(writer->storage().boot.transfersCompleted, 1u);
    EXPECT_EQ(engine->identification().appBuild, 35675u);
}

TEST_F(WholeRunTest, BuildAtTheThresholdTakesTheRegularSequence) {
    WriterSettings settings;
    settings.appBuild = 34494;
    Start(settings);
    ASSERT_EQ(Run(), RunOutcome::Updated);
    EXPECT_EQ(writer->storage().restarts, 1u);  // only the closing one
    EXPECT_EQ(writer->openCount(), 1u);
}

TEST_F(WholeRunTest, XLoaderTransferFailingOnceIsRetriedAfterARestart) {
    WriterSettings settings;
    settings.knob(WriterComponent::XLoader).refuse = 1;
    Start(settings);
    ASSERT_EQ(Run(), RunOutcome::Updated);

    EXPECT_THAT(Exchanges(),
                ElementsAreArray(Join({kIdentify, kScannerProgrammed, WifiProgrammed(kWifiAppImage),
                                       WifiProgrammed(kWifiNvsImage), XLoaderProgrammed(), BootProgrammed(),
                                       AppProgrammed(), kRestart, XLoaderProgrammed(), {"PROGRAM_MODE"}})));
    // No error box: a refused X-Loader is a reason to restart, not to stop.
    EXPECT_THAT(ui.errorTexts(), IsEmpty());
    ExpectSucceeded(kBrevant);
    ExpectWriterHoldsEveryImage();
    EXPECT_TRUE(engine->flags().xLoaderDone);
}

TEST_F(WholeRunTest, ScannerWhoseFirstChecksumIsWrongIsProgrammedAndVerified) {
    // A scanner that already holds the built-in code, but answers the first checksum wrongly.
    const std::vector<uint8_t>& programmed = ProgrammedScannerMemory();
    WriterSettings settings = CurrentWriterSettings();
    settings.scannerVersion = 14000;
    settings.scannerChecksumWrong = 1;
    Start(settings);
    writer->storage().scanner.memory = programmed;
    PreloadRegionsWithImages();
    ASSERT_EQ(Run(), RunOutcome::Updated);

    EXPECT_THAT(Exchanges(), ElementsAreArray(Join({kIdentify, kScannerProgrammed, WifiEqual(kWifiAppImage),
                                                   WifiEqual(kWifiNvsImage),
                                                   {"SHOW_TEXT", "REGION_QUERY", "READ_REGION", "PROBE",
                                                    "BOOT_VERSIONS"},
                                                   AppProgrammed(), {"PROGRAM_MODE"}})));
    EXPECT_EQ(writer->storage().scanner.memory, programmed);
    EXPECT_EQ(writer->storage().scanner.checksumsAnswered, 2u);
    ExpectSucceeded(kBrevant);
}

TEST_F(WholeRunTest, WifiRegionThatNeverTakesTheImageStopsTheRunWithResult6) {
    WriterSettings settings;
    settings.knob(WriterComponent::WifiApp).corrupt = kForever;
    Start(settings);
    ASSERT_EQ(Run(), RunOutcome::Failed);

    const std::string reads = Chunks("READ_REGION", kWifiAppImage);
    const std::string writes = Chunks("REGION_WRITE", kWifiAppImage);
    EXPECT_THAT(Exchanges(),
                ElementsAreArray(Join({kIdentify, kScannerProgrammed,
                                       {"SHOW_TEXT", "REGION_QUERY", reads, "SHOW_TEXT", "REGION_QUERY",
                                        "REGION_PREPARE", writes, "SHOW_TEXT", "REGION_QUERY", reads, "SHOW_TEXT",
                                        "REGION_QUERY", "REGION_PREPARE", writes, "SHOW_TEXT", "REGION_QUERY", reads,
                                        "SHOW_TEXT", "PROBE"}})));
    constexpr const char* kNotTaken = "Unable to program your writer.  Check if a job is open.";
    EXPECT_THAT(ui.errorTexts(), ElementsAre(kNotTaken));
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[log.lines.size() - 2], kNotTaken);
    EXPECT_EQ(writer->storage().textHistory.back(), "Failure to load WiFi App.");
    EXPECT_EQ(ui.statusTexts.back(), kWelcome);
    EXPECT_EQ(writer->storage().FindRegion(kRegionWifiApp)->prepareCount, 2u);
    EXPECT_EQ(writer->storage().FindRegion(kRegionWifiNvs)->prepareCount, 0u);
    EXPECT_EQ(writer->storage().boot.transfersCompleted, 0u);
}

TEST_F(WholeRunTest, WriterThatStaysAwayAfterARestartCannotBeReset) {
    WriterSettings settings;
    settings.appBuild = 34000;
    settings.stayAway = true;
    Start(settings);
    ASSERT_EQ(Run(), RunOutcome::Failed);

    EXPECT_THAT(Exchanges(), ElementsAreArray(Join({kIdentify, BootProgrammed(), AppProgrammed(), {"PROGRAM_MODE"}})));
    EXPECT_THAT(ui.errorTexts(), ElementsAre("Unable to reset your writer."));
    // Not logged; the log ends with what was sent.
    EXPECT_THAT(log.lines, ElementsAre("<header>", "USB found Brevant/Brevant II(19), App. Ver. 1.09.00, Build 34000\n",
                                       "USB found Brevant/Brevant II(19), Main Boot Ver. 0.09.00, Build 35000\n",
                                       "USB found Brevant/Brevant II(19), Secondary Boot Ver. 0.09.00, Build 35000\n",
                                       kBootLog, kAppLog, "<exit>"));
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("1000 x16"));
    EXPECT_TRUE(engine->flags().restartPending);
    EXPECT_FALSE(engine->device().IsOpen());
    EXPECT_EQ(ui.statusTexts.back(), kWelcome);
}

// Runs that stop before success: what is sent, in order, and when the error box comes
// among the exchanges; a restart still pending at the end is answered with PROGRAM_MODE
// before the writer's text line is cleared and the link closed.
struct StoppedRunCase {
    const char* name;
    void (*configure)(WriterSettings&);
    Names exchanges;
    const char* firstAfterTheBox;
    const char* error;
    bool restartPending;
};

class WholeRunStopTest : public WholeRunTest, public ::testing::WithParamInterface<StoppedRunCase> {};

TEST_P(WholeRunStopTest, StopsWithItsErrorAndClosesTheRun) {
    const StoppedRunCase& c = GetParam();
    WriterSettings settings;
    c.configure(settings);
    std::vector<size_t> boxesSeen;  // per exchange, the error boxes already shown
    StartEdited(settings, [this, &boxesSeen](const SimRequest&, CommandCode&, std::vector<uint8_t>&) {
        boxesSeen.push_back(ui.errorTexts().size());
    });
    ASSERT_EQ(Run(), RunOutcome::Failed);

    EXPECT_THAT(Exchanges(), ElementsAreArray(c.exchanges));
    EXPECT_THAT(ui.errorTexts(), ElementsAre(c.error));
    ASSERT_EQ(boxesSeen.size(), writer->transcript().size());
    const auto first = std::find_if(boxesSeen.begin(), boxesSeen.end(), [](size_t n) { return n != 0; });
    ASSERT_NE(first, boxesSeen.end());
    EXPECT_EQ(CommandName(writer->transcript()[size_t(first - boxesSeen.begin())]), c.firstAfterTheBox);
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[log.lines.size() - 2], c.error);
    EXPECT_EQ(log.lines.back(), "<exit>");
    EXPECT_EQ(ui.statusTexts.back(), kWelcome);
    EXPECT_EQ(engine->flags().restartPending, c.restartPending);
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("100 x2"));  // around closing the link
    EXPECT_FALSE(engine->device().IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Endings, WholeRunStopTest,
    ::testing::Values(
        // The file is let go of before the person is told; neither the clock nor any step follows.
        StoppedRunCase{"FileOpen", [](WriterSettings& s) { s.fileOpen = true; },
                       {"MACHINE_INFO", "BOOT_VERSIONS", "FILE_CHECK", "FILE_RELEASE", "PROBE"}, "PROBE",
                       "Unable to program your writer.\nPlease close any open files on your Brevant/Brevant II",
                       false},
        // The early application refused: the restart asked for before the boot code is still
        // pending, so the closing leaves programming mode first. The writer restarts on it,
        // so the closing's clear never reaches it; the pauses show the link was still closed.
        StoppedRunCase{"EarlyApplicationRefused",
                       [](WriterSettings& s) {
                           s.appBuild = 34000;
                           s.knob(WriterComponent::App).refuse = 1;
                       },
                       Join({kIdentify, BootProgrammed(),
                             {"IMAGE_CRC", "SHOW_TEXT", "PROGRAM_APP", "SHOW_TEXT", "PROGRAM_MODE"}}),
                       "PROGRAM_MODE", "Unable to program your writer.  Error Code 133", true}),
    [](const auto& p) { return std::string(p.param.name); });

// The clock is compared before anything is written; a difference beyond five minutes is
// only set after a Yes. The run goes on either way.
struct ClockCase {
    int64_t writerAhead;  // seconds
    bool answer;
    bool asked;
    bool set;
};

class WholeRunClockTest : public WholeRunTest, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(WholeRunClockTest, SetsTheWriterClockAsTheDifferenceAndTheAnswerSay) {
    const ClockCase c = GetParam();
    WriterSettings settings = CurrentWriterSettings();
    settings.clockOffset = c.writerAhead;
    Start(settings);
    PreloadRegionsWithImages();
    ui.answers = {c.answer};
    ASSERT_EQ(Run(), RunOutcome::Updated);

    const Names exchanges = Exchanges();
    ASSERT_GE(exchanges.size(), 5u);
    EXPECT_EQ(exchanges[3], "CLOCK_READ");
    EXPECT_EQ(exchanges[4], c.set ? "CLOCK_SET" : "SHOW_TEXT");
    if (c.asked) {
        ASSERT_EQ(ui.questions.size(), 1u);
        EXPECT_EQ(ui.questions[0].text,
                  "Your Steno Machine's date/time doesn't match the PC date/time.\n"
                  "Do you want it to match the PC date/time?");
        EXPECT_EQ(ui.questions[0].caption, kTitle);
    } else {
        EXPECT_THAT(ui.questions, IsEmpty());
    }
    EXPECT_EQ(writer->storage().clockSets, c.set ? 1u : 0u);
    const int64_t expectedOffset = c.set ? 0 : c.writerAhead;
    EXPECT_EQ(writer->settings().clockOffset, expectedOffset);
    ExpectSucceeded(kBrevant);
}

INSTANTIATE_TEST_SUITE_P(Differences, WholeRunClockTest,
                         ::testing::Values(ClockCase{0, false, false, false}, ClockCase{300, false, false, true},
                                           ClockCase{-300, false, false, true}, ClockCase{1, false, false, true},
                                           ClockCase{301, false, true, false}, ClockCase{301, true, true, true},
                                           ClockCase{-301, true, true, true}));

}  // namespace
}  // namespace brevant::testing
