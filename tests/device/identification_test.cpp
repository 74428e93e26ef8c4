// CMD_MACHINE_INFO and CMD_BOOT_VERSIONS: clamping, remapping, chunk sizes, builds and the
// property records.

#include <gtest/gtest.h>

#include "device/device_protocol.h"
#include "tests/device/fake_transport.h"

namespace brevant {
namespace {

using test::Answer;
using test::FakeTransport;

Answer MachineInfo(uint32_t type, uint32_t version, uint32_t bootFlag, uint32_t build,
                   std::vector<uint8_t> payload = {}) {
    Answer a = Answer::Code(CMD_MACHINE_INFO);
    a.params[0] = type;
    a.params[1] = version;
    a.params[2] = bootFlag;
    a.params[3] = build;
    a.payload = std::move(payload);
    return a;
}

std::vector<uint8_t> Records(std::initializer_list<std::pair<uint32_t, uint32_t>> records, size_t trailing = 0) {
    std::vector<uint8_t> bytes;
    for (const auto& [id, value] : records) {
        uint8_t r[8];
        StoreLe32(r, id);
        StoreLe32(r + 4, value);
        bytes.insert(bytes.end(), r, r + 8);
    }
    bytes.resize(bytes.size() + trailing, 0xEE);
    return bytes;
}

struct IdentityCase {
    const char* name;
    uint32_t type, version, bootFlag, build;
    MachineType wantType;
    uint32_t wantBootFlag, wantChunk, wantBuild;
};

class IdentityTest : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(IdentityTest, ReportsTheEffectiveIdentity) {
    const IdentityCase& c = GetParam();
    FakeTransport fake;
    fake.respond = [&](const test::Sent&) { return MachineInfo(c.type, c.version, c.bootFlag, c.build); };
    CTolvaUsb device{fake};
    device.Open();
    MachineType type = 99;
    uint32_t version = 0, bootFlag = 0, build = 0xBADBAD;
    ASSERT_EQ(device.GetMachineInfo(&type, &version, &bootFlag, &build), 0);
    EXPECT_EQ(type, c.wantType);
    EXPECT_EQ(device.machineType(), c.wantType);
    EXPECT_EQ(version, c.version);
    EXPECT_EQ(bootFlag, c.wantBootFlag);
    EXPECT_EQ(device.chunkSize(), c.wantChunk);
    EXPECT_EQ(device.build(), c.wantBuild);
    // Below type 16 the caller's build variable is left alone.
    EXPECT_EQ(build, c.wantType >= 16 ? c.wantBuild : 0xBADBADu);
}

INSTANTIATE_TEST_SUITE_P(
    Identities, IdentityTest,
    ::testing::Values(IdentityCase{"TypeAbove22IsHeldAs22", 40, 0x100, 0, 7, 22, 0, 65536, 7},
                      IdentityCase{"Type3BootV52IsType4", 3, 0x52, 1, 0, 4, 1, 65536, 0},
                      IdentityCase{"Type3BootV54StaysType3", 3, 0x54, 1, 0, 3, 1, 65536, 0},
                      IdentityCase{"Type3BootV60IsType5", 3, 0x60, 1, 0, 5, 1, 65536, 0},
                      IdentityCase{"Type3BootV63StaysType3", 3, 0x63, 1, 0, 3, 1, 65536, 0},
                      IdentityCase{"Type3AppV52StaysType3", 3, 0x52, 0, 0, 3, 0, 65536, 0},
                      IdentityCase{"Type1BootV1FFClearsBootFlag", 1, 0x1FF, 1, 0, 1, 0, 65536, 0},
                      IdentityCase{"Type1BootV200KeepsBootFlag", 1, 0x200, 1, 0, 1, 1, 65536, 0},
                      IdentityCase{"Type7Takes8KiBChunks", 7, 0, 0, 0, 7, 0, 8192, 0},
                      IdentityCase{"Type2Takes8KiBChunks", 2, 0, 0, 0, 2, 0, 8192, 0},
                      IdentityCase{"Type4Takes64KiBChunks", 4, 0, 0, 0, 4, 0, 65536, 0},
                      IdentityCase{"Type15HasNoBuild", 15, 0, 0, 1234, 15, 0, 8192, 0},
                      IdentityCase{"Type16HasABuild", 16, 0, 0, 1234, 16, 0, 65536, 1234}),
    [](const auto& p) { return std::string(p.param.name); });

struct PropertyCase {
    const char* name;
    std::vector<uint8_t> payload;
    uint32_t wantProperty0;
};

class PropertyTest : public ::testing::TestWithParam<PropertyCase> {};

TEST_P(PropertyTest, ReadsProperty0FromTheRecords) {
    FakeTransport fake;
    const PropertyCase& c = GetParam();
    fake.respond = [&](const test::Sent&) { return MachineInfo(19, 0, 0, 0, c.payload); };
    CTolvaUsb device{fake};
    device.Open();
    ASSERT_EQ(device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(device.property0(), c.wantProperty0);
}

INSTANTIATE_TEST_SUITE_P(Records, PropertyTest,
                         ::testing::Values(PropertyCase{"None", {}, 0},
                                           PropertyCase{"TwelveBytesAreOneRecord", Records({{0, 77}}, 4), 77},
                                           PropertyCase{"LaterRecordWins", Records({{0, 1}, {5, 9}, {0, 2}}), 2},
                                           PropertyCase{"OtherIdsIgnored", Records({{5, 9}, {0, 14760}}), 14760},
                                           PropertyCase{"ShortPayloadIgnored", std::vector<uint8_t>(7, 0), 0}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(IdentificationFailure, LeavesTheIdentityButClearsProperty0) {
    FakeTransport fake;
    fake.respond = [](const test::Sent&) { return MachineInfo(19, 0x02000000, 0, 35675, Records({{0, 14760}})); };
    CTolvaUsb device{fake};
    device.Open();
    ASSERT_EQ(device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(device.property0(), 14760u);

    fake.respond = [](const test::Sent&) { return Answer::Status(3); };
    MachineType type = 99;
    EXPECT_EQ(device.GetMachineInfo(&type, nullptr, nullptr, nullptr), kResultOtherReply);
    EXPECT_EQ(type, 99u);
    EXPECT_EQ(device.property0(), 0u);
    EXPECT_EQ(device.machineType(), 19u);
    EXPECT_EQ(device.version(), 0x02000000u);

    fake.respond = [](const test::Sent&) { return MachineInfo(19, 0x02000000, 0, 35675, Records({{0, 14760}})); };
    device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr);
    fake.respond = [](const test::Sent&) { return Answer::Silence(); };
    EXPECT_EQ(device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr), kResultNoValidResponse);
    EXPECT_EQ(device.property0(), 0u);
    EXPECT_EQ(device.build(), 35675u);
}

TEST(BootVersions, CopiesTheFourWordsOrLeavesThemOnFailure) {
    FakeTransport fake;
    fake.respond = [](const test::Sent&) {
        Answer a = Answer::Code(CMD_BOOT_VERSIONS);
        a.params[0] = 0x01000000;
        a.params[1] = 35673;
        a.params[2] = 0x00090000;
        a.params[3] = 35000;
        return a;
    };
    CTolvaUsb device{fake};
    device.Open();
    uint32_t v[4] = {};
    ASSERT_EQ(device.GetBootVersions(&v[0], &v[1], &v[2], &v[3]), 0);
    EXPECT_EQ(v[0], 0x01000000u);
    EXPECT_EQ(v[1], 35673u);
    EXPECT_EQ(v[2], 0x00090000u);
    EXPECT_EQ(v[3], 35000u);

    fake.respond = [](const test::Sent&) { return Answer::Code(CMD_MACHINE_INFO); };
    uint32_t w[4] = {1, 2, 3, 4};
    EXPECT_EQ(device.GetBootVersions(&w[0], &w[1], &w[2], &w[3]), kResultNoValidResponse);
    EXPECT_EQ(w[0], 1u);
    EXPECT_EQ(w[3], 4u);
}

}  // namespace
}  // namespace brevant
