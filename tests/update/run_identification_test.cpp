// The first half of every run: connect, identify, log what was found, refuse machines this
// build is not for, ask before a downgrade, and always close properly.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/virtual_clock.h"
#include "sim/virtual_writer.h"
#include "tests/support/recording_ui.h"
#include "update/update_run.h"

namespace brevant {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::RecordingLog;
using testing::RecordingUi;

constexpr const char* kWelcome = "welcome text";

class RunIdentificationTest : public ::testing::Test {
protected:
    RunOutcome Run() {
        UpdateEngine engine(writer, ui, clock, log, "Brevant Update", kWelcome);
        return engine.RunUpdate();
    }
    // A writer newer than the built-in images, so the run stops at the downgrade question
    // when it is answered No.
    void MakeNewerThanImages() {
        writer.settings().appVersion = 0x03000000;
        writer.settings().appBuild = 36000;
    }

    VirtualClock clock;
    VirtualWriter writer{clock};
    RecordingUi ui;
    RecordingLog log;
};

TEST_F(RunIdentificationTest, NoWriterGivesOpenFailureAndThreeLogEntries) {
    writer.Unplug();
    EXPECT_EQ(Run(), RunOutcome::Failed);
    EXPECT_THAT(log.lines, ElementsAre("<header>", kOpenFailureText, "<exit>"));
    EXPECT_THAT(ui.errorTexts(), ElementsAre(kOpenFailureText));
    EXPECT_EQ(ui.boxes[0].caption, "Error");
    EXPECT_TRUE(writer.transcript().empty());
    ASSERT_FALSE(ui.statusTexts.empty());
    EXPECT_EQ(ui.statusTexts.back(), kWelcome);
}

TEST_F(RunIdentificationTest, OpenFailureTextIsExact) {
    EXPECT_STREQ(kOpenFailureText,
                 "Unable to open a connection with your steno machine.\n"
                 "Please make sure the writer is turned On, the USB cable is firmly connected,\n"
                 "and Norvane WinUSB driver 1.0.0.2 is installed");
}

TEST_F(RunIdentificationTest, IdentificationFailureNamesTheCode) {
    struct Case {
        Fault fault;
        const char* text;
    } cases[] = {
        {Fault{FaultKind::OtherCode, 0x0042, {}}, "Unable to communicate with your steno machine.  Error Code 1"},
        {Fault{FaultKind::NoAnswer, 0, {}}, "Unable to communicate with your steno machine.  Error Code 111"},
        {Fault{FaultKind::WrongMagic, 0, {}}, "Unable to communicate with your steno machine.  Error Code 111"},
    };
    for (const Case& c : cases) {
        VirtualClock localClock;
        VirtualWriter localWriter(localClock);
        localWriter.FailCommand(CMD_MACHINE_INFO, c.fault);
        RecordingUi localUi;
        RecordingLog localLog;
        UpdateEngine engine(localWriter, localUi, localClock, localLog, "Brevant Update", kWelcome);
        EXPECT_EQ(engine.RunUpdate(), RunOutcome::Failed);
        EXPECT_THAT(localUi.errorTexts(), ElementsAre(c.text));
        EXPECT_THAT(localLog.lines, ElementsAre("<header>", c.text, "<exit>"));
    }
}

struct RefusedCase {
    uint32_t reportedType;
    uint32_t bootFlag;
    uint32_t version;
    const char* foundLine;
    const char* refusal;
};

class RefusedMachineTest : public RunIdentificationTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedMachineTest, LogsShortLineAndRefusesByShortName) {
    const RefusedCase& c = GetParam();
    writer.settings().machineType = c.reportedType;
    writer.settings().bootFlag = c.bootFlag;
    writer.settings().appVersion = c.version;
    writer.settings().mainBootVersion = c.version;
    EXPECT_EQ(Run(), RunOutcome::NotUpdated);
    EXPECT_THAT(log.lines, ElementsAre("<header>", c.foundLine, c.refusal, "<exit>"));
    EXPECT_THAT(ui.errorTexts(), ElementsAre(c.refusal));
    // Nothing but identification reaches a refused writer before the closing probe.
    const std::vector<CommandCode> codes = writer.TranscriptCodes();
    ASSERT_GE(codes.size(), 1u);
    EXPECT_EQ(codes[0], CMD_MACHINE_INFO);
    for (size_t i = 1; i < codes.size(); ++i) EXPECT_EQ(codes[i], CMD_SHOW_TEXT);
    EXPECT_FALSE(writer.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Types, RefusedMachineTest,
    ::testing::Values(
        RefusedCase{17, 0, 0x01234500, "USB found Rilo(17), App. Ver. 12345.00 ",
                    "Improper Machine Type.  This update is not for Rilo!"},
        RefusedCase{17, 1, 0x0105, "USB found Rilo(17), Boot Ver. 1.05 ",
                    "Improper Machine Type.  This update is not for Rilo!"},
        RefusedCase{40, 0, 0x0203, "USB found UnKnown(22), App. Ver. 2.03 ",
                    "Improper Machine Type.  This update is not for UnKnown!"},
        RefusedCase{22, 0, 0x0203, "USB found UnKnown(22), App. Ver. 2.03 ",
                    "Improper Machine Type.  This update is not for UnKnown!"},
        RefusedCase{21, 0, 0x0100, "USB found Sensor Board(21), App. Ver. 1.00 ",
                    "Improper Machine Type.  This update is not for Sensor Board!"},
        RefusedCase{0, 0, 0x0100, "USB found Not Real(0), App. Ver. 1.00 ",
                    "Improper Machine Type.  This update is not for Not Real!"}));

TEST_F(RunIdentificationTest, SupportedWriterLogsApplicationAndBothBootLines) {
    MakeNewerThanImages();
    writer.settings().mainBootVersion = 0x01020304;  // beta 4
    writer.settings().mainBootBuild = 35001;
    writer.settings().secondaryBootVersion = 0x00090000;
    writer.settings().secondaryBootBuild = 35002;
    ui.defaultAnswer = false;
    EXPECT_EQ(Run(), RunOutcome::NotUpdated);
    ASSERT_GE(log.lines.size(), 4u);
    EXPECT_EQ(log.lines[1], "USB found Brevant/Brevant II(19), App. Ver. 3.00.00, Build 36000\n");
    EXPECT_EQ(log.lines[2], "USB found Brevant/Brevant II(19), Main Boot Ver. 1.02.03 Beta 4, Build 35001\n");
    EXPECT_EQ(log.lines[3], "USB found Brevant/Brevant II(19), Secondary Boot Ver. 0.09.00, Build 35002\n");
}

TEST_F(RunIdentificationTest, BootLinesAreLeftOutWhenAbsentOrUnreadable) {
    MakeNewerThanImages();
    writer.settings().appVersion = 0x030000A1;
    writer.settings().secondaryBootVersion = 0;
    writer.FailCommand(CMD_BOOT_VERSIONS, Fault{FaultKind::OtherCode, 0x77, {}});
    EXPECT_EQ(Run(), RunOutcome::NotUpdated);
    ASSERT_GE(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[1], "USB found Brevant/Brevant II(19), App. Ver. 3.00.00 Beta A1, Build 36000\n");
    EXPECT_THAT(log.lines[2], HasSubstr("You are about to install"));
}

TEST_F(RunIdentificationTest, BootModeReportsTheBootCodeAsReplacedApplicationVersion) {
    writer.settings().bootFlag = 1;
    writer.settings().mainBootVersion = 0x03000000;  // reported in place of the application
    writer.settings().mainBootBuild = 36000;
    EXPECT_EQ(Run(), RunOutcome::NotUpdated);
    ASSERT_GE(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[1], "USB found Brevant/Brevant II(19), Boot. Ver. 0.00.00, Build 0\n");
    // The question compares the reported boot version, not the replaced one, and build 0.
    EXPECT_EQ(log.lines[2],
              "You are about to install version 2.00.00, Build 35675\non a Machine that is running version "
              "3.00.00, Build 0.\n              Are you sure you want to do this?");
}

TEST_F(RunIdentificationTest, DeclinedDowngradeLogsTheQuestionAndProgramsNothing) {
    MakeNewerThanImages();
    EXPECT_EQ(Run(), RunOutcome::NotUpdated);
    const char* question =
        "You are about to install version 2.00.00, Build 35675\non a Machine that is running version 3.00.00, "
        "Build 36000.\n              Are you sure you want to do this?";
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, question);
    EXPECT_EQ(ui.questions[0].caption, "Warning");
    EXPECT_TRUE(ui.errorTexts().empty());
    EXPECT_EQ(log.lines.back(), "<exit>");
    EXPECT_EQ(log.lines[log.lines.size() - 2], question);
    for (CommandCode code : writer.TranscriptCodes()) {
        EXPECT_TRUE(code == CMD_MACHINE_INFO || code == CMD_BOOT_VERSIONS || code == CMD_SHOW_TEXT) << code;
    }
    EXPECT_EQ(writer.TranscriptCodes().back(), CMD_SHOW_TEXT);
}

