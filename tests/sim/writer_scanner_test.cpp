// The keyboard scanner behind CMD_SENSOR_BOARD.

#include <gtest/gtest.h>

#include "tests/sim/sim_support.h"

namespace brevant {
namespace {

using simtest::CrcOf;
using simtest::Pattern;
using simtest::WriterFixture;

constexpr uint32_t kWrite = 0x15;
constexpr uint32_t kMode = 0x18;
constexpr uint32_t kChecksum = 0x19;

class ScannerTest : public ::testing::Test {
protected:
    explicit ScannerTest(WriterSettings s = {}) : f(s) {}
    // Result, and byte 0 of the answer (0xEE when there was none).
    std::pair<int, uint8_t> Mode(uint8_t which) {
        uint8_t answer[4] = {0xEE};
        uint32_t length = 0;
        const int r = f.device.SensorBoardExchange(kMode, &which, 1, answer, sizeof answer, &length);
        return {r, length > 0 ? answer[0] : uint8_t(0xEE)};
    }
    int Write(uint32_t address, const std::vector<uint8_t>& code) {
        std::vector<uint8_t> payload(4);
        StoreLe32(payload.data(), address);
        payload.insert(payload.end(), code.begin(), code.end());
        return f.device.SensorBoardExchange(kWrite, payload.data(), uint32_t(payload.size()), nullptr, 0, nullptr);
    }
    // The checksum as the scanner answers it, or nullopt when it does not.
    std::optional<uint32_t> Checksum(uint32_t address, uint32_t length) {
        uint8_t payload[8];
        StoreLe32(payload, address);
        StoreLe32(payload + 4, length);
        uint8_t answer[8];
        uint32_t answerLength = 0;
        if (f.device.SensorBoardExchange(kChecksum, payload, 8, answer, 8, &answerLength) != 0 || answerLength != 4) {
            return std::nullopt;
        }
        return LoadBe32(answer);
    }
    const ScannerState& scanner() const { return f.writer.storage().scanner; }
    WriterFixture f;
};

TEST_F(ScannerTest, WritesAreTakenOnlyInTheProgrammingMode) {
    const auto code = Pattern(512);
    EXPECT_EQ(Write(0x80002000, code), kResultNoValidResponse);
    EXPECT_EQ(Mode(0), std::make_pair(0, uint8_t(0)));
    EXPECT_EQ(Write(0x80002000, code), 0);
    EXPECT_TRUE(std::equal(code.begin(), code.end(), scanner().memory.begin() + 0x2000));
    EXPECT_EQ(Mode(1), std::make_pair(0, uint8_t(0)));
    EXPECT_EQ(Write(0x80002200, code), kResultNoValidResponse);
}

TEST_F(ScannerTest, RefusesBlocksAbove512BytesOrOutsideItsMemory) {
    Mode(0);
    EXPECT_EQ(Write(0x80002000, Pattern(513)), kResultNoValidResponse);
    EXPECT_EQ(Write(0x80000000 + kScannerMemorySize - 10, Pattern(20)), kResultNoValidResponse);
    EXPECT_EQ(Write(0x7FFFFFF0, Pattern(20)), kResultNoValidResponse);
    EXPECT_EQ(scanner().writesTaken, 0u);
}

TEST_F(ScannerTest, ChecksumIsTheCrcRegisterOfTheRangeBigEndian) {
    Mode(0);
    const auto code = Pattern(1001);
    Write(0x80002000, std::vector<uint8_t>(code.begin(), code.begin() + 512));
    Write(0x80002200, std::vector<uint8_t>(code.begin() + 512, code.end()));
    EXPECT_EQ(Checksum(0x80002000, 1001), CrcOf(code));
    EXPECT_EQ(Checksum(0x80002000, kScannerMemorySize), std::nullopt);
}

TEST_F(ScannerTest, StartsWithOldCodeAndReportsTheNewVersionOnceProgrammed) {
    const std::vector<uint8_t> erased(0x1000, 0xFF);
    Mode(0);
    EXPECT_NE(Checksum(0x80002000, 0x1000), CrcOf(erased));
    Mode(1);
    // Entering and leaving without writing changes nothing.
    EXPECT_EQ(f.writer.settings().scannerVersion, WriterSettings{}.scannerVersion);
    Mode(0);
    Write(0x80002000, Pattern(16));
    Mode(1);
    f.device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(f.device.property0(), 14760u);
}

TEST_F(ScannerTest, MalformedModeRequestIsAnsweredNonZero) {
    uint8_t two[2] = {0, 0};
    uint8_t answer[4] = {};
    uint32_t length = 0;
    EXPECT_EQ(f.device.SensorBoardExchange(kMode, two, 2, answer, 4, &length), 0);
    EXPECT_EQ(length, 1u);
    EXPECT_NE(answer[0], 0);
    EXPECT_FALSE(scanner().programmingMode);
}

class ScannerKnobTest : public ScannerTest {
protected:
    static WriterSettings Knobs() {
        WriterSettings s;
        s.scannerChecksumWrong = 2;
        s.knob(WriterComponent::Scanner).refuse = 1;
        s.knob(WriterComponent::Scanner).corrupt = 1;
        return s;
    }
    ScannerKnobTest() : ScannerTest(Knobs()) {}
};

TEST_F(ScannerKnobTest, WrongChecksumsRefusedAndCorruptedWritesForACount) {
    Mode(0);
    const auto code = Pattern(64);
    EXPECT_EQ(Write(0x80002000, code), kResultNoValidResponse);  // refused
    EXPECT_EQ(Write(0x80002000, code), 0);                       // stored corrupted
    const uint32_t right = CrcOf(std::vector<uint8_t>(scanner().memory.begin() + 0x2000,
                                                      scanner().memory.begin() + 0x2040));
    EXPECT_NE(right, CrcOf(code));
    EXPECT_NE(Checksum(0x80002000, 64), right);
    EXPECT_NE(Checksum(0x80002000, 64), right);
    EXPECT_EQ(Checksum(0x80002000, 64), right);
    EXPECT_EQ(Write(0x80002000, code), 0);
    EXPECT_EQ(Checksum(0x80002000, 64), CrcOf(code));
}

}  // namespace
}  // namespace brevant
