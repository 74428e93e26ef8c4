// The log file itself: exact line formats, appending across runs, flushing, and a log that
// cannot be written leaving the program working.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/update_log.h"
#include "sim/virtual_clock.h"

namespace brevant {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class UpdateLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("brevant-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        path = folder / kUpdateLogFileName;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    UpdateLog MakeLog() {
        return UpdateLog([this] { return std::optional<std::string>(path.string()); }, clock, "Brevant Update",
                         "35675.2.0");
    }

    std::filesystem::path folder;
    std::filesystem::path path;
    VirtualClock clock{1796893200 + 5, 3600};  // 10:00:05 local, one hour east of UTC
};

TEST_F(UpdateLogTest, WritesHeaderLinesAndExitWithExactFormats) {
    UpdateLog log = MakeLog();
    log.Open();
    ASSERT_TRUE(log.IsOpen());
    log.Line("USB found Brevant/Brevant II(19), App. Ver. 1.09.00, Build 35000\n");
    log.Line("two\nlines");
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(ReadFile(path),
              "December 10, 2026  10:00:05 - Brevant Update: Build: 35675.2.0\n"
              "December 10, 2026  10:00:05 - USB found Brevant/Brevant II(19), App. Ver. 1.09.00, Build 35000\n"
              "\n"
              "December 10, 2026  10:00:05 - two\nlines\n"
              "December 10, 2026  10:00:05 - Exiting\n");
}

TEST_F(UpdateLogTest, AppendsRunAfterRunAndFlushesEachLine) {
    {
        std::ofstream earlier(path, std::ios::binary);
        earlier << "kept from before\n";
    }
    UpdateLog log = MakeLog();
    log.Open();
    log.Line("first run");
    // Already on disk while the log is still open.
    EXPECT_THAT(ReadFile(path), ::testing::EndsWith(" - first run\n"));
    log.Close();
    clock.Advance(61000);
    log.Open();
    log.Close();
    EXPECT_EQ(ReadFile(path),
              "kept from before\n"
              "December 10, 2026  10:00:05 - Brevant Update: Build: 35675.2.0\n"
              "December 10, 2026  10:00:05 - first run\n"
              "December 10, 2026  10:00:05 - Exiting\n"
              "December 10, 2026  10:01:06 - Brevant Update: Build: 35675.2.0\n"
              "December 10, 2026  10:01:06 - Exiting\n");
}

TEST_F(UpdateLogTest, NowhereToWriteLeavesTheLogClosedAndQuiet) {
    for (auto locate : std::vector<UpdateLog::PathLocator>{
             [] { return std::optional<std::string>(); },
             [this] { return std::optional<std::string>((folder / "missing" / "QZUpdate.log").string()); },
         }) {
        UpdateLog log(locate, clock, "Brevant Update", "35675.2.0");
        log.Open();
        EXPECT_FALSE(log.IsOpen());
        log.Line("ignored");
        log.Close();
        EXPECT_FALSE(log.IsOpen());
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST_F(UpdateLogTest, ALogHeldByAnotherRunIsLeftAlone) {
    UpdateLog first = MakeLog();
    first.Open();
    ASSERT_TRUE(first.IsOpen());
    UpdateLog second = MakeLog();
    second.Open();
    EXPECT_FALSE(second.IsOpen());
    second.Line("must not appear");
    second.Close();
    first.Close();
    EXPECT_THAT(ReadFile(path), ::testing::Not(::testing::HasSubstr("must not appear")));
    // Once the first run has closed it, the next run gets the log again.
    second.Open();
    EXPECT_TRUE(second.IsOpen());
    second.Close();
}

TEST(LogTimestampTest, EnglishMonthsTwoDigitDaysAndTwoBlanks) {
    struct Case {
        LocalTime t;
        const char* text;
    } cases[] = {
        {{2026, 1, 2, 3, 4, 5, 0}, "January 02, 2026  03:04:05"},
        {{1999, 9, 30, 23, 59, 59, 0}, "September 30, 1999  23:59:59"},
        {{2026, 12, 31, 0, 0, 0, 0}, "December 31, 2026  00:00:00"},
        {{2026, 13, 1, 0, 0, 0, 0}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatLogTimestamp(c.t), c.text);
}

TEST(LogTimestampTest, VirtualClockConvertsAcrossDateLines) {
    VirtualClock clock(1796893200, -10 * 3600);  // 09:00 UTC is 23:00 the day before
    EXPECT_EQ(FormatLogTimestamp(clock.ToLocal(clock.UnixSeconds())), "December 09, 2026  23:00:00");
    VirtualClock leap(951782400, 0);  // 2000-02-29
    EXPECT_EQ(FormatLogTimestamp(leap.ToLocal(leap.UnixSeconds())), "February 29, 2000  00:00:00");
}

}  // namespace
}  // namespace brevant