struct DowngradeCase {
    uint32_t type;
    uint32_t bootFlag;
    uint32_t version;
    uint32_t build;
    bool asked;
};

class DowngradeQuestionTest : public RunIdentificationTest, public ::testing::WithParamInterface<DowngradeCase> {};

TEST_P(DowngradeQuestionTest, AsksExactlyWhenImageIsOlder) {
    const DowngradeCase& c = GetParam();
    writer.settings().machineType = c.type;
    writer.settings().bootFlag = c.bootFlag;
    writer.settings().appVersion = c.version;
    writer.settings().appBuild = c.build;
    writer.settings().mainBootVersion = c.version;
    writer.settings().mainBootBuild = c.build;
    // Stop any run that goes on at the next exchange; only the question matters here.
    writer.FailCommand(CMD_FILE_CHECK, Fault{FaultKind::NoAnswer, 0, {}});
    Run();
    EXPECT_EQ(ui.questions.size(), c.asked ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Comparisons, DowngradeQuestionTest,
    ::testing::Values(DowngradeCase{19, 0, 0x020000FF, 35675, false},  // only the beta byte differs
                      DowngradeCase{19, 0, 0x02000100, 35675, true},   // newer revision
                      DowngradeCase{19, 0, 0x01000000, 35676, true},   // older version, newer build
                      DowngradeCase{19, 0, 0x01000000, 35675, false},  // older in every way
                      DowngradeCase{20, 0, 0x02000000, 35675, false},  // equal
                      DowngradeCase{18, 0, 0x00000100, 0, true},       // type 18 carries version 0
                      DowngradeCase{18, 0, 0x000000FF, 0, false},
                      DowngradeCase{19, 1, 0x02000100, 99999, true},   // boot mode: version test only
                      DowngradeCase{19, 1, 0x01000000, 99999, false}));

TEST_F(RunIdentificationTest, ClosedLogSkipsLinesButTheRunGoesOn) {
    log.refuseToOpen = true;
    writer.settings().machineType = 17;
    EXPECT_EQ(Run(), RunOutcome::NotUpdated);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_THAT(ui.errorTexts(), ElementsAre("Improper Machine Type.  This update is not for Rilo!"));
}

TEST_F(RunIdentificationTest, TwoRunsWriteTwoHeadersAndTwoExitLines) {
    writer.settings().machineType = 17;
    Run();
    Run();
    int headers = 0;
    int exits = 0;
    for (const std::string& line : log.lines) {
        headers += line == "<header>";
        exits += line == "<exit>";
    }
    EXPECT_EQ(headers, 2);
    EXPECT_EQ(exits, 2);
    EXPECT_EQ(log.lines.front(), "<header>");
    EXPECT_EQ(log.lines.back(), "<exit>");
}

}  // namespace
}  // namespace brevant
