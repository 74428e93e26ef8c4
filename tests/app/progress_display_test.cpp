// The command-line progress display: a bar redrawn in place on a terminal, a few plain
// lines elsewhere, and the rate taken from the injected clock.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/cli/progress_display.h"
#include "sim/virtual_clock.h"

namespace brevant {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class ProgressDisplayTest : public ::testing::Test {
protected:
    // Each event comes one second after the one before.
    void Feed(ProgressDisplay& display, std::string_view what, std::initializer_list<uint64_t> dones,
              uint64_t total, std::string_view unit) {
        bool first = true;
        for (uint64_t done : dones) {
            if (!first) clock.Advance(1000);
            first = false;
            display.Show({what, done, total, unit});
        }
    }

    VirtualClock clock;
    std::ostringstream out;
};

TEST_F(ProgressDisplayTest, TerminalRedrawsOneLineWithCountsUnitAndRate) {
    ProgressDisplay display(out, true, clock);
    Feed(display, "Application", {0, 1048576, 2097152}, 2097152, "bytes");
    const std::string text = out.str();
    // Redrawn in place: three carriage returns, one line feed when the transfer is complete.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_EQ(text.back(), '\n');
    const std::string last = text.substr(text.rfind('\r') + 1);
    EXPECT_THAT(last, HasSubstr("Application ["));
    EXPECT_THAT(last, HasSubstr("2097152/2097152 bytes"));
    EXPECT_THAT(last, HasSubstr("1.0 MiB/s"));  // 2 MiB in 2 s of the injected clock
    EXPECT_THAT(last, HasSubstr("[##############################]"));
}

TEST_F(ProgressDisplayTest, TerminalBarForBlocksShowsBlockRateAndHalfBar) {
    ProgressDisplay display(out, true, clock);
    Feed(display, "Keyboard scanner", {0, 10, 35}, 70, "blocks");
    const std::string text = out.str();
    const std::string last = text.substr(text.rfind('\r') + 1);
    EXPECT_THAT(last, HasSubstr("35/70 blocks"));
    EXPECT_THAT(last, HasSubstr("17.5 blocks/s"));
    EXPECT_THAT(last, HasSubstr("[###############---------------]"));
    EXPECT_EQ(text.find('\n'), std::string::npos);  // still running: no line feed yet
}

TEST_F(ProgressDisplayTest, TerminalBlanksLeftoversOfALongerLine) {
    ProgressDisplay display(out, true, clock);
    Feed(display, "X", {0, 5}, 1000000, "bytes");  // the first draw has no rate yet: "-- bytes/s"
    clock.Advance(1000);
    display.Show({"X", 6, 1000000, "bytes"});
    const std::string text = out.str();
    const size_t lastStart = text.rfind('\r');
    const size_t previousStart = text.rfind('\r', lastStart - 1);
    EXPECT_GE(text.size() - lastStart, lastStart - previousStart);
}

TEST_F(ProgressDisplayTest, TerminalEndsABrokenOffBarBeforeTheNextTransfer) {
    ProgressDisplay display(out, true, clock);
    Feed(display, "Boot code", {0, 65536}, 475388, "bytes");
    display.Show({"X-Loader", 0, 32256, "bytes"});
    const std::string text = out.str();
    const size_t feed = text.find('\n');
    ASSERT_NE(feed, std::string::npos);
    EXPECT_THAT(text.substr(0, feed), HasSubstr("Boot code"));
    EXPECT_THAT(text.substr(feed), HasSubstr("X-Loader"));
    display.Finish();
    EXPECT_EQ(out.str().back(), '\n');
}

TEST_F(ProgressDisplayTest, PlainOutputWritesStartQuartersAndEndWithRate) {
    ProgressDisplay display(out, false, clock);
    Feed(display, "Keyboard scanner", {0, 1, 2, 10, 17, 18, 35, 53, 69, 70}, 70, "blocks");
    EXPECT_EQ(out.str().find('\r'), std::string::npos);
    EXPECT_THAT(Lines(out.str()), ElementsAre("Keyboard scanner: 0/70 blocks", "Keyboard scanner: 18/70 blocks",
                                              "Keyboard scanner: 35/70 blocks", "Keyboard scanner: 53/70 blocks",
                                              "Keyboard scanner: 70/70 blocks, 7.8 blocks/s"));
}

TEST_F(ProgressDisplayTest, PlainOutputStartsAfreshForEachTransfer) {
    ProgressDisplay display(out, false, clock);
    Feed(display, "WiFi App", {0, 280280}, 280280, "bytes");
    Feed(display, "WiFi App", {0, 280280}, 280280, "bytes");  // the second pass of the same region
    EXPECT_THAT(Lines(out.str()),
                ElementsAre("WiFi App: 0/280280 bytes", "WiFi App: 280280/280280 bytes, 273.7 KiB/s",
                            "WiFi App: 0/280280 bytes", "WiFi App: 280280/280280 bytes, 273.7 KiB/s"));
}

TEST_F(ProgressDisplayTest, EmptyTransferGivesOneLineAndNoDivisionByZero) {
    ProgressDisplay plain(out, false, clock);
    plain.Show({"X-Loader", 0, 0, "bytes"});
    EXPECT_THAT(Lines(out.str()), ElementsAre("X-Loader: 0/0 bytes"));

    std::ostringstream terminalOut;
    ProgressDisplay terminal(terminalOut, true, clock);
    terminal.Show({"X-Loader", 0, 0, "bytes"});
    EXPECT_THAT(terminalOut.str(), HasSubstr("0/0 bytes"));
    EXPECT_THAT(terminalOut.str(), Not(HasSubstr("nan")));
    EXPECT_EQ(terminalOut.str().back(), '\n');
}

}  // namespace
}  // namespace brevant
