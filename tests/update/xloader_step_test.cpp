// The X-Loader step on its own: read-back, checksum and version-text comparison, what is
// logged, the flags it leaves, and read-backs whose version text is odd or missing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/update/run_fixture.h"

namespace brevant::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint32_t kXLoaderImage = 189;

class XLoaderStepTest : public RunFixture {
protected:
    // The built-in image with its version text replaced and its last byte changed, as another
    // X-Loader would hold it: the checksums always differ, so the texts decide.
    static std::vector<uint8_t> ImageWithText(const char* text) {
        std::vector<uint8_t> bytes = BuiltInImage(kXLoaderImage);
        const std::string marker = "X-Loader ";
        auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
        EXPECT_NE(at, bytes.end());
        const size_t offset = size_t(at - bytes.begin());
        const size_t old = std::strlen(reinterpret_cast<const char*>(&bytes[offset]));
        std::fill(bytes.begin() + std::ptrdiff_t(offset), bytes.begin() + std::ptrdiff_t(offset + old), uint8_t(0));
        std::memcpy(&bytes[offset], text, std::strlen(text) + 1);
        bytes.back() = uint8_t(~bytes.back());
        return bytes;
    }
    void LoadWriter(const std::vector<uint8_t>& bytes) {
        Start();
        ASSERT_TRUE(writer->LoadRegion(kRegionXLoader, bytes));
        Identify();
    }
};

TEST_F(XLoaderStepTest, DoneFlagMakesTheCallFree) {
    Identify();
    engine->flags().xLoaderDone = true;
    EXPECT_EQ(engine->UpdateXLoader(), 0);
    EXPECT_THAT(writer->transcript(), IsEmpty());
    EXPECT_THAT(ui.statusTexts, IsEmpty());
}

TEST_F(XLoaderStepTest, MachineWithoutAnXLoaderImageOnlyClearsTheDisplay) {
    WriterSettings settings;
    settings.machineType = 17;  // its catalogue record carries no X-Loader
    Start(settings);
    Identify();
    EXPECT_EQ(engine->UpdateXLoader(), 0);
    EXPECT_THAT(Exchanges(), ElementsAre("PROBE"));
    EXPECT_THAT(log.lines, IsEmpty());
    EXPECT_THAT(ui.statusTexts, IsEmpty());
    EXPECT_FALSE(engine->flags().xLoaderDone);
}

TEST_F(XLoaderStepTest, ReadBackEqualToTheImageSetsDoneWithoutALogLine) {
    LoadWriter(BuiltInImage(kXLoaderImage));
    EXPECT_EQ(engine->UpdateXLoader(), 0);
    EXPECT_TRUE(engine->flags().xLoaderDone);
    EXPECT_THAT(log.lines, IsEmpty());
    // One read: the whole image fits one block of the chunk size.
    EXPECT_THAT(Exchanges(), ElementsAre("SHOW_TEXT", "REGION_QUERY", "READ_REGION", "PROBE"));
    const SimRequest& read = writer->transcript()[2];
    EXPECT_EQ(read.header.params[0], kSimXLoaderStart);
    EXPECT_EQ(read.header.params[1], BuiltInImage(kXLoaderImage).size());
    EXPECT_EQ(read.header.params[4], 4u);
    EXPECT_THAT(ui.statusTexts, ElementsAre("\n\nChecking XLoader..."));
    EXPECT_EQ(writer->storage().displayText, "");
}

// What the version texts decide once the checksums differ.
struct TextCase {
    const char* name;
    const char* writerText;  // replaces the image's text in the writer's copy
    bool programmed;
    const char* logLine;
};

