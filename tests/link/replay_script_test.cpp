// Replaying a recorded run: which requests the recording expects on which connection, the
// answers it gives, how long the writer stays unreachable, and the report of a difference.

#include "sim/server/replay_script.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "device/packet.h"

namespace brevant {
namespace {

std::vector<uint8_t> Packet(CommandCode code, uint32_t sequence, uint32_t p0 = 0, uint32_t p1 = 0) {
    std::vector<uint8_t> bytes(kPacketHeaderSize, 0);
    bytes[0] = 'Q';
    bytes[1] = 'Z';
    StoreLe32(&bytes[packet_offset::kSequence], sequence);
    StoreLe16(&bytes[packet_offset::kCode], code);
    StoreLe32(&bytes[packet_offset::kParam0], p0);
    StoreLe32(&bytes[packet_offset::kParam0 + 4], p1);
    return bytes;
}

TraceRecord Rec(TraceEvent event, uint64_t ms, uint32_t value, std::vector<uint8_t> bytes = {}) {
    static uint32_t line = 1;
    TraceRecord r;
    r.event = event;
    r.milliseconds = ms;
    r.value = value;
    r.bytes = std::move(bytes);
    r.line = ++line;
    return r;
}

TraceRecord Write(uint64_t ms, const std::vector<uint8_t>& bytes, bool sent = true) {
    return Rec(TraceEvent::Write, ms, sent ? uint32_t(bytes.size()) : 0, bytes);
}
TraceRecord Read(uint64_t ms, std::vector<uint8_t> bytes) { return Rec(TraceEvent::Read, ms, 65568, std::move(bytes)); }

// A run: identify, a split answer, a restart with two refused opens, a clock exchange,
// then an unanswered probe.
class ReplayScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<uint8_t> info = Packet(CMD_MACHINE_INFO, 0);
        const std::vector<uint8_t> answer = Packet(CMD_MACHINE_INFO, 0, 19);
        records_ = {
            Rec(TraceEvent::Start, 0, 1000000),
            Rec(TraceEvent::Open, 0, 0),
            Write(1, info),
            Read(2, {answer.begin(), answer.begin() + 10}),
            Read(2, {answer.begin() + 10, answer.end()}),
            Write(3, Packet(CMD_PROGRAM_MODE, 1)),
            Read(3, Packet(CMD_PROGRAM_MODE, 1)),
            Rec(TraceEvent::Close, 1000, 0),
            Rec(TraceEvent::Open, 2000, 259),
            Rec(TraceEvent::Open, 3000, 259),
            Rec(TraceEvent::Open, 4000, 0),
            Write(4001, Packet(CMD_CLOCK, 2, 0, 0)),
            Read(4002, Packet(CMD_CLOCK, 2, 5000)),
            Write(4003, Packet(CMD_CLOCK, 3, 777777, 1)),
            Read(4004, Packet(CMD_CLOCK, 3)),
            Write(4005, Packet(CMD_SHOW_TEXT, 4)),
            Read(4005, {}),                              // unanswered: the link goes
            Rec(TraceEvent::Close, 4005, 0),
            Write(4006, Packet(CMD_SHOW_TEXT, 4), false),  // never reached the writer
            Read(4006, {}),
            Rec(TraceEvent::Close, 4006, 0),
        };
        std::string error;
        ASSERT_TRUE(script_.Load(records_, error)) << error;
    }

    const ReplayExchange* Take(const std::vector<uint8_t>& request, std::string& difference) {
        return script_.Take(request.data(), uint32_t(request.size()), difference);
    }

    std::vector<TraceRecord> records_;
    ReplayScript script_;
};

TEST_F(ReplayScriptTest, RecordingBecomesConnectionsOfExchanges) {
    ASSERT_EQ(script_.connections().size(), 2u);
    EXPECT_EQ(script_.requestCount(), 5u);
    EXPECT_EQ(script_.startUnixSeconds(), 1000000u);
    const ReplayConnection& first = script_.connections()[0];
    EXPECT_EQ(first.refuseMilliseconds, 0u);
    ASSERT_EQ(first.exchanges.size(), 2u);
    EXPECT_EQ(first.exchanges[0].replies.size(), 2u);  // each recorded read is its own frame
    const ReplayConnection& second = script_.connections()[1];
    // From the close at 1000 to the last refused open at 3000, then half way to 4000.
    EXPECT_EQ(second.refuseMilliseconds, 2500u);
    ASSERT_EQ(second.exchanges.size(), 3u);
    EXPECT_EQ(second.exchanges[2].index, 4u);
    EXPECT_TRUE(second.exchanges[2].dropAfter);
    EXPECT_TRUE(second.exchanges[2].replies.empty());
}

