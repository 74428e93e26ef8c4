// The decoder against the plain reference and the project's encoder: round trips, streams the
// parser would never make, garbage, truncation and the argument guards.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "images/image_resources.h"
#include "images/lzari_decoder.h"
#include "images/lzari_encoder.h"
#include "lzari_reference.h"

namespace brevant {
namespace {

constexpr uint8_t kCanary = 0xA5;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> Random(size_t n, uint32_t seed, uint32_t alphabet = 256) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> data(n);
    for (uint8_t& b : data) b = uint8_t(rng() % alphabet);
    return data;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> stream;
    EXPECT_TRUE(EncodeLzari(data.data(), data.size(), stream));
    return stream;
}

// Decodes into a buffer with room for the overshoot and a canary zone after it.
struct Decoded {
    std::vector<uint8_t> bytes;   // what Decode reported
    uint32_t count = 0;
    DecodeStatus status = DecodeStatus::NothingDone;
    bool canaryIntact = true;
};

Decoded DecodeStream(const std::vector<uint8_t>& stream, uint32_t textSize) {
    std::vector<uint8_t> out(size_t(textSize) + lzari::kMaxOvershoot + 64, kCanary);
    CArithmeticCompression decoder;
    Decoded result;
    result.count = decoder.Decode(stream.data(), uint32_t(stream.size()), out.data(), textSize);
    result.status = decoder.Status();
    for (size_t i = size_t(textSize) + lzari::kMaxOvershoot; i < out.size(); ++i)
        result.canaryIntact = result.canaryIntact && out[i] == kCanary;
    out.resize(result.count);
    result.bytes = std::move(out);
    return result;
}

struct RoundTripCase {
    const char* name;
    std::vector<uint8_t> data;
};
void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class LzariRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(LzariRoundTrip, DecodesExactlyAndAgreesWithTheReference) {
    const std::vector<uint8_t>& data = GetParam().data;
    const std::vector<uint8_t> stream = Encode(data);
    if (data.empty()) return;   // nothing to decode; the container test covers empty images
    const Decoded decoded = DecodeStream(stream, uint32_t(data.size()));
    EXPECT_EQ(decoded.status, DecodeStatus::Complete);
    EXPECT_EQ(decoded.count, data.size());
    EXPECT_TRUE(decoded.bytes == data);
    EXPECT_TRUE(decoded.canaryIntact);
    testing::ReferenceLzari reference;
    EXPECT_TRUE(reference.Decode(stream.data(), uint32_t(stream.size()), uint32_t(data.size())) == data);
}

std::vector<uint8_t> Text() {
    std::string text;
    const char* words[] = {"steno ", "writer ", "update ", "the ", "firmware ", "stroke\r\n", "key ", "%d "};
    std::mt19937 rng(7);
    while (text.size() < 30000) text += words[rng() % 8];
    return Bytes(text);
}

std::vector<uint8_t> Periodic(size_t n, size_t period) {
    std::vector<uint8_t> data(n);
    for (size_t i = 0; i < n; ++i) data[i] = uint8_t('a' + i % period);
    return data;
}

std::vector<uint8_t> EveryByte() {
    std::vector<uint8_t> data;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b) data.push_back(uint8_t(b));
    return data;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, LzariRoundTrip,
    ::testing::Values(RoundTripCase{"Empty", {}}, RoundTripCase{"OneByte", {0x42}},
                      RoundTripCase{"TwoBytes", {0x00, 0xFF}},
                      RoundTripCase{"Blanks", Bytes(std::string(300, ' ') + "then text")},
                      RoundTripCase{"LongRun", std::vector<uint8_t>(100000, 0)},
                      RoundTripCase{"ShortPeriod", Periodic(20000, 7)},
                      RoundTripCase{"PeriodOfMaxMatch", Periodic(5000, 60)},
                      RoundTripCase{"Random", Random(50000, 1)},   // > 32767 symbols: model halves
                      RoundTripCase{"SmallAlphabet", Random(40000, 2, 4)}, RoundTripCase{"Text", Text()},
                      RoundTripCase{"EveryByte", EveryByte()}),
    [](const ::testing::TestParamInfo<RoundTripCase>& p) { return std::string(p.param.name); });