class XLoaderTextTest : public XLoaderStepTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(XLoaderTextTest, ProgramsOnlyWhenTheImageTextIsGreater) {
    LoadWriter(ImageWithText(GetParam().writerText));
    EXPECT_EQ(engine->UpdateXLoader(), 0);
    EXPECT_EQ(engine->flags().xLoaderDone, GetParam().programmed);
    EXPECT_FALSE(engine->flags().restartPending);
    if (GetParam().programmed) {
        EXPECT_THAT(log.lines, ElementsAre(GetParam().logLine, "Sending XLoader Brevant/Brevant II..."));
        EXPECT_THAT(ui.statusTexts,
                    ElementsAre("\n\nChecking XLoader...", "\n\nSending XLoader Brevant/Brevant II..."));
        EXPECT_EQ(RegionStart(kRegionXLoader, BuiltInImage(kXLoaderImage).size()), BuiltInImage(kXLoaderImage));
    } else {
        EXPECT_THAT(log.lines, ElementsAre(GetParam().logLine));
        EXPECT_EQ(writer->storage().xLoaderTransfer.chunksTaken, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, XLoaderTextTest,
    ::testing::Values(
        TextCase{"Older", "X-Loader 5.00 (", true, "Old X-Loader 5.00 (, programming X-Loader 6.00 ("},
        // By bytes, not by number: "1" sorts before "6".
        TextCase{"TenSortsBelowSix", "X-Loader 10.00 (", true, "Old X-Loader 10.00 (, programming X-Loader 6.00 ("},
        TextCase{"SameTextOtherBytes", "X-Loader 6.00 (", false,
                 "Has newer version: X-Loader 6.00 ( then X-Loader 6.00 ("},
        TextCase{"Newer", "X-Loader 7.00 (", false, "Has newer version: X-Loader 7.00 ( then X-Loader 6.00 ("},
        TextCase{"PrefixIsSmaller", "X-Loader 6.00", true, "Old X-Loader 6.00, programming X-Loader 6.00 ("}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(XLoaderStepTest, SameTextOtherBytesIsCheckedAgainByTheSecondCall) {
    LoadWriter(ImageWithText("X-Loader 6.00 ("));
    ASSERT_EQ(engine->UpdateXLoader(), 0);
    ASSERT_EQ(engine->UpdateXLoader(), 0);
    EXPECT_THAT(log.lines, ElementsAre("Has newer version: X-Loader 6.00 ( then X-Loader 6.00 (",
                                       "Has newer version: X-Loader 6.00 ( then X-Loader 6.00 ("));
}

TEST_F(XLoaderStepTest, WriterWithoutAVersionTextIsProgrammed) {
    std::vector<uint8_t> bytes(BuiltInImage(kXLoaderImage).size(), 0x5A);  // no marker anywhere
    LoadWriter(bytes);
    EXPECT_EQ(engine->UpdateXLoader(), 0);
    EXPECT_THAT(log.lines, ElementsAre("Old , programming X-Loader 6.00 (", "Sending XLoader Brevant/Brevant II..."));
    EXPECT_TRUE(engine->flags().xLoaderDone);
}

TEST_F(XLoaderStepTest, VersionTextRunningToTheEndOfTheReadBackStaysInsideIt) {
    // The marker near the end and no NUL after it: the text ends with the buffer.
    std::vector<uint8_t> bytes(BuiltInImage(kXLoaderImage).size(), 'Z');
    const std::string marker = "X-Loader 5";
    std::copy(marker.begin(), marker.end(), bytes.end() - 300);
    LoadWriter(bytes);
    EXPECT_EQ(engine->UpdateXLoader(), 0);
    ASSERT_EQ(log.lines.size(), 2u);
    // Shortened for the log: 200 bytes of the writer's text.
    EXPECT_EQ(log.lines[0], "Old X-Loader 5" + std::string(190, 'Z') + ", programming X-Loader 6.00 (");
    EXPECT_TRUE(engine->flags().xLoaderDone);
}

TEST_F(XLoaderStepTest, FailedReadBackIsReportedAndClearsTheDisplay) {
    Identify();
    writer->FailCommand(CMD_READ_REGION, Fault{FaultKind::OtherCode, 0x0042, {}});
    EXPECT_EQ(engine->UpdateXLoader(), 1);
    EXPECT_THAT(ui.errorTexts(), ElementsAre("Failed to read x-Loader Image!"));
    EXPECT_THAT(log.lines, ElementsAre("Failed to read x-Loader Image!"));
    EXPECT_THAT(Exchanges(), ElementsAre("SHOW_TEXT", "REGION_QUERY", "READ_REGION", "PROBE"));
    EXPECT_FALSE(engine->flags().xLoaderDone);
    EXPECT_FALSE(engine->flags().restartPending);
}

TEST_F(XLoaderStepTest, UnansweredRegionQueryReadsFromAddressZero) {
    Identify();
    writer->FailCommand(CMD_REGION_QUERY, Fault{FaultKind::OtherCode, 0x0042, {}});
    EXPECT_EQ(engine->UpdateXLoader(), 1);  // nothing is held at address 0
    EXPECT_EQ(writer->transcript()[2].header.params[0], 0u);
}

TEST_F(XLoaderStepTest, RefusedTransferAsksForARestartInsteadOfFailing) {
    WriterSettings settings;
    settings.knob(WriterComponent::XLoader).refuse = 1;
    Start(settings);
    Identify();
    EXPECT_EQ(engine->UpdateXLoader(), 0);
    EXPECT_TRUE(engine->flags().restartPending);
    EXPECT_FALSE(engine->flags().xLoaderDone);
    EXPECT_THAT(ui.boxes, IsEmpty());
    EXPECT_EQ(Exchanges().back(), "PROBE");
}

}  // namespace
}  // namespace brevant::testing
