// A failed exchange closes the link: every later command fails at once with its failure
// value and nothing reaches the writer until the link is opened again.

#include <gtest/gtest.h>

#include <functional>

#include "device/device_protocol.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_writer.h"

namespace brevant {
namespace {

struct CommandCase {
    const char* name;
    std::function<int64_t(CTolvaUsb&)> run;
    int64_t failure;
};

const std::vector<uint8_t> kBytes(300, 0x42);

const CommandCase kCommands[] = {
    {"MachineInfo", [](CTolvaUsb& d) { return d.GetMachineInfo(nullptr, nullptr, nullptr, nullptr); }, 111},
    {"BootVersions", [](CTolvaUsb& d) { return d.GetBootVersions(nullptr, nullptr, nullptr, nullptr); }, 111},
    {"ShowText", [](CTolvaUsb& d) { return int64_t(d.ShowText("x")); }, 0},
    {"Probe", [](CTolvaUsb& d) { return int64_t(d.ShowText(nullptr)); }, 0},
    {"CheckFile", [](CTolvaUsb& d) { return d.CheckFile("REALTIME.000"); }, 111},
    {"ReleaseFile", [](CTolvaUsb& d) { return int64_t(d.ReleaseFile()); }, 0},
    {"SetProgramMode", [](CTolvaUsb& d) { return int64_t(d.SetProgramMode(0)); }, 0},
    {"ClockTime", [](CTolvaUsb& d) { return d.ClockTime(nullptr, 0, 0); }, 111},
    {"ProgramApplication", [](CTolvaUsb& d) { return d.ProgramApplication(kBytes.data(), 300, d.machineType()); },
     101},
    {"GetFlashGeometry",
     [](CTolvaUsb& d) {
         uint8_t b[44];
         return int64_t(d.GetFlashGeometry(4, b, 44));
     },
     0},
    {"ProgramBootCode", [](CTolvaUsb& d) { return d.ProgramBootCode(kBytes.data(), 300, 0); }, 101},
    {"QueryRegion", [](CTolvaUsb& d) { return int64_t(d.QueryRegion(8, nullptr)); }, 0},
    {"ReadRegion",
     [](CTolvaUsb& d) {
         uint8_t b[16];
         return int64_t(d.ReadRegion(kSimWifiAppStart, 16, b, 4));
     },
     0},
    {"PrepareRegion", [](CTolvaUsb& d) { return int64_t(d.PrepareRegion(kSimWifiAppStart, kSimWifiAppSize, nullptr)); },
     0},
    {"WriteRegion", [](CTolvaUsb& d) { return int64_t(d.WriteRegion(kBytes.data(), kSimWifiAppStart, 300)); }, 0},
    {"ProgramXLoader", [](CTolvaUsb& d) { return d.ProgramXLoader(kBytes.data(), 300, 0); }, 101},
    {"SensorBoard", [](CTolvaUsb& d) { return d.SensorBoardExchange(0x18, kBytes.data(), 1, nullptr, 0, nullptr); },
     111},
};

class DeadLinkTest : public ::testing::TestWithParam<CommandCase> {
protected:
    VirtualClock clock;
    VirtualWriter writer{clock};
    CTolvaUsb device{writer};
};

TEST_P(DeadLinkTest, FailsAtOnceUntilReopened) {
    device.Open();
    ASSERT_EQ(device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr), 0);
    writer.FailCommand(CMD_CLOCK, Fault{FaultKind::NoAnswer, 0, {}});
    ASSERT_EQ(device.ClockTime(nullptr, 0, 0), kResultNoValidResponse);
    ASSERT_FALSE(device.IsOpen());
    const size_t before = writer.transcript().size();
    const uint32_t sequence = device.sequence();

    EXPECT_EQ(GetParam().run(device), GetParam().failure);
    EXPECT_EQ(writer.transcript().size(), before);
    EXPECT_EQ(device.sequence(), sequence);

    // Once reopened the same command reaches the writer again.
    device.Open();
    GetParam().run(device);
    EXPECT_GT(writer.transcript().size(), before);
}

INSTANTIATE_TEST_SUITE_P(Commands, DeadLinkTest, ::testing::ValuesIn(kCommands),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace brevant
