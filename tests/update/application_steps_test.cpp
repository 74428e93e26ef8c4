// The application and boot code steps on their own: when they send, what they say when the
// writer refuses, and the done flags that make the run's second call free.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/update/run_fixture.h"

namespace brevant::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ApplicationStepTest : public RunFixture {};

TEST_F(ApplicationStepTest, SecondCallAfterSuccessSendsNothing) {
    Identify();
    ASSERT_EQ(engine->UpdateApplication(), 0);
    EXPECT_TRUE(engine->flags().applicationDone);
    // The checksum of the image goes first; the transfer is checked against it by the writer.
    EXPECT_EQ(writer->storage().app.state, FirmwareState::Programmed);
    writer->ClearTranscript();
    EXPECT_EQ(engine->UpdateApplication(), 0);
    EXPECT_THAT(writer->transcript(), IsEmpty());
}

// A refused transfer: the writer's display, the log and the box say why; the step gives 5.
struct RefusalCase {
    const char* name;
    Fault fault;
    const char* text;
};

class TransferRefusalTest : public RunFixture, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(TransferRefusalTest, ApplicationRefusalIsReportedWithResult5) {
    Identify();
    writer->FailCommand(CMD_PROGRAM_APP, GetParam().fault);
    EXPECT_EQ(engine->UpdateApplication(), 5);
    EXPECT_FALSE(engine->flags().applicationDone);
    EXPECT_THAT(ui.errorTexts(), ElementsAre(GetParam().text));
    EXPECT_EQ(log.lines.back(), GetParam().text);
}

TEST_P(TransferRefusalTest, BootCodeRefusalIsReportedWithResult5) {
    Identify();
    writer->FailCommand(CMD_PROGRAM_BOOT, GetParam().fault);
    EXPECT_EQ(engine->UpdateBootCode(), 5);
    EXPECT_FALSE(engine->flags().bootCodeDone);
    EXPECT_THAT(ui.errorTexts(), ElementsAre(GetParam().text));
    EXPECT_EQ(log.lines.back(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, TransferRefusalTest,
    ::testing::Values(
        RefusalCase{"FileOpen", Fault{FaultKind::Status, 3, {}},
                    "Unable to program your writer.\nPlease close any open files on your Brevant/Brevant II"},
        RefusalCase{"OtherStatus", Fault{FaultKind::Status, 9, {}}, "Unable to program your writer.  Error Code 9"},
        RefusalCase{"Unexpected", Fault{FaultKind::OtherCode, 0x0042, {}},
                    "Unable to program your writer.  Error Code 111"},
        RefusalCase{"NoAnswer", Fault{FaultKind::NoAnswer, 0, {}},
                    "Unable to program your writer.  Error Code 101"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ApplicationStepTest, FailureTextReachesTheWriterDisplayWhenTheLinkSurvives) {
    Identify();
    writer->FailCommand(CMD_PROGRAM_APP, Fault{FaultKind::Status, 3, {}});
    ASSERT_EQ(engine->UpdateApplication(), 5);
    EXPECT_THAT(writer->storage().textHistory, ElementsAre("Programming Application Code", "Failure in updating machine."));
}

// Whether the boot code is sent, by what the writer reports for its main boot code.
struct BootCase {
    const char* name;
    uint32_t version;
    uint32_t build;
    bool sent;
};

class BootDecisionTest : public RunFixture, public ::testing::WithParamInterface<BootCase> {};

TEST_P(BootDecisionTest, SendsUnlessVersionAndBuildAreBothAtLeastTheImages) {
    WriterSettings settings;
    settings.mainBootVersion = GetParam().version;
    settings.mainBootBuild = GetParam().build;
    Start(settings);
    Identify();
    EXPECT_EQ(engine->UpdateBootCode(), 0);
    EXPECT_EQ(engine->flags().bootCodeDone, GetParam().sent);
    EXPECT_EQ(writer->storage().boot.transfersCompleted, GetParam().sent ? 1u : 0u);
    EXPECT_EQ(engine->identification().mainBootVersion, GetParam().version);
    EXPECT_EQ(engine->identification().mainBootBuild, GetParam().build);
    if (!GetParam().sent) {
        // Up to date: nothing shown, logged or sent beyond the question.
        EXPECT_THAT(Exchanges(), ElementsAre("BOOT_VERSIONS"));
        EXPECT_THAT(log.lines, IsEmpty());
        EXPECT_THAT(ui.statusTexts, IsEmpty());
    } else {
        EXPECT_THAT(log.lines,
                    ElementsAre("Sending boot code version 1.00.00 Build 35673 to Brevant/Brevant II..."));
        EXPECT_THAT(ui.statusTexts,
                    ElementsAre("\n\nSending boot code version 1.00.00 Build 35673 to Brevant/Brevant II..."));
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, BootDecisionTest,
                         ::testing::Values(BootCase{"Equal", 0x01000000, 35673, false},
                                           BootCase{"NewerBuild", 0x01000000, 35674, false},
                                           BootCase{"NewerVersionOlderBuild", 0x01010000, 35000, true},
                                           BootCase{"OlderVersionNewerBuild", 0x00090000, 36000, true},
                                           BootCase{"OlderBoth", 0x00090000, 35000, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ApplicationStepTest, BootVersionsUnansweredCountAsNoBootCode) {
    Start(CurrentWriterSettings());
    Identify();
    writer->FailCommand(CMD_BOOT_VERSIONS, Fault{FaultKind::OtherCode, 0x0042, {}});
    EXPECT_EQ(engine->UpdateBootCode(), 0);
    EXPECT_TRUE(engine->flags().bootCodeDone);
    EXPECT_EQ(engine->identification().mainBootBuild, 0u);
    EXPECT_EQ(engine->identification().secondaryBootVersion, 0u);
}

TEST_F(ApplicationStepTest, BootModeTakesTheReportedVersionAsTheBootCodes) {
    WriterSettings settings = CurrentWriterSettings();
    settings.bootFlag = 1;
    Start(settings);
    Identify();  // reports the boot code's 1.00.00, build 35673
    EXPECT_EQ(engine->UpdateBootCode(), 0);
    EXPECT_THAT(writer->transcript(), IsEmpty());
    EXPECT_EQ(engine->identification().mainBootBuild, 35673u);
    EXPECT_FALSE(engine->flags().bootCodeDone);
}

TEST_F(ApplicationStepTest, BootCodeDoneFlagMakesTheSecondCallFree) {
    Identify();
    ASSERT_EQ(engine->UpdateBootCode(), 0);
    ASSERT_TRUE(engine->flags().bootCodeDone);
    writer->ClearTranscript();
    EXPECT_EQ(engine->UpdateBootCode(), 0);
    EXPECT_THAT(writer->transcript(), IsEmpty());
}

}  // namespace
}  // namespace brevant::testing
