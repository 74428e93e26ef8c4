// The keyboard scanner step on its own: when it runs, the check, programming and finish
// phases with their attempts and pauses, the blocks it sends, and odd scanner answers.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/update/run_fixture.h"

namespace brevant::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr const char* kFailure = "Error with updating sensor board..";

class ScannerStepTest : public RunFixture {
protected:
    // A writer whose scanner already holds the built-in code.
    void StartWithCurrentScanner(const WriterSettings& settings = {}) {
        Start(settings);
        writer->storage().scanner.memory = ProgrammedScannerMemory();
    }
    void StartEditedWithCurrentScanner(AnswerEditor::Edit edit) {
        StartEdited({}, std::move(edit));
        writer->storage().scanner.memory = ProgrammedScannerMemory();
    }
    std::vector<const SimRequest*> Writes() const {
        std::vector<const SimRequest*> writes;
        for (const SimRequest& r : writer->transcript()) {
            if (CommandName(r) == "SENSOR_WRITE") writes.push_back(&r);
        }
        return writes;
    }
};

struct SkipCase {
    const char* name;
    uint32_t scannerVersion;
    bool reported;
    bool runs;
};

class ScannerSkipTest : public ScannerStepTest, public ::testing::WithParamInterface<SkipCase> {};

TEST_P(ScannerSkipTest, RunsOnlyForAnOlderOrUnknownScanner) {
    WriterSettings settings;
    settings.scannerVersion = GetParam().scannerVersion;
    settings.reportScannerVersion = GetParam().reported;
    Start(settings);
    Identify();
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 0);
    if (GetParam().runs) {
        EXPECT_FALSE(writer->transcript().empty());
        EXPECT_THAT(log.lines, ElementsAre("Sending KeySensor Board Code to Brevant/Brevant II..."));
    } else {
        EXPECT_THAT(writer->transcript(), IsEmpty());
        EXPECT_THAT(log.lines, IsEmpty());
        EXPECT_THAT(ui.statusTexts, IsEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, ScannerSkipTest,
                         ::testing::Values(SkipCase{"Older", 14759, true, true}, SkipCase{"Equal", 14760, true, false},
                                           SkipCase{"Newer", 20000, true, false},
                                           SkipCase{"AlwaysRun", 0xFFFFFFFF, true, true},
                                           SkipCase{"NotReported", 20000, false, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ScannerStepTest, BuiltInCodeGoesOutAs70BlocksFrom0x80002000) {
    Identify();
    ASSERT_EQ(engine->UpdateKeyboardScanner(), 0);
    const std::vector<const SimRequest*> writes = Writes();
    ASSERT_EQ(writes.size(), 70u);
    for (size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(LoadLe32(writes[i]->payload.data()), 0x80002000u + 512u * uint32_t(i)) << i;
        EXPECT_EQ(writes[i]->payload.size(), i + 1 < writes.size() ? 516u : 4u + 260u) << i;
    }
    // The checksum asked for covers exactly the code: 0x80002000, 35588 bytes.
    const SimRequest& checksum = writer->transcript()[2];
    ASSERT_EQ(CommandName(checksum), "SENSOR_CHECKSUM");
    EXPECT_EQ(LoadLe32(checksum.payload.data()), 0x80002000u);
    EXPECT_EQ(LoadLe32(checksum.payload.data() + 4), 35588u);
    // The block loop is reported as progress in blocks, 0 to 70.
    ASSERT_EQ(ui.progress.size(), 71u);
    EXPECT_EQ(ui.progress.front(), 0u);
    EXPECT_EQ(ui.progress.back(), 70u);
    EXPECT_EQ(writer->storage().displayText, "Updating Keyboard Scanner");  // not cleared at the end
}

TEST_F(ScannerStepTest, MatchingChecksumSkipsProgramming) {
    StartWithCurrentScanner();
    Identify();
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 0);
    EXPECT_THAT(Exchanges(), ElementsAre("SHOW_TEXT", "SENSOR_ENTER", "SENSOR_CHECKSUM", "SENSOR_LEAVE"));
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("100"));
}

TEST_F(ScannerStepTest, WrongVerificationRewritesEveryBlock) {
    WriterSettings settings;
    settings.scannerChecksumWrong = 2;  // the check, then the first verification
    Start(settings);
    Identify();
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 0);
    EXPECT_THAT(Exchanges(), ElementsAre("SHOW_TEXT", "SENSOR_ENTER", "SENSOR_CHECKSUM", "SENSOR_ENTER",
                                         "SENSOR_WRITE x70", "SENSOR_CHECKSUM", "SENSOR_ENTER", "SENSOR_WRITE x70",
                                         "SENSOR_CHECKSUM", "SENSOR_LEAVE"));
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("100 x71", "200", "100 x70", "200"));
}

TEST_F(ScannerStepTest, ScannerThatNeverVerifiesFailsAfterTenPasses) {
    WriterSettings settings;
    settings.knob(WriterComponent::Scanner).refuse = kForever;
    Start(settings);
    Identify();
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 1);
    // Each pass stops at its refused first block and starts over from the mode command.
    std::vector<std::string> expected = {"SHOW_TEXT", "SENSOR_ENTER", "SENSOR_CHECKSUM"};
    for (int pass = 0; pass < 10; ++pass) {
        expected.push_back("SENSOR_ENTER");
        expected.push_back("SENSOR_WRITE");
    }
    expected.push_back("SHOW_TEXT");
    EXPECT_THAT(Exchanges(), ElementsAreArray(expected));
    EXPECT_THAT(ui.errorTexts(), ElementsAre(kFailure));
    EXPECT_THAT(log.lines, ElementsAre("Sending KeySensor Board Code to Brevant/Brevant II...", kFailure));
    EXPECT_EQ(writer->storage().displayText, "Failed to update Keyboard Scanner");
}

