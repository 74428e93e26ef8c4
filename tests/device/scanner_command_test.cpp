// The keyboard scanner tunnel: request layout and how much of the answer is copied.

#include <gtest/gtest.h>

#include "device/device_protocol.h"
#include "tests/device/fake_transport.h"

namespace brevant {
namespace {

using test::Answer;
using test::FakeTransport;
using test::Pattern;

class ScannerTunnelTest : public ::testing::Test {
protected:
    void SetUp() override { device.Open(); }
    void AnswerWith(uint32_t bytes) {
        fake.respond = [bytes](const test::Sent&) {
            Answer a = Answer::Code(CMD_SENSOR_BOARD);
            a.payload = Pattern(bytes);
            return a;
        };
    }
    FakeTransport fake;
    CTolvaUsb device{fake};
};

TEST_F(ScannerTunnelTest, WriteOf512CodeBytesSendsLength516) {
    AnswerWith(0);
    const auto payload = Pattern(516);
    uint32_t length = 9;
    EXPECT_EQ(device.SensorBoardExchange(0x15, payload.data(), 516, nullptr, 0, &length), 0);
    EXPECT_EQ(length, 0u);
    const test::Sent& s = fake.sent.back();
    EXPECT_EQ(s.header.code, CMD_SENSOR_BOARD);
    EXPECT_EQ(s.header.length, 516u);
    EXPECT_EQ(s.header.params[0], 0x15u);
    EXPECT_EQ(s.payload, payload);
}

TEST_F(ScannerTunnelTest, EmptyEchoWritesNothing) {
    AnswerWith(0);
    uint8_t answer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t length = 9;
    EXPECT_EQ(device.SensorBoardExchange(0x18, nullptr, 0, answer, sizeof answer, &length), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(answer[0], 1);
}

TEST_F(ScannerTunnelTest, AnswerLengthWithoutABuffer) {
    AnswerWith(4);
    uint32_t length = 0;
    EXPECT_EQ(device.SensorBoardExchange(0x19, nullptr, 0, nullptr, 0, &length), 0);
    EXPECT_EQ(length, 4u);
}

TEST_F(ScannerTunnelTest, CopyStopsAtTheCapacityButTheLengthIsFull) {
    AnswerWith(2000);
    std::vector<uint8_t> answer(1024 + 16, 0xCC);
    uint32_t length = 0;
    EXPECT_EQ(device.SensorBoardExchange(0x19, nullptr, 0, answer.data(), 1024, &length), 0);
    EXPECT_EQ(length, 2000u);
    std::vector<uint8_t> want = Pattern(1024);
    want.resize(1024 + 16, 0xCC);
    EXPECT_EQ(answer, want);
}

TEST_F(ScannerTunnelTest, StatusAnswerFailsWithLengthZero) {
    fake.respond = [](const test::Sent&) {
        Answer a = Answer::Status(0);
        a.payload = Pattern(4);
        return a;
    };
    uint8_t answer[4] = {9, 9, 9, 9};
    uint32_t length = 7;
    EXPECT_EQ(device.SensorBoardExchange(0x19, nullptr, 0, answer, 4, &length), kResultNoValidResponse);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(answer[0], 9);
}

}  // namespace
}  // namespace brevant
