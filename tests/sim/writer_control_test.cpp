// The virtual writer's files, programming mode, clock and text line.

#include <gtest/gtest.h>

#include "tests/sim/sim_support.h"

namespace brevant {
namespace {

using simtest::SendRaw;
using simtest::WriterFixture;

WriterSettings With(bool fileOpen, bool realtime) {
    WriterSettings s;
    s.fileOpen = fileOpen;
    s.realtime = realtime;
    return s;
}

TEST(WriterFiles, RealTimeFileAnswersEchoOnlyWhenOpen) {
    WriterFixture closed;
    EXPECT_EQ(closed.device.CheckFile("REALTIME.000"), int(kSimStatusNoSuchFile));
    WriterFixture open(With(true, false));
    EXPECT_EQ(open.device.CheckFile("REALTIME.000"), 0);
    EXPECT_EQ(open.device.CheckFile("OTHER.TXT"), int(kSimStatusNoSuchFile));
    EXPECT_EQ(open.writer.storage().lastCheckedName, "OTHER.TXT");
    EXPECT_TRUE(open.device.ReleaseFile());
    EXPECT_EQ(open.writer.storage().fileReleases, 1u);
    // Only the person can close it.
    EXPECT_EQ(open.device.CheckFile("REALTIME.000"), 0);
}

TEST(WriterFiles, NameWithGarbageAfterItsNulIsRefused) {
    WriterFixture f(With(true, false));
    std::vector<uint8_t> payload = {'R', 'E', 'A', 'L', 'T', 'I', 'M', 'E', '.', '0', '0', '0', 0, 1, 0, 0};
    EXPECT_EQ(SendRaw(f.writer, CMD_FILE_CHECK, {}, payload, f.device.sequence()).header.params[0],
              kSimStatusBadRequest);
}

TEST(WriterProgramMode, RefusesWithFlagsWhileBusy) {
    struct {
        bool fileOpen, realtime;
        uint32_t flags;
    } cases[] = {{true, false, 1}, {false, true, 2}, {true, true, 3}};
    for (const auto& c : cases) {
        WriterFixture f(With(c.fileOpen, c.realtime));
        const auto answer = SendRaw(f.writer, CMD_PROGRAM_MODE, {0}, {}, f.device.sequence());
        EXPECT_EQ(answer.header.code, RSP_STATUS);
        EXPECT_EQ(answer.header.params[0], kStatusFileOpen);
        EXPECT_EQ(answer.header.params[1], c.flags);
        EXPECT_FALSE(f.writer.away());
    }
}

TEST(WriterClock, ReadsHostLocalTimePlusOffsetAndSetsANewOffset) {
    WriterSettings s;
    s.clockOffset = -301;
    WriterFixture f(s);
    f.clock.SetUtcOffset(3600);
    const int64_t local = f.clock.UnixSeconds() + 3600;
    uint32_t value = 0;
    ASSERT_EQ(f.device.ClockTime(&value, 0, 0), 0);
    EXPECT_EQ(value, uint32_t(local - 301));

    ASSERT_EQ(f.device.ClockTime(&value, uint32_t(local + 10), 1), 0);
    EXPECT_EQ(value, uint32_t(local + 10));
    EXPECT_EQ(f.writer.settings().clockOffset, 10);
    EXPECT_EQ(f.writer.storage().clockSets, 1u);
    // The clock keeps running with the host's.
    f.clock.Advance(5000);
    ASSERT_EQ(f.device.ClockTime(&value, 0, 0), 0);
    EXPECT_EQ(value, uint32_t(local + 15));
}

TEST(WriterDisplay, ShowsTextsKeepsTheirHistoryAndClearsOnAProbe) {
    WriterFixture f;
    ASSERT_TRUE(f.device.ShowText("Updating X-Loader"));
    EXPECT_EQ(f.writer.storage().displayText, "Updating X-Loader");
    ASSERT_TRUE(f.device.ShowText(""));
    ASSERT_TRUE(f.device.ShowText(std::string(32, 'w').c_str()));
    ASSERT_TRUE(f.device.ShowText(nullptr));
    EXPECT_EQ(f.writer.storage().displayText, "");
    EXPECT_EQ(f.writer.storage().textHistory,
              (std::vector<std::string>{"Updating X-Loader", "", std::string(32, 'w')}));
    EXPECT_EQ(f.writer.storage().probesAnswered, 1u);
}

TEST(WriterDisplay, RefusesATextWhoseLengthDisagreesWithItsBlock) {
    WriterFixture f;
    std::vector<uint8_t> payload(32, 0);
    payload[0] = 'a';
    // Says 5 bytes, but the NUL is at 1.
    EXPECT_EQ(SendRaw(f.writer, CMD_SHOW_TEXT, {5}, payload, f.device.sequence()).header.params[0],
              kSimStatusBadRequest);
    // A 32-byte block cannot hold 32 bytes and their NUL.
    EXPECT_EQ(SendRaw(f.writer, CMD_SHOW_TEXT, {32}, std::vector<uint8_t>(32, 'a'), f.device.sequence())
                  .header.params[0],
              kSimStatusBadRequest);
    EXPECT_TRUE(f.writer.storage().textHistory.empty());
}

TEST(WriterDisplay, BusyProbesForACountThenAnswers) {
    WriterSettings s;
    s.probeBusy = 2;
    WriterFixture f(s);
    EXPECT_FALSE(f.device.ShowText(nullptr));
    EXPECT_FALSE(f.device.ShowText(nullptr));
    EXPECT_TRUE(f.device.IsOpen());  // a busy answer is still an answer
    EXPECT_TRUE(f.device.ShowText("text is not a probe"));
    EXPECT_TRUE(f.device.ShowText(nullptr));
}

TEST(WriterFaults, EveryCommandCanBeMadeToMisbehave) {
    const CommandCode codes[] = {CMD_SHOW_TEXT, CMD_FILE_CHECK, CMD_CLOCK, CMD_REGION_QUERY, CMD_SENSOR_BOARD,
                                 CMD_PROGRAM_MODE, CMD_FLASH_GEOMETRY};
    for (const CommandCode code : codes) {
        WriterFixture f;
        f.writer.FailCommand(code, Fault{FaultKind::OtherCode, 0x7777, {}});
        const auto answer = SendRaw(f.writer, code, {0, 0, 0, 0, 4}, {}, f.device.sequence());
        EXPECT_EQ(answer.header.code, 0x7777) << code;
    }
}

}  // namespace
}  // namespace brevant
