// Framing of responses: how a response may arrive, what makes it invalid, and what a failed
// exchange leaves behind.

#include <gtest/gtest.h>

#include "device/device_protocol.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_writer.h"
#include "tests/device/fake_transport.h"

namespace brevant {
namespace {

using test::Answer;
using test::FakeTransport;
using test::Frame;

class PacketLayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(device.Open(), 0); }
    // Queues the raw answer to the next request as the given pieces.
    void AnswerInPieces(const std::vector<uint8_t>& bytes, const std::vector<size_t>& pieces) {
        size_t at = 0;
        for (size_t n : pieces) {
            fake.rawReads.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + n));
            at += n;
        }
        if (at < bytes.size()) fake.rawReads.emplace_back(bytes.begin() + long(at), bytes.end());
    }
    FakeTransport fake;
    CTolvaUsb device{fake};
};

TEST_F(PacketLayerTest, AcceptsAResponseSplitIntoHeaderPiecesAndPayload) {
    Answer a = Answer::Code(CMD_CLOCK);
    a.params[0] = 1234;
    a.payload.assign(40, 0x5A);
    fake.respond = [](const test::Sent&) { return Answer::Silence(); };
    AnswerInPieces(Frame(0, a), {10, 22, 40});
    uint32_t clock = 0;
    EXPECT_EQ(device.ClockTime(&clock, 0, 0), 0);
    EXPECT_EQ(clock, 1234u);
    EXPECT_EQ(device.sequence(), 1u);
    EXPECT_TRUE(device.IsOpen());
}

TEST_F(PacketLayerTest, ReceivePacketReturnsHeaderPlusPayload) {
    Answer a = Answer::Code(CMD_SENSOR_BOARD);
    a.payload.assign(100, 1);
    fake.rawReads.push_back(Frame(0, a));
    EXPECT_EQ(device.ReceivePacket(), 132u);
}

TEST_F(PacketLayerTest, BytesOfAnotherPacketInTheSameReadFail) {
    std::vector<uint8_t> bytes = Frame(0, Answer::Code(CMD_CLOCK));
    bytes.push_back('Q');
    fake.respond = [](const test::Sent&) { return Answer::Silence(); };
    fake.rawReads.push_back(bytes);
    EXPECT_EQ(device.ClockTime(nullptr, 0, 0), kResultNoValidResponse);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.sequence(), 0u);
}

TEST_F(PacketLayerTest, PayloadLengthLimitIsExactly64KiB) {
    for (const uint32_t length : {65536u, 65537u}) {
        FakeTransport f;
        CTolvaUsb d{f};
        d.Open();
        std::vector<uint8_t> bytes = Frame(0, Answer::Code(CMD_SENSOR_BOARD));
        StoreLe32(&bytes[packet_offset::kLength], length);
        bytes.resize(kPacketHeaderSize + std::min(length, kMaxPayload), 0);
        f.rawReads.push_back(bytes);
        const uint32_t total = d.ReceivePacket();
        if (length == 65536) {
            EXPECT_EQ(total, 65568u);
            EXPECT_TRUE(d.IsOpen());
        } else {
            EXPECT_EQ(total, 0u);
            EXPECT_FALSE(d.IsOpen());
        }
    }
}

TEST_F(PacketLayerTest, AResponseThatStopsShortFails) {
    Answer a = Answer::Code(CMD_CLOCK);
    a.payload.assign(40, 0x5A);
    const std::vector<uint8_t> bytes = Frame(0, a);
    fake.respond = [](const test::Sent&) { return Answer::Silence(); };
    // Cut inside the header, and inside the payload after a complete header.
    for (const size_t arrived : {size_t(10), size_t(52)}) {
        SCOPED_TRACE(arrived);
        device.Open();
        fake.rawReads.emplace_back(bytes.begin(), bytes.begin() + long(arrived));
        EXPECT_EQ(device.ClockTime(nullptr, 0, 0), kResultNoValidResponse);
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.sequence(), 0u);
    }
}

struct BadHeaderCase {
    const char* name;
    int sequenceDelta;
    uint8_t magic1;
};

class BadHeaderTest : public ::testing::TestWithParam<BadHeaderCase> {};

TEST_P(BadHeaderTest, FailsClosesAndKeepsTheSequence) {
    VirtualClock clock;
    VirtualWriter writer{clock};
    CTolvaUsb device{writer};
    device.Open();
    ASSERT_TRUE(device.ShowText(nullptr));  // sequence 1 from here
    const BadHeaderCase& c = GetParam();
    if (c.sequenceDelta != 0) {
        writer.FailCommand(CMD_CLOCK, Fault{FaultKind::WrongSequence, c.sequenceDelta, {}});
    } else {
        writer.FailCommand(CMD_CLOCK, Fault{FaultKind::WrongMagic, 0, {}});
    }
    EXPECT_EQ(device.ClockTime(nullptr, 0, 0), kResultNoValidResponse);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.sequence(), 1u);
    // The next request after reopening carries the number of the failed one.
    device.Open();
    EXPECT_TRUE(device.ShowText(nullptr));
    EXPECT_EQ(writer.transcript().back().header.sequence, 1u);
    EXPECT_EQ(device.sequence(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Headers, BadHeaderTest,
                         ::testing::Values(BadHeaderCase{"OneLess", -1, 'Z'}, BadHeaderCase{"OneMore", 1, 'Z'},
                                           BadHeaderCase{"WrongMagic", 0, 'X'}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(PacketLayerTest, ShortWriteClosesTheLinkAndTheCommandFails) {
    fake.failWrites = true;
    EXPECT_FALSE(device.ShowText("x"));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.sequence(), 0u);
}

}  // namespace
}  // namespace brevant
