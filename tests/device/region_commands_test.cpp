// Region query, read-back, prepare, block writes and the X-Loader transfer.

#include <gtest/gtest.h>

#include "device/device_protocol.h"
#include "images/crc32.h"
#include "tests/device/fake_transport.h"

namespace brevant {
namespace {

using test::Answer;
using test::FakeTransport;
using test::Pattern;

class RegionTest : public ::testing::Test {
protected:
    void SetUp() override { device.Open(); }
    void AnswerAlways(Answer a) {
        fake.respond = [a](const test::Sent&) { return a; };
    }
    const test::Sent& Last() const { return fake.sent.back(); }
    FakeTransport fake;
    CTolvaUsb device{fake};
};

TEST_F(RegionTest, QueryGivesStartAndSizeOrZeros) {
    Answer a = Answer::Code(CMD_REGION_QUERY);
    a.params[0] = 0x40000;
    a.params[1] = 0x20000;
    AnswerAlways(a);
    uint32_t size = 0;
    EXPECT_EQ(device.QueryRegion(8, &size), 0x40000u);
    EXPECT_EQ(size, 0x20000u);
    EXPECT_EQ(Last().header.params[0], 8u);

    a.code = CMD_READ_REGION;
    AnswerAlways(a);
    size = 5;
    EXPECT_EQ(device.QueryRegion(8, &size), 0u);
    EXPECT_EQ(size, 0u);
}

struct ReadCase {
    const char* name;
    uint32_t answerBytes;
    uint32_t answerAddress;
    bool want;
    uint32_t wantCopied;
};

class ReadRegionTest : public RegionTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadRegionTest, CopiesWhatFitsAndChecksCountAndAddress) {
    const ReadCase& c = GetParam();
    fake.respond = [&](const test::Sent&) {
        Answer a = Answer::Code(CMD_READ_REGION);
        a.params[0] = c.answerAddress;
        a.payload = Pattern(c.answerBytes);
        return a;
    };
    std::vector<uint8_t> destination(200, 0xCC);
    EXPECT_EQ(device.ReadRegion(0x1000, 100, destination.data(), 4), c.want);
    EXPECT_EQ(Last().header.params[0], 0x1000u);
    EXPECT_EQ(Last().header.params[1], 100u);
    EXPECT_EQ(Last().header.params[4], 4u);
    std::vector<uint8_t> want = Pattern(c.wantCopied);
    want.resize(200, 0xCC);
    EXPECT_EQ(destination, want);
}

INSTANTIATE_TEST_SUITE_P(Answers, ReadRegionTest,
                         ::testing::Values(ReadCase{"Exact", 100, 0x1000, true, 100},
                                           ReadCase{"Short", 60, 0x1000, false, 60},
                                           ReadCase{"Long", 120, 0x1000, false, 100},
                                           ReadCase{"OtherAddress", 100, 0x2000, false, 100}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(RegionTest, ReadRegionAnsweredWithAnotherCodeLeavesTheDestination) {
    Answer a = Answer::Status(0);
    a.payload = Pattern(100);
    AnswerAlways(a);
    std::vector<uint8_t> destination(100, 0xCC);
    EXPECT_FALSE(device.ReadRegion(0, 100, destination.data(), 4));
    EXPECT_EQ(destination, std::vector<uint8_t>(100, 0xCC));
}

TEST_F(RegionTest, PrepareRoundsTheSizeUpTo128KiB) {
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 0}, {1, 0x20000}, {0x20000, 0x20000}, {0x20001, 0x40000}};
    for (const auto& [size, sent] : cases) {
        EXPECT_TRUE(device.PrepareRegion(0x100000, size, nullptr));
        EXPECT_EQ(Last().header.params[0], 0x100000u);
        EXPECT_EQ(Last().header.params[1], sent) << size;
    }
}

TEST_F(RegionTest, PrepareHandsOutTheStatusValue) {
    AnswerAlways(Answer::Status(5, 0, 0xABCD));
    uint32_t status = 0;
    EXPECT_FALSE(device.PrepareRegion(0, 1, &status));
    EXPECT_EQ(status, 0xABCDu);
    AnswerAlways(Answer::Code(RSP_NEXT));
    EXPECT_FALSE(device.PrepareRegion(0, 1, &status));
}

TEST_F(RegionTest, WriteRegionPadsWithZerosAndNeedsRspNext) {
    AnswerAlways(Answer::Code(RSP_NEXT));
    const auto bytes = Pattern(8192, 0xF0);
    // A full block first, so the padding below must be written, not found.
    EXPECT_TRUE(device.WriteRegion(bytes.data(), 0, 8192));
    EXPECT_EQ(Last().header.length, 8192u);
    EXPECT_TRUE(device.WriteRegion(bytes.data(), 0x100040, 100));
    EXPECT_EQ(Last().header.length, 128u);
    EXPECT_EQ(Last().header.params[0], 0x100040u);
    EXPECT_EQ(Last().header.params[1], 100u);
    std::vector<uint8_t> want(bytes.begin(), bytes.begin() + 100);
    want.resize(128, 0);
    EXPECT_EQ(Last().payload, want);

    AnswerAlways(Answer::Code(CMD_REGION_WRITE));
    EXPECT_FALSE(device.WriteRegion(bytes.data(), 0, 32));
}

TEST_F(RegionTest, XLoaderGoesInChunksOfTheChunkSize) {
    fake.respond = [](const test::Sent& s) {
        return Answer::Code(s.header.code == CMD_PROGRAM_XLOADER ? RSP_NEXT : s.header.code);
    };
    const auto image = Pattern(70000);
    EXPECT_EQ(device.ProgramXLoader(image.data(), 70000, 9), 0);
    const auto chunks = fake.SentWith(CMD_PROGRAM_XLOADER);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].header.length, 65536u);
    EXPECT_EQ(chunks[0].header.params[3], 0u);
    EXPECT_EQ(chunks[1].header.length, 4464u);
    EXPECT_EQ(chunks[1].header.params[3], 65536u);
    for (const auto& s : chunks) {
        EXPECT_EQ(s.header.params[0], device.machineType());
        EXPECT_EQ(s.header.params[1], 9u);
        EXPECT_EQ(s.header.params[2], 70000u);
        EXPECT_EQ(s.header.params[4], kTransferMarker);
    }
    Crc32 crc;
    crc.Add(image.data(), image.size());
    EXPECT_EQ(fake.SentWith(CMD_IMAGE_CRC).at(0).header.params[0], crc.Value());
}

TEST_F(RegionTest, EmptyXLoaderAnnouncesTheEmptyChecksumOnly) {
    EXPECT_EQ(device.ProgramXLoader(nullptr, 0, 0), 0);
    EXPECT_EQ(fake.Codes(), std::vector<CommandCode>{CMD_IMAGE_CRC});
    EXPECT_EQ(fake.sent[0].header.params[0], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace brevant
