// Request layout and results of the control commands.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/device_protocol.h"
#include "tests/device/fake_transport.h"

namespace brevant {
namespace {

using test::Answer;
using test::FakeTransport;
using test::RecordingUi;

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override { device.Open(); }
    const test::Sent& Last() const { return fake.sent.back(); }
    void AnswerAlways(Answer a) {
        fake.respond = [a](const test::Sent&) { return a; };
    }
    FakeTransport fake;
    RecordingUi ui;
    CTolvaUsb device{fake, &ui, "Brevant Update"};
};

struct TextCase {
    const char* name;
    const char* text;
    uint32_t wantLength;
};

class ShowTextLengthTest : public ControlTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(ShowTextLengthTest, RoundsTextAndNulUpTo32) {
    const TextCase& c = GetParam();
    const std::string text = c.text == nullptr ? std::string() : std::string(c.text);
    EXPECT_TRUE(device.ShowText(c.text));
    EXPECT_EQ(Last().header.code, CMD_SHOW_TEXT);
    EXPECT_EQ(Last().header.length, c.wantLength);
    EXPECT_EQ(Last().header.params[0], uint32_t(text.size()));
    if (c.text != nullptr) {
        EXPECT_EQ(std::memcmp(Last().payload.data(), c.text, text.size() + 1), 0);
    }
}

const std::string k31(31, 'a');
const std::string k32(32, 'b');

INSTANTIATE_TEST_SUITE_P(Lengths, ShowTextLengthTest,
                         ::testing::Values(TextCase{"None", nullptr, 0}, TextCase{"Empty", "", 32},
                                           TextCase{"ThirtyOne", k31.c_str(), 32},
                                           TextCase{"ThirtyTwo", k32.c_str(), 64}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ControlTest, ShowTextLeavesEarlierBytesAfterTheNul) {
    device.ShowText(std::string(60, 'x').c_str());
    device.ShowText("ab");
    ASSERT_EQ(Last().payload.size(), 32u);
    EXPECT_EQ(std::string(Last().payload.begin(), Last().payload.begin() + 3), std::string("ab\0", 3));
    EXPECT_EQ(std::string(Last().payload.begin() + 3, Last().payload.end()), std::string(29, 'x'));
}

TEST_F(ControlTest, ShowTextIsTrueOnlyForItsEcho) {
    AnswerAlways(Answer::Status(0));
    EXPECT_FALSE(device.ShowText("x"));
    AnswerAlways(Answer::Code(RSP_NEXT));
    EXPECT_FALSE(device.ShowText(nullptr));
    EXPECT_TRUE(device.IsOpen());
}

struct NameCase {
    const char* name;
    std::string fileName;
    uint32_t wantLength;
};

class CheckFileLayoutTest : public ControlTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(CheckFileLayoutTest, PadsTheNameWithZerosToEightBytes) {
    const NameCase& c = GetParam();
    device.ShowText(std::string(60, 'x').c_str());  // leaves non-zero bytes in the send buffer
    device.CheckFile(c.fileName);
    ASSERT_EQ(Last().header.code, CMD_FILE_CHECK);
    EXPECT_EQ(Last().header.length, c.wantLength);
    std::vector<uint8_t> want(c.fileName.begin(), c.fileName.end());
    want.resize(c.wantLength, 0);
    EXPECT_EQ(Last().payload, want);
}

INSTANTIATE_TEST_SUITE_P(Names, CheckFileLayoutTest,
                         ::testing::Values(NameCase{"RealTimeFile", "REALTIME.000", 16},
                                           NameCase{"EightBytesUnpadded", "ABCD.EFG", 8}, NameCase{"Empty", "", 0},
                                           NameCase{"NineBytes", "ABCDE.FGH", 16}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ControlTest, CheckFileResults) {
    struct {
        Answer answer;
        int want;
    } cases[] = {
        {Answer::Code(CMD_FILE_CHECK), 0},
        {Answer::Status(0), 0},  // indistinguishable from an echo
        {Answer::Status(2), 2},
        {Answer::Code(CMD_FILE_RELEASE), kResultNoValidResponse},
        {Answer::Silence(), kResultNoValidResponse},
    };
    for (const auto& c : cases) {
        device.Open();
        AnswerAlways(c.answer);
        EXPECT_EQ(device.CheckFile("REALTIME.000"), c.want);
    }
}

TEST_F(ControlTest, ReleaseFileIsTrueOnlyForItsEcho) {
    EXPECT_TRUE(device.ReleaseFile());
    EXPECT_EQ(Last().header.length, 0u);
    AnswerAlways(Answer::Status(0));
    EXPECT_FALSE(device.ReleaseFile());
}

struct ModeCase {
    const char* name;
    Answer answer;
    bool want;
    const char* box;  // null: no box
};

class ProgramModeTest : public ControlTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ProgramModeTest, AnswersAndNotices) {
    const ModeCase& c = GetParam();
    AnswerAlways(c.answer);
    EXPECT_EQ(device.SetProgramMode(0), c.want);
    EXPECT_EQ(Last().header.code, CMD_PROGRAM_MODE);
    EXPECT_EQ(Last().header.params[0], 0u);
    if (c.box == nullptr) {
        EXPECT_TRUE(ui.boxes.empty());
    } else {
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, c.box);
        EXPECT_EQ(ui.boxes[0].caption, "Brevant Update");
        EXPECT_EQ(ui.boxes[0].icon, BoxIcon::Exclamation);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ProgramModeTest,
    ::testing::Values(ModeCase{"Echo", Answer::Code(CMD_PROGRAM_MODE), true, nullptr},
                      ModeCase{"OtherCode", Answer::Code(RSP_NEXT), false, nullptr},
                      ModeCase{"Silence", Answer::Silence(), false, nullptr},
                      ModeCase{"Status3NoFlags", Answer::Status(3, 0), false, nullptr},
                      ModeCase{"FileOpen", Answer::Status(3, 1), false, "Cannot Program, File open"},
                      ModeCase{"RealTime", Answer::Status(3, 2), false, "Cannot Program, Real-Time Active"},
                      ModeCase{"Both", Answer::Status(3, 3), false, "Cannot Program, File open and Real-Time Active"},
                      ModeCase{"OnlyLowBitsCount", Answer::Status(3, 6), false, "Cannot Program, Real-Time Active"},
                      ModeCase{"Status4", Answer::Status(4, 3), false, nullptr}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ProgramModeWithoutUi, ShowsNothingAndStillFails) {
    FakeTransport fake;
    fake.respond = [](const test::Sent&) { return Answer::Status(3, 3); };
    CTolvaUsb device{fake};
    device.Open();
    EXPECT_FALSE(device.SetProgramMode(0));
}

TEST_F(ControlTest, SendImageCrcKeepsThePreparedHeader) {
    device.ShowText("abc");
    const PacketHeader before = device.RequestHeader();
    device.SendImageCrc(0x12345678);
    EXPECT_EQ(Last().header.code, CMD_IMAGE_CRC);
    EXPECT_EQ(Last().header.params[0], 0x12345678u);
    EXPECT_EQ(Last().header.length, 0u);
    const PacketHeader after = device.RequestHeader();
    EXPECT_EQ(after.code, before.code);
    EXPECT_EQ(after.length, before.length);
    EXPECT_EQ(after.sequence, before.sequence);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(after.params[i], before.params[i]);
}

TEST_F(ControlTest, ClockTimeReadsAndSets) {
    fake.respond = [](const test::Sent& s) {
        Answer a = Answer::Code(CMD_CLOCK);
        a.params[0] = s.header.params[1] == 1 ? s.header.params[0] : 1000;
        return a;
    };
    uint32_t value = 0;
    EXPECT_EQ(device.ClockTime(&value, 0, 0), 0);
    EXPECT_EQ(value, 1000u);
    EXPECT_EQ(device.ClockTime(nullptr, 777, 1), 0);
    EXPECT_EQ(Last().header.params[0], 777u);
    EXPECT_EQ(Last().header.params[1], 1u);

    AnswerAlways(Answer::Code(CMD_SHOW_TEXT));
    value = 5;
    EXPECT_EQ(device.ClockTime(&value, 0, 0), kResultNoValidResponse);
    EXPECT_EQ(value, 5u);
}

}  // namespace
}  // namespace brevant