// Answers to the checksum question that are not a checksum: each is a failed attempt,
// retried after half a second with the text shown again; ten make the step fail.
struct OddChecksumCase {
    const char* name;
    size_t answerBytes;
};

class ScannerOddChecksumTest : public ScannerStepTest, public ::testing::WithParamInterface<OddChecksumCase> {};

TEST_P(ScannerOddChecksumTest, CountsAsAFailedAttemptNotAMismatch) {
    int left = 1;
    const size_t bytes = GetParam().answerBytes;
    WriterSettings settings;
    StartEdited(settings, [&left, bytes](const SimRequest& request, CommandCode&, std::vector<uint8_t>& payload) {
        if (CommandName(request) == "SENSOR_CHECKSUM" && left > 0) {
            --left;
            payload.assign(bytes, 0x12);
        }
    });
    Identify();
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 0);
    const std::vector<std::string> exchanges = Exchanges();
    ASSERT_GE(exchanges.size(), 6u);
    EXPECT_THAT(std::vector<std::string>(exchanges.begin(), exchanges.begin() + 6),
                ElementsAre("SHOW_TEXT", "SENSOR_ENTER", "SENSOR_CHECKSUM", "SHOW_TEXT", "SENSOR_ENTER",
                            "SENSOR_CHECKSUM"));
    ASSERT_GE(clock.sleeps().size(), 3u);
    EXPECT_THAT(std::vector<uint32_t>(clock.sleeps().begin(), clock.sleeps().begin() + 3), ElementsAre(100, 500, 100));
    EXPECT_THAT(writer->storage().textHistory,
                ElementsAre("Updating Keyboard Scanner", "Updating Keyboard Scanner"));
}

INSTANTIATE_TEST_SUITE_P(Lengths, ScannerOddChecksumTest,
                         ::testing::Values(OddChecksumCase{"Empty", 0}, OddChecksumCase{"EightBytes", 8},
                                           // longer than the 1,024-byte answer buffer
                                           OddChecksumCase{"Oversized", 4000}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ScannerStepTest, ChecksumIsReadBigEndian) {
    // The scanner's answer byte-swapped: a little-endian reading would take it as equal.
    bool swapped = false;
    StartEditedWithCurrentScanner([&swapped](const SimRequest& request, CommandCode&, std::vector<uint8_t>& payload) {
        if (CommandName(request) == "SENSOR_CHECKSUM" && !swapped && payload.size() == 4) {
            swapped = true;
            std::reverse(payload.begin(), payload.end());
        }
    });
    Identify();
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 0);
    EXPECT_EQ(Exchanges()[3], "SENSOR_ENTER");  // a mismatch: programming follows
    EXPECT_EQ(Writes().size(), 70u);
}

TEST_F(ScannerStepTest, CheckPhaseGivesUpAfterTenAttempts) {
    Identify();
    writer->FailCommand(CMD_SENSOR_BOARD, Fault{FaultKind::Status, 9, {}}, kForever);
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 1);
    std::vector<std::string> expected = {"SHOW_TEXT"};
    for (int attempt = 0; attempt < 10; ++attempt) {
        expected.push_back("SENSOR_ENTER");
        expected.push_back("SHOW_TEXT");  // the retry's text, and after the tenth the failure text
    }
    EXPECT_THAT(Exchanges(), ElementsAreArray(expected));
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("500 x9"));
    EXPECT_THAT(ui.errorTexts(), ElementsAre(kFailure));
}

TEST_F(ScannerStepTest, EnterAnswerOtherThanZeroFailsTheProgrammingPass) {
    int rejected = 0;
    StartEdited({}, [&rejected](const SimRequest& request, CommandCode&, std::vector<uint8_t>& payload) {
        // The second enter is the first programming pass's: refuse it once.
        if (CommandName(request) == "SENSOR_ENTER" && ++rejected == 2) payload.assign(1, 1);
    });
    Identify();
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 0);
    EXPECT_THAT(Exchanges(), ElementsAre("SHOW_TEXT", "SENSOR_ENTER", "SENSOR_CHECKSUM", "SENSOR_ENTER x2",
                                         "SENSOR_WRITE x70", "SENSOR_CHECKSUM", "SENSOR_LEAVE"));
}

TEST_F(ScannerStepTest, FinishRetriesThreeSecondsApart) {
    int refused = 0;
    StartEditedWithCurrentScanner([&refused](const SimRequest& request, CommandCode& code, std::vector<uint8_t>&) {
        if (CommandName(request) == "SENSOR_LEAVE" && refused < 2) {
            ++refused;
            code = RSP_STATUS;
        }
    });
    Identify();
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 0);
    EXPECT_THAT(Exchanges(), ElementsAre("SHOW_TEXT", "SENSOR_ENTER", "SENSOR_CHECKSUM", "SENSOR_LEAVE x3"));
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("100", "3000 x2"));
}

TEST_F(ScannerStepTest, FinishGivesUpAfterTenAttempts) {
    StartEditedWithCurrentScanner([](const SimRequest& request, CommandCode& code, std::vector<uint8_t>&) {
        if (CommandName(request) == "SENSOR_LEAVE") code = RSP_STATUS;
    });
    Identify();
    EXPECT_EQ(engine->UpdateKeyboardScanner(), 1);
    EXPECT_THAT(Exchanges(), ElementsAre("SHOW_TEXT", "SENSOR_ENTER", "SENSOR_CHECKSUM", "SENSOR_LEAVE x10",
                                         "SHOW_TEXT"));
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("100", "3000 x9"));
    EXPECT_THAT(ui.errorTexts(), ElementsAre(kFailure));
}

}  // namespace
}  // namespace brevant::testing
