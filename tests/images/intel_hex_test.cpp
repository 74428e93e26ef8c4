// The HEX loader's results and the image it leaves, case by case.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "images/intel_hex.h"

namespace brevant {
namespace {

// One record without its line end; the checksum is made right, then bent by `bend`.
std::string Record(uint32_t type, uint32_t address, const std::vector<uint8_t>& data, int bend = 0) {
    char field[16];
    uint32_t sum = uint32_t(data.size()) + (address >> 8 & 0xFF) + (address & 0xFF) + type;
    std::snprintf(field, sizeof field, ":%02X%04X%02X", unsigned(data.size()), address & 0xFFFF, type);
    std::string text = field;
    for (uint8_t b : data) {
        std::snprintf(field, sizeof field, "%02X", b);
        text += field;
        sum += b;
    }
    std::snprintf(field, sizeof field, "%02X", unsigned(0x100 - (sum & 0xFF) + unsigned(bend)) & 0xFF);
    return text + field;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return char(std::tolower(c)); });
    return text;
}

const std::string kEof = ":00000001FF";
const std::string kCrLf = "\r\n";
const std::string kData = Record(0, 0x1000, {0x01, 0x02, 0x03, 0x04});   // the first four bytes

struct HexCase {
    const char* name;
    std::string text;
    int32_t result;
    std::vector<std::pair<uint32_t, uint8_t>> stored;   // every byte that is not 0xFF afterwards
    uint32_t base = 0x1000;
    uint32_t size = 0x100;
};

void PrintTo(const HexCase& c, std::ostream* os) { *os << c.name; }

const std::vector<std::pair<uint32_t, uint8_t>> kFirstFour = {{0, 1}, {1, 2}, {2, 3}, {3, 4}};

class IntelHex : public ::testing::TestWithParam<HexCase> {};