TEST(LzariRoundTrip, RepeatsFartherThanTheWindowAreCodedAfresh) {
    // The second copy starts 4100 bytes back, out of reach: matches must never reach that far.
    std::vector<uint8_t> data = Random(4100, 11);
    const std::vector<uint8_t> copy = data;
    data.insert(data.end(), copy.begin(), copy.end());
    const std::vector<uint8_t> stream = Encode(data);
    EXPECT_TRUE(DecodeStream(stream, uint32_t(data.size())).bytes == data);
}

// Streams written symbol by symbol: what a parser never emits, but a stream may say.
struct SymbolCase {
    const char* name;
    std::vector<uint32_t> symbols;   // a byte b as b, a match as 0x10000 * length + distance
    uint32_t textSize;
    std::vector<uint8_t> expected;   // everything Decode writes, overshoot included
};

std::vector<uint8_t> Repeat(const std::string& unit, size_t n) {
    std::string s;
    while (s.size() < n) s += unit;
    return Bytes(s.substr(0, n));
}

void PrintTo(const SymbolCase& c, std::ostream* os) { *os << c.name; }

class LzariSymbols : public ::testing::TestWithParam<SymbolCase> {};

TEST_P(LzariSymbols, DecodeToWhatTheyDescribe) {
    const SymbolCase& c = GetParam();
    LzariSymbolWriter writer;
    for (uint32_t s : c.symbols) {
        if (s < 256) writer.Literal(uint8_t(s));
        else writer.Match(s >> 16, s & 0xFFFF);
    }
    std::vector<uint8_t> stream;
    ASSERT_TRUE(writer.Finish(stream));
    const Decoded decoded = DecodeStream(stream, c.textSize);
    EXPECT_EQ(decoded.status, DecodeStatus::Complete);
    EXPECT_EQ(decoded.count, c.expected.size());
    EXPECT_TRUE(decoded.bytes == c.expected);
    EXPECT_TRUE(decoded.canaryIntact);
    testing::ReferenceLzari reference;
    EXPECT_TRUE(reference.Decode(stream.data(), uint32_t(stream.size()), c.textSize) == c.expected);
}

constexpr uint32_t M(uint32_t length, uint32_t distance) { return length << 16 | distance; }

INSTANTIATE_TEST_SUITE_P(
    Streams, LzariSymbols,
    ::testing::Values(
        // The whole last match is copied, so the count runs past the text size.
        SymbolCase{"LastMatchOvershoots", {'a', 'b', 'c', M(20, 3)}, 10, Repeat("abc", 23)},
        SymbolCase{"LongestOvershoot", {'x', 'y', M(60, 2)}, 3, Repeat("xy", 62)},
        // Before any output the ring holds blanks behind the first position...
        SymbolCase{"MatchIntoBlanks", {M(5, 1), 'z'}, 6, Bytes("     z")},
        SymbolCase{"MatchAcrossBlanksIntoText", {'q', M(4, 3)}, 5, Bytes("q  q ")},
        // ...and, furthest back, the 60 positions not yet written, which read as zero.
        SymbolCase{"MatchIntoUnwrittenRing", {'k', M(3, 4096)}, 4, {'k', 0, 0, 0}},
        SymbolCase{"SelfOverlappingMatch", {'r', M(59, 1)}, 60, std::vector<uint8_t>(60, 'r')}),
    [](const ::testing::TestParamInfo<SymbolCase>& p) { return std::string(p.param.name); });

TEST(LzariSymbols, OutOfRangeMatchesAreRefused) {
    for (uint32_t s : {M(2, 1), M(61, 1), M(3, 0), M(3, 4097)}) {
        LzariSymbolWriter writer;
        writer.Match(s >> 16, s & 0xFFFF);
        std::vector<uint8_t> stream;
        EXPECT_FALSE(writer.Finish(stream)) << std::hex << s;
    }
}

// Any byte string is a stream: the optimised decoder must make every decision the reference
// makes, stopping early only when the stream runs dry.
TEST(LzariGarbage, DecodesLikeTheReferenceUntilTheStreamRunsOut) {
    testing::ReferenceLzari reference;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const std::vector<uint8_t> stream = Random(1 + seed * 97 % 3000, seed);
        const uint32_t textSize = 20000;
        const Decoded decoded = DecodeStream(stream, textSize);
        const std::vector<uint8_t> expected = reference.Decode(stream.data(), uint32_t(stream.size()), textSize);
        EXPECT_TRUE(decoded.canaryIntact) << seed;
        ASSERT_LE(decoded.bytes.size(), expected.size()) << seed;
        EXPECT_TRUE(std::equal(decoded.bytes.begin(), decoded.bytes.end(), expected.begin())) << seed;
        if (decoded.status == DecodeStatus::Complete) {
            EXPECT_EQ(decoded.bytes.size(), expected.size()) << seed;
        } else {
            EXPECT_EQ(decoded.status, DecodeStatus::Truncated) << seed;
        }
    }
}

