// Application and boot-code transfers: chunking, wire type, padding, checksum and results.

#include <gtest/gtest.h>

#include "device/device_protocol.h"
#include "images/crc32.h"
#include "tests/device/fake_transport.h"

namespace brevant {
namespace {

using test::Answer;
using test::FakeTransport;
using test::Identity;
using test::Pattern;

uint32_t CrcOf(const std::vector<uint8_t>& bytes) {
    Crc32 crc;
    crc.Add(bytes.data(), bytes.size());
    return crc.Value();
}

// Chunks are answered RSP_NEXT; everything else echoed.
Answer TakeChunks(const test::Sent& s) {
    if (s.header.code == CMD_PROGRAM_APP || s.header.code == CMD_PROGRAM_BOOT || s.header.code == CMD_PROGRAM_XLOADER) {
        return Answer::Code(RSP_NEXT);
    }
    return Answer::Code(s.header.code);
}

class TransferTest : public ::testing::Test {
protected:
    void Identify(uint32_t type, uint32_t version = 0x02000000, uint32_t bootFlag = 0,
                  std::function<Answer(const test::Sent&)> rest = TakeChunks) {
        fake.respond = Identity(type, version, bootFlag, 35675, rest);
        device.Open();
        ASSERT_EQ(device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr), 0);
        fake.sent.clear();
    }
    // Concatenated payloads of the chunks with this code, checking offsets and totals.
    std::vector<uint8_t> Reassemble(CommandCode code, uint32_t wantTotal) const {
        std::vector<uint8_t> bytes;
        for (const test::Sent& s : fake.SentWith(code)) {
            EXPECT_EQ(s.header.params[2], wantTotal);
            EXPECT_EQ(s.header.params[3], bytes.size());
            EXPECT_EQ(s.header.params[4], kTransferMarker);
            bytes.insert(bytes.end(), s.payload.begin(), s.payload.end());
        }
        return bytes;
    }
    std::vector<uint32_t> ChunkLengths(CommandCode code) const {
        std::vector<uint32_t> lengths;
        for (const test::Sent& s : fake.SentWith(code)) lengths.push_back(s.header.length);
        return lengths;
    }
    FakeTransport fake;
    test::RecordingUi ui;
    CTolvaUsb device{fake, &ui};
};

TEST_F(TransferTest, ApplicationOf64KiBGoesInOneChunk) {
    Identify(19);
    const auto image = Pattern(65536);
    EXPECT_EQ(device.ProgramApplication(image.data(), 65536, 19), 0);
    EXPECT_EQ(ChunkLengths(CMD_PROGRAM_APP), std::vector<uint32_t>{65536});
    EXPECT_EQ(Reassemble(CMD_PROGRAM_APP, 65536), image);
}

TEST_F(TransferTest, ApplicationOneByteLongerTakesASecondChunk) {
    Identify(19);
    const auto image = Pattern(65537);
    EXPECT_EQ(device.ProgramApplication(image.data(), 65537, 19), 0);
    EXPECT_EQ(ChunkLengths(CMD_PROGRAM_APP), (std::vector<uint32_t>{65536, 1}));
    EXPECT_EQ(Reassemble(CMD_PROGRAM_APP, 65537), image);
    EXPECT_EQ(fake.sent[0].header.params[0], 19u);
    EXPECT_EQ(fake.sent[0].header.params[1], 0u);
    // Progress per chunk, labelled.
    ASSERT_FALSE(ui.progress.empty());
    EXPECT_EQ(ui.progressLabels.back(), "Application");
    EXPECT_EQ(ui.progress.back().done, 65537u);
    EXPECT_EQ(ui.progress.back().total, 65537u);
}

TEST_F(TransferTest, ApplicationForAnotherTypeOrEmptySendsNothing) {
    Identify(19);
    const auto image = Pattern(10);
    EXPECT_EQ(device.ProgramApplication(image.data(), 10, 18), kResultWrongMachineType);
    EXPECT_EQ(device.ProgramApplication(image.data(), 0, 19), 0);
    EXPECT_TRUE(fake.sent.empty());
}

struct WireCase {
    const char* name;
    uint32_t reportedType, version, bootFlag;
    MachineType imageType;
    uint32_t wantWire;
};

class WireTypeTest : public TransferTest, public ::testing::WithParamInterface<WireCase> {};

TEST_P(WireTypeTest, RemappedWritersAreProgrammedAsType3) {
    const WireCase& c = GetParam();
    Identify(c.reportedType, c.version, c.bootFlag);
    ASSERT_EQ(device.machineType(), c.imageType);
    const auto image = Pattern(4);
    ASSERT_EQ(device.ProgramApplication(image.data(), 4, c.imageType), 0);
    EXPECT_EQ(fake.sent.at(0).header.params[0], c.wantWire);
}

INSTANTIATE_TEST_SUITE_P(Types, WireTypeTest,
                         ::testing::Values(WireCase{"Type4BootV53", 4, 0x53, 1, 4, 3},
                                           WireCase{"Type4BootV54", 4, 0x54, 1, 4, 4},
                                           WireCase{"Type4AppV53", 4, 0x53, 0, 4, 4},
                                           WireCase{"Type3BootV52RemappedTo4", 3, 0x52, 1, 4, 3},
                                           WireCase{"Type5BootV62", 5, 0x62, 1, 5, 3},
                                           WireCase{"Type5BootV63", 5, 0x63, 1, 5, 5}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(TransferTest, ChunkSizeOfType6AppliesToBootCodeOnly) {
    Identify(6);
    const auto image = Pattern(70000);
    EXPECT_EQ(device.ProgramApplication(image.data(), 70000, 6), 0);
    EXPECT_EQ(ChunkLengths(CMD_PROGRAM_APP), (std::vector<uint32_t>{65536, 4464}));
    EXPECT_EQ(device.ProgramBootCode(image.data(), 20000, 0), 0);
    EXPECT_EQ(ChunkLengths(CMD_PROGRAM_BOOT), (std::vector<uint32_t>{8192, 8192, 3616}));
    // Other types send the boot code unpadded, with no geometry query.
    EXPECT_TRUE(fake.SentWith(CMD_FLASH_GEOMETRY).empty());
}

struct ResultCase {
    const char* name;
    Answer secondChunk;
    int want;
};

class TransferResultTest : public TransferTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(TransferResultTest, SecondChunkDecidesTheResult) {
    const ResultCase& c = GetParam();
    for (const CommandCode code : {CMD_PROGRAM_APP, CMD_PROGRAM_BOOT, CMD_PROGRAM_XLOADER}) {
        SCOPED_TRACE(code);
        int chunks = 0;
        Identify(19, 0x02000000, 0, [&](const test::Sent& s) {
            if (s.header.code != code) return Answer::Code(s.header.code);
            return ++chunks == 2 ? c.secondChunk : Answer::Code(RSP_NEXT);
        });
        const auto image = Pattern(3 * 65536);
        int result = 0;
        if (code == CMD_PROGRAM_APP) result = device.ProgramApplication(image.data(), uint32_t(image.size()), 19);
        if (code == CMD_PROGRAM_BOOT) result = device.ProgramBootCode(image.data(), uint32_t(image.size()), 0);
        if (code == CMD_PROGRAM_XLOADER) result = device.ProgramXLoader(image.data(), uint32_t(image.size()), 0);
        EXPECT_EQ(result, c.want);
        EXPECT_EQ(fake.SentWith(code).size(), 2u);  // nothing after the deciding chunk
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, TransferResultTest,
                         ::testing::Values(ResultCase{"Status3", Answer::Status(3), 3},
                                           ResultCase{"Status0EndsEarlyWithSuccess", Answer::Status(0), 0},
                                           ResultCase{"Echo", Answer::Code(CMD_PROGRAM_APP), kResultNoValidResponse},
                                           ResultCase{"OtherCode", Answer::Code(CMD_SHOW_TEXT), kResultNoValidResponse},
                                           ResultCase{"Silence", Answer::Silence(), kResultChunkUnanswered}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(TransferTest, GeometryCopiesUpToCapacityAndReportsTheFullLength) {
    Identify(16, 0x02000000, 0, [](const test::Sent& s) {
        Answer a = Answer::Code(s.header.code);
        a.payload = Pattern(60);
        return a;
    });
    uint8_t block[44 + 4];
    std::memset(block, 0xAB, sizeof block);
    EXPECT_EQ(device.GetFlashGeometry(4, block, 44), 60u);
    EXPECT_EQ(fake.sent.back().header.params[0], 4u);
    EXPECT_EQ(std::vector<uint8_t>(block, block + 44), Pattern(44));
    EXPECT_EQ(block[44], 0xAB);
    fake.respond = [](const test::Sent&) { return Answer::Status(1); };
    EXPECT_EQ(device.GetFlashGeometry(4, block, 44), 0u);
}

struct PaddingCase {
    const char* name;
    uint32_t imageLength;
    int geometryBytes;  // -1: the query fails with another code
    uint32_t word9, word10;
    uint32_t wantPadded, wantSector, wantReserved;
};

class BootPaddingTest : public TransferTest, public ::testing::WithParamInterface<PaddingCase> {};

TEST_P(BootPaddingTest, PadsToWholeSectorsWithFF) {
    const PaddingCase& c = GetParam();
    Identify(16, 0x02000000, 0, [&](const test::Sent& s) {
        if (s.header.code != CMD_FLASH_GEOMETRY) return TakeChunks(s);
        if (c.geometryBytes < 0) return Answer::Code(CMD_SHOW_TEXT);
        Answer a = Answer::Code(CMD_FLASH_GEOMETRY);
        a.payload.assign(44, 0);
        StoreLe32(&a.payload[36], c.word9);
        StoreLe32(&a.payload[40], c.word10);
        a.payload.resize(size_t(c.geometryBytes));
        return a;
    });
    const auto image = Pattern(c.imageLength);
    EXPECT_EQ(device.ProgramBootCode(image.data(), c.imageLength, 7), 0);
    EXPECT_EQ(device.sectorSize(), c.wantSector);
    EXPECT_EQ(device.reservedSize(), c.wantReserved);
    std::vector<uint8_t> want = image;
    want.resize(c.wantPadded, 0xFF);
    const auto chunks = fake.SentWith(CMD_PROGRAM_BOOT);
    EXPECT_EQ(Reassemble(CMD_PROGRAM_BOOT, c.wantPadded), want);
    for (const auto& s : chunks) {
        EXPECT_EQ(s.header.params[0], 16u);
        EXPECT_EQ(s.header.params[1], 7u);
    }
    // The checksum is announced first and covers the fill.
    const auto crcs = fake.SentWith(CMD_IMAGE_CRC);
    ASSERT_EQ(crcs.size(), 1u);
    EXPECT_EQ(crcs[0].header.params[0], CrcOf(want));
    EXPECT_EQ(fake.Codes().at(1), CMD_IMAGE_CRC);
}

INSTANTIATE_TEST_SUITE_P(
    Geometries, BootPaddingTest,
    ::testing::Values(PaddingCase{"FitsOneSector", 129016, 44, 0, 0, 131072, 0x20000, 0x800},
                      PaddingCase{"OneByteMoreTakesTwo", 129017, 44, 0, 0, 262144, 0x20000, 0x800},
                      PaddingCase{"Empty", 0, 44, 0, 0, 0, 0x20000, 0x800},
                      PaddingCase{"SixtyFourKiBSectors", 1000, 44, 65536, 0, 65536, 65536, 0x800},
                      PaddingCase{"SixtyFourKiBTwoSectors", 63481, 44, 65536, 0, 131072, 65536, 0x800},
                      PaddingCase{"ShortReplyKeepsDefaults", 1000, 20, 65536, 4096, 131072, 0x20000, 0x800},
                      PaddingCase{"ReservedFromGeometry", 126969, 44, 0, 4096, 262144, 0x20000, 4096},
                      // Longer than two sectors: padded to whole sectors of its own length.
                      PaddingCase{"LongerThanTwoSectors", 140000, 44, 65536, 0, 196608, 65536, 0x800}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(TransferTest, FailedGeometryQueryLeavesDefaultsAndTheTransferFails) {
    Identify(17, 0x02000000, 0, [](const test::Sent& s) {
        return s.header.code == CMD_FLASH_GEOMETRY ? Answer::Silence() : TakeChunks(s);
    });
    const auto image = Pattern(100);
    EXPECT_EQ(device.ProgramBootCode(image.data(), 100, 0), kResultChunkUnanswered);
    EXPECT_EQ(device.sectorSize(), 0x20000u);
    EXPECT_EQ(device.reservedSize(), 0x800u);
}

TEST_F(TransferTest, EmptyBootCodeAnnouncesTheEmptyChecksumOnly) {
    Identify(19);
    EXPECT_EQ(device.ProgramBootCode(nullptr, 0, 0), 0);
    EXPECT_EQ(fake.Codes(), std::vector<CommandCode>{CMD_IMAGE_CRC});
    EXPECT_EQ(fake.sent[0].header.params[0], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace brevant