TEST_P(IntelHex, GivesItsResultAndImage) {
    const HexCase& c = GetParam();
    std::vector<uint8_t> image(c.size, 0xFF);
    const auto* text = reinterpret_cast<const uint8_t*>(c.text.data());
    EXPECT_EQ(IntelHexLoader(text, uint32_t(c.text.size()), image.data(), c.size, c.base), c.result);
    std::vector<uint8_t> expected(c.size, 0xFF);
    for (const auto& [offset, value] : c.stored) expected[offset] = value;
    for (uint32_t i = 0; i < c.size; ++i) EXPECT_EQ(image[i], expected[i]) << "offset " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Records, IntelHex,
    ::testing::Values(
        HexCase{"UpperCaseCrLf", kData + kCrLf + kEof + kCrLf, 4, kFirstFour},
        HexCase{"LowerCase", Lower(Record(0, 0x10AB, {0xAB, 0xCD}) + kCrLf + kEof), 2, {{0xAB, 0xAB}, {0xAC, 0xCD}}},
        HexCase{"LfAlone", kData + "\n" + Record(0, 0x1010, {5}) + "\n" + kEof + "\n", 17,
                {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {0x10, 5}}},
        HexCase{"BlankLines", kData + "\r\n\r\n\n\r\n" + kEof, 4, kFirstFour},
        HexCase{"StrayDigitsBetweenRecords", kData + "\r\n0123\r\n" + kEof, 4, kFirstFour},
        // Segment 0x0100 moves records up by 0x1000.
        HexCase{"ExtendedSegment", Record(2, 0, {0x01, 0x00}) + kCrLf + Record(0, 0x0020, {7, 8}) + kCrLf + kEof, 2,
                {{0x20, 7}, {0x21, 8}}},
        HexCase{"ExtendedLinear", Record(4, 0, {0x80, 0x00}) + kCrLf + Record(0, 0x0010, {9}) + kCrLf + kEof, 1,
                {{0x10, 9}}, 0x80000000},
        HexCase{"Type3IsData", Record(3, 0x1008, {0x0A, 0x0B, 0x0C, 0x0D}) + kCrLf + kEof, 4,
                {{8, 0x0A}, {9, 0x0B}, {10, 0x0C}, {11, 0x0D}}},
        HexCase{"Type5ChangesNothing", kData + kCrLf + Record(5, 0, {0x80, 0x00, 0x20, 0x00}) + kCrLf + kEof, 4,
                kFirstFour},
        HexCase{"Type5ChecksumIsChecked", kData + kCrLf + Record(5, 0, {0x80, 0x00, 0x20, 0x00}, 1) + kCrLf + kEof,
                kHexBadRecord, kFirstFour},
        HexCase{"LaterRecordOverwrites", kData + kCrLf + Record(0, 0x1001, {0x22}) + kCrLf + kEof, 4,
                {{0, 1}, {1, 0x22}, {2, 3}, {3, 4}}},
        HexCase{"RecordRunsOnPast0xFFFF", Record(0, 0xFFFE, {1, 2, 3, 4}) + kCrLf + kEof, 4,
                {{0xFFE, 1}, {0xFFF, 2}, {0x1000, 3}, {0x1001, 4}}, 0xF000, 0x2000},
        // The image ends at the top of the address space: base + size does not fit 32 bits.
        HexCase{"ImageAtTopOfAddressSpace", Record(4, 0, {0xFF, 0xFF}) + kCrLf + Record(0, 0xFFF0, {6, 7}) + kCrLf + kEof,
                2, {{0xF0, 6}, {0xF1, 7}}, 0xFFFFFF00},
        HexCase{"EofChecksumIsNotRead", kData + kCrLf + ":00000001FE", 4, kFirstFour},
        HexCase{"RecordsAfterEofIgnored", kData + kCrLf + kEof + kCrLf + Record(0, 0x1010, {5}, 1), 4, kFirstFour},
        HexCase{"ForeignCharacterEndsLoading", kData + kCrLf + " " + Record(0, 0x1010, {5}), 4, kFirstFour},
        HexCase{"LetterBeyondFEndsLoading", kData + "G", 4, kFirstFour},
        HexCase{"WrongChecksum", kData + kCrLf + Record(0, 0x1010, {5, 6}, 1) + kCrLf + kEof, kHexBadRecord,
                {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {0x10, 5}, {0x11, 6}}},
        HexCase{"NoEofRecord", kData + kCrLf, kHexNotHex, kFirstFour},
        HexCase{"EmptyText", "", kHexNotHex, {}},
        HexCase{"LeadingBlank", " " + kData + kCrLf + kEof, kHexNotHex, {}},
        HexCase{"LeadingEmptyLine", kCrLf + kData + kCrLf + kEof, kHexNotHex, {}},
        HexCase{"ByteOrderMark", "\xEF\xBB\xBF" + kData + kCrLf + kEof, kHexNotHex, {}},
        HexCase{"BelowImage", Record(0, 0x0FFF, {1}) + kCrLf + kEof, kHexOutsideImage, {}},
        HexCase{"RunsOutOfImage", Record(0, 0x10FF, {1, 2}) + kCrLf + kEof, kHexOutsideImage, {{0xFF, 1}}},
        // Our choices. A line break or ':' before a record's checksum breaks the record off.
        HexCase{"RecordBrokenByLineEnd", kData.substr(0, kData.size() - 2) + kCrLf + kEof, kHexBadRecord, kFirstFour},
        HexCase{"RecordBrokenByLf", kData.substr(0, 13) + "\n" + kEof, kHexBadRecord, {{0, 1}, {1, 2}}},
        HexCase{"RecordBrokenByColon", kData.substr(0, 11) + kData + kCrLf + kEof, kHexBadRecord, {{0, 1}}},
        // A record with count 0 has its checksum right after the type.
        HexCase{"CountZeroData", Record(0, 0x1000, {}) + kCrLf + Record(0, 0x1004, {6}) + kCrLf + kEof, 1, {{4, 6}}},
        HexCase{"CountZeroType3", Record(3, 0x1000, {}) + kCrLf + kData + kCrLf + kEof, 4, kFirstFour},
        HexCase{"CountZeroType5", Record(5, 0, {}) + kCrLf + kData + kCrLf + kEof, 4, kFirstFour},
        HexCase{"CountZeroChecksumIsChecked", Record(0, 0x1000, {}, 1) + kCrLf + kEof, kHexBadRecord, {}},
        // No data before the end-of-file record is no image.
        HexCase{"EofBeforeData", Record(4, 0, {0, 0}) + kCrLf + kEof, 0, {}},
        HexCase{"OnlyStartAddressBeforeEof", Record(5, 0, {0x80, 0, 0, 0}) + kCrLf + kEof, 0, {}}),
    [](const ::testing::TestParamInfo<HexCase>& p) { return std::string(p.param.name); });

TEST(IntelHexArguments, NoImageMeansEveryDataByteIsOutside) {
    const std::string text = kData + kCrLf + kEof;
    EXPECT_EQ(IntelHexLoader(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), nullptr, 0x100,
                             0x1000),
              kHexOutsideImage);
    EXPECT_EQ(IntelHexLoader(nullptr, 10, nullptr, 0, 0), kHexNotHex);
}

}  // namespace
}  // namespace brevant