TEST(LzariGarbage, AStreamFarTooShortForItsTextIsTruncated) {
    const std::vector<uint8_t> stream = Random(64, 5);
    const Decoded decoded = DecodeStream(stream, 1000000);
    EXPECT_EQ(decoded.status, DecodeStatus::Truncated);
    EXPECT_LT(decoded.count, 1000000u);
}

// Cut a small container at every length: each cut either still decodes to the full length or
// is reported corrupt, and is never read past (the copy is exactly as long as the cut). Within
// the allowance past the end a cut may go unnoticed; a cut that loses a quarter of the stream
// cannot be papered over by the zero bits the decoder reads there.
TEST(LzariTruncation, EveryCutDecodesOrIsReported) {
    const std::vector<uint8_t> original = Text();
    const std::vector<uint8_t> sample(original.begin(), original.begin() + 3000);
    std::vector<uint8_t> container;
    ASSERT_TRUE(PackImageContainer(sample.data(), uint32_t(sample.size()), container));
    for (size_t cut = 0; cut <= container.size(); ++cut) {
        const std::vector<uint8_t> piece(container.begin(), container.begin() + cut);
        const LoadedImage image = LoadImageFromContainer(piece.data(), uint32_t(piece.size()), kImageSlack);
        if (cut < 4) {
            EXPECT_EQ(image.error, ImageLoadError::MalformedContainer) << cut;
            continue;
        }
        if (image.ok()) {
            // The lost tail read as zero bits: the text may end differently, overshoot included.
            EXPECT_GE(image.length, sample.size()) << cut;
            EXPECT_LE(image.length, sample.size() + lzari::kMaxOvershoot) << cut;
        } else {
            EXPECT_EQ(image.error, ImageLoadError::CorruptStream) << cut;
        }
        if (cut <= container.size() * 3 / 4) {
            EXPECT_EQ(image.error, ImageLoadError::CorruptStream) << cut;
        }
        if (cut == container.size()) {
            ASSERT_TRUE(image.ok());
            EXPECT_EQ(std::memcmp(image.bytes.get(), sample.data(), sample.size()), 0);
        }
    }
}

TEST(LzariArguments, NullOrZeroDecodeNothingAndWriteNothing) {
    const std::vector<uint8_t> stream = Encode(Bytes("hello"));
    struct Case {
        bool input, output;
        uint32_t inputLength, textSize;
    };
    const Case cases[] = {{false, true, uint32_t(stream.size()), 5}, {true, false, uint32_t(stream.size()), 5},
                          {true, true, 0, 5}, {true, true, uint32_t(stream.size()), 0},
                          {true, true, uint32_t(stream.size()), CArithmeticCompression::kMaxTextSize + 1}};
    for (const Case& c : cases) {
        std::vector<uint8_t> out(128, kCanary);
        CArithmeticCompression decoder;
        const uint32_t count = decoder.Decode(c.input ? stream.data() : nullptr, c.inputLength,
                                              c.output ? out.data() : nullptr, c.textSize);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(decoder.Status(), DecodeStatus::NothingDone);
        EXPECT_FALSE(decoder.Corrupt());
        EXPECT_EQ(std::count(out.begin(), out.end(), kCanary), 128);
    }
}

TEST(LzariArguments, OneDecoderDecodesStreamAfterStreamFromAFreshModel) {
    const std::vector<uint8_t> texts[] = {Text(), Random(5000, 9, 16)};
    const std::vector<uint8_t> streams[] = {Encode(texts[0]), Encode(texts[1])};
    CArithmeticCompression decoder;
    for (int call = 0; call < 4; ++call) {
        const std::vector<uint8_t>& text = texts[call % 2];
        const std::vector<uint8_t>& stream = streams[call % 2];
        std::vector<uint8_t> out(text.size() + lzari::kMaxOvershoot);
        EXPECT_EQ(decoder.Decode(stream.data(), uint32_t(stream.size()), out.data(), uint32_t(text.size())),
                  text.size());
        out.resize(text.size());
        EXPECT_TRUE(out == text) << call;
    }
}

}  // namespace
}  // namespace brevant
