// Requests the device object will not put on the wire. One that cannot fit a packet is
// handled like any oversized request: nothing is written, the link is closed and the command
// fails; nothing of it is ever copied into the send buffer. One that is refused for another
// reason (a missing buffer, a block above the machine's chunk size) leaves the link alone.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "device/device_protocol.h"
#include "tests/device/fake_transport.h"

namespace brevant {
namespace {

using test::Answer;
using test::FakeTransport;
using test::Pattern;

const std::vector<uint8_t> kBytes = Pattern(kMaxPayload + 1);

Answer TakeEverything(const test::Sent& s) {
    switch (s.header.code) {
        case CMD_REGION_WRITE:
        case CMD_PROGRAM_APP:
        case CMD_PROGRAM_BOOT:
        case CMD_PROGRAM_XLOADER:
            return Answer::Code(RSP_NEXT);
        default:
            return Answer::Code(s.header.code);
    }
}

class RefusedRequestTest : public ::testing::Test {
protected:
    void Identify(uint32_t type) {
        fake.respond = test::Identity(type, 0x02000000, 0, 1, TakeEverything);
        device.Open();
        ASSERT_EQ(device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr), 0);
        fake.sent.clear();
    }
    FakeTransport fake;
    CTolvaUsb device{fake};
};

using Run = std::function<int64_t(CTolvaUsb&)>;

struct OversizedCase {
    const char* name;
    Run oversized;
    Run largest;  // the longest request of the same kind that still fits one packet
    int64_t failure, success;
};

const std::string kText64KiB(kMaxPayload, 't');
const std::string kName64KiBPlus1(kMaxPayload + 1, 'n');

const OversizedCase kOversized[] = {
    {"ShowText", [](CTolvaUsb& d) { return int64_t(d.ShowText(kText64KiB.c_str())); },
     [](CTolvaUsb& d) { return int64_t(d.ShowText(kText64KiB.substr(1).c_str())); }, 0, 1},
    {"CheckFile", [](CTolvaUsb& d) { return int64_t(d.CheckFile(kName64KiBPlus1)); },
     [](CTolvaUsb& d) { return int64_t(d.CheckFile(std::string_view(kName64KiBPlus1).substr(1))); },
     kResultNoValidResponse, kResultOk},
    {"WriteRegion", [](CTolvaUsb& d) { return int64_t(d.WriteRegion(kBytes.data(), 0, kMaxPayload + 1)); },
     [](CTolvaUsb& d) { return int64_t(d.WriteRegion(kBytes.data(), 0, kMaxPayload)); }, 0, 1},
    {"WriteRegionNearTheTop", [](CTolvaUsb& d) { return int64_t(d.WriteRegion(kBytes.data(), 0, 0xFFFFFFF0u)); },
     [](CTolvaUsb& d) { return int64_t(d.WriteRegion(kBytes.data(), 0, kMaxPayload)); }, 0, 1},
    {"SensorBoard",
     [](CTolvaUsb& d) { return int64_t(d.SensorBoardExchange(0x15, kBytes.data(), kMaxPayload + 1, nullptr, 0, nullptr)); },
     [](CTolvaUsb& d) { return int64_t(d.SensorBoardExchange(0x15, kBytes.data(), kMaxPayload, nullptr, 0, nullptr)); },
     kResultNoValidResponse, kResultOk},
};

class OversizedRequestTest : public RefusedRequestTest, public ::testing::WithParamInterface<OversizedCase> {};

TEST_P(OversizedRequestTest, SendsNothingClosesTheLinkAndFails) {
    const OversizedCase& c = GetParam();
    Identify(19);
    const uint32_t sequence = device.sequence();
    EXPECT_EQ(c.oversized(device), c.failure);
    EXPECT_TRUE(fake.sent.empty());
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.sequence(), sequence);

    device.Open();
    EXPECT_EQ(c.largest(device), c.success);
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.sent[0].header.length, kMaxPayload);
    EXPECT_EQ(fake.sent[0].header.sequence, sequence);
}

INSTANTIATE_TEST_SUITE_P(Requests, OversizedRequestTest, ::testing::ValuesIn(kOversized),
                         [](const auto& p) { return std::string(p.param.name); });

struct UnsendableCase {
    const char* name;
    uint32_t machineType;
    Run run;
    int64_t failure;
};

const UnsendableCase kUnsendable[] = {
    {"ApplicationWithoutImage", 19, [](CTolvaUsb& d) { return int64_t(d.ProgramApplication(nullptr, 10, 19)); },
     kResultNoValidResponse},
    // Refused before the geometry query, too.
    {"BootCodeWithoutImage", 16, [](CTolvaUsb& d) { return int64_t(d.ProgramBootCode(nullptr, 10, 0)); },
     kResultNoValidResponse},
    {"XLoaderWithoutImage", 19, [](CTolvaUsb& d) { return int64_t(d.ProgramXLoader(nullptr, 10, 0)); },
     kResultNoValidResponse},
    {"WriteRegionWithoutBytes", 19, [](CTolvaUsb& d) { return int64_t(d.WriteRegion(nullptr, 0, 10)); }, 0},
    {"SensorBoardWithoutPayload", 19,
     [](CTolvaUsb& d) { return int64_t(d.SensorBoardExchange(0x15, nullptr, 4, nullptr, 0, nullptr)); },
     kResultNoValidResponse},
    {"WriteRegionAboveAn8KiBChunk", 6, [](CTolvaUsb& d) { return int64_t(d.WriteRegion(kBytes.data(), 0, 8193)); }, 0},
};

class UnsendableRequestTest : public RefusedRequestTest, public ::testing::WithParamInterface<UnsendableCase> {};

TEST_P(UnsendableRequestTest, SendsNothingAndKeepsTheLink) {
    const UnsendableCase& c = GetParam();
    Identify(c.machineType);
    EXPECT_EQ(c.run(device), c.failure);
    EXPECT_TRUE(fake.sent.empty());
    EXPECT_TRUE(device.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Requests, UnsendableRequestTest, ::testing::ValuesIn(kUnsendable),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(RefusedRequestTest, WriteRegionOfAWhole8KiBChunkGoesOut) {
    Identify(6);
    EXPECT_TRUE(device.WriteRegion(kBytes.data(), 0, 8192));
    ASSERT_EQ(fake.sent.size(), 1u);
    EXPECT_EQ(fake.sent[0].header.length, 8192u);
}

}  // namespace
}  // namespace brevant