TEST_F(ReplayScriptTest, TheSameUpdaterReplaysToTheEnd) {
    std::string difference;
    ASSERT_TRUE(script_.BeginConnection());
    for (const ReplayExchange& e : script_.connections()[0].exchanges) ASSERT_NE(Take(e.request, difference), nullptr);
    ASSERT_TRUE(script_.EndConnection(difference)) << difference;
    EXPECT_EQ(script_.NextRefuseMilliseconds(), 2500u);
    ASSERT_TRUE(script_.BeginConnection());
    ASSERT_NE(Take(Packet(CMD_CLOCK, 2, 0, 0), difference), nullptr);
    // The clock being set carries today's time, not the recorded one: not a difference.
    ASSERT_NE(Take(Packet(CMD_CLOCK, 3, 123, 1), difference), nullptr) << difference;
    const ReplayExchange* last = Take(Packet(CMD_SHOW_TEXT, 4), difference);
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(last->dropAfter);
    ASSERT_TRUE(script_.EndConnection(difference));
    EXPECT_TRUE(script_.finished());
    EXPECT_EQ(script_.matched(), 5u);
    EXPECT_FALSE(script_.BeginConnection());  // a further connection is beyond the recording
}

TEST_F(ReplayScriptTest, FirstDifferenceNamesTheRequestAndTheByte) {
    std::string difference;
    ASSERT_TRUE(script_.BeginConnection());
    ASSERT_NE(Take(Packet(CMD_MACHINE_INFO, 0), difference), nullptr);
    EXPECT_EQ(Take(Packet(CMD_PROGRAM_MODE, 1, 1), difference), nullptr);
    EXPECT_EQ(difference.rfind("request 1 (trace line", 0), 0u) << difference;
    EXPECT_NE(difference.find("differs at byte 12"), std::string::npos) << difference;
    EXPECT_NE(difference.find("expected CMD_PROGRAM_MODE (0x0051) seq 1 length 0 params 00000000"), std::string::npos)
        << difference;
    EXPECT_NE(difference.find("got      CMD_PROGRAM_MODE (0x0051) seq 1 length 0 params 00000001"), std::string::npos)
        << difference;
}

TEST_F(ReplayScriptTest, ShorterRequestDiffersWhereItEnds) {
    std::string difference;
    ASSERT_TRUE(script_.BeginConnection());
    std::vector<uint8_t> cut = Packet(CMD_MACHINE_INFO, 0);
    cut.resize(20);
    EXPECT_EQ(Take(cut, difference), nullptr);
    EXPECT_NE(difference.find("differs at byte 20"), std::string::npos) << difference;
    EXPECT_NE(difference.find("[end]"), std::string::npos) << difference;
}

TEST_F(ReplayScriptTest, ClosingEarlyOrAskingMoreIsADifference) {
    std::string difference;
    ASSERT_TRUE(script_.BeginConnection());
    ASSERT_NE(Take(Packet(CMD_MACHINE_INFO, 0), difference), nullptr);
    EXPECT_FALSE(script_.EndConnection(difference));
    EXPECT_NE(difference.find("request 1 (trace line"), std::string::npos) << difference;
    EXPECT_NE(difference.find("never came"), std::string::npos) << difference;

    ReplayScript again;
    ASSERT_TRUE(again.Load(records_, difference));
    ASSERT_TRUE(again.BeginConnection());
    for (const ReplayExchange& e : again.connections()[0].exchanges) {
        ASSERT_NE(again.Take(e.request.data(), uint32_t(e.request.size()), difference), nullptr);
    }
    const std::vector<uint8_t> extra = Packet(CMD_SHOW_TEXT, 2);
    EXPECT_EQ(again.Take(extra.data(), uint32_t(extra.size()), difference), nullptr);
    EXPECT_EQ(difference.rfind("request 2: the recording has no request here", 0), 0u) << difference;
}

TEST(ReplayScriptLoad, ReadBeforeAnyRequestIsRefused) {
    ReplayScript script;
    std::string error;
    EXPECT_FALSE(script.Load({Rec(TraceEvent::Open, 0, 0), Read(1, {1, 2})}, error));
    EXPECT_NE(error.find("reads before its first request"), std::string::npos) << error;
}

TEST(ShiftClockReply, MovesOnlyTheClockReadAnswer) {
    const std::vector<uint8_t> read = Packet(CMD_CLOCK, 7, 0, 0);
    const std::vector<uint8_t> answer = Packet(CMD_CLOCK, 7, 5000);
    EXPECT_EQ(LoadLe32(&ShiftClockReply(read, answer, 60)[packet_offset::kParam0]), 5060u);
    EXPECT_EQ(ShiftClockReply(Packet(CMD_CLOCK, 7, 1, 1), answer, 60), answer);  // a set: its echo as recorded
    const std::vector<uint8_t> status = Packet(RSP_STATUS, 7, 5000);
    EXPECT_EQ(ShiftClockReply(read, status, 60), status);
    const std::vector<uint8_t> piece(answer.begin(), answer.begin() + 10);
    EXPECT_EQ(ShiftClockReply(read, piece, 60), piece);  // part of a split answer: as recorded
}

}  // namespace
}  // namespace brevant
