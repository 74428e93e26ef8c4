// The clock step on its own: local wall-clock seconds, a writer that does not answer, and
// the PC time taken afresh after the question.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/update/run_fixture.h"

namespace brevant::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Answers Yes after the person has thought about it for a minute.
class SlowYesUi final : public UserInterface {
public:
    explicit SlowYesUi(VirtualClock& clock) : clock_(clock) {}
    void SetStatusText(std::string_view) override {}
    void ShowMessage(std::string_view, std::string_view, BoxIcon) override {}
    bool AskYesNo(std::string_view, std::string_view) override {
        ++questions;
        clock_.Advance(60000);
        return true;
    }
    int questions = 0;

private:
    VirtualClock& clock_;
};

class ClockSyncTest : public RunFixture {};

TEST_F(ClockSyncTest, PcValueIsLocalWallClockSeconds) {
    VirtualClock local(1796893200, 3600);  // an hour east of UTC
    RecordingUi localUi;
    RecordingLog localLog;
    VirtualWriter localWriter(local);
    UpdateEngine localEngine(localWriter, localUi, local, localLog, kTitle, kWelcome);
    EXPECT_EQ(localEngine.PcClockValue(), uint32_t(1796893200 + 3600));
}

TEST_F(ClockSyncTest, UnansweredReadLeavesTheClockAlone) {
    WriterSettings settings;
    settings.clockOffset = 1000;
    Start(settings);
    Identify();
    writer->FailCommand(CMD_CLOCK, Fault{FaultKind::OtherCode, 0x0042, {}});
    EXPECT_EQ(engine->SyncClock(), 0);
    EXPECT_THAT(Exchanges(), ElementsAre("CLOCK_READ"));
    EXPECT_THAT(ui.questions, IsEmpty());
    EXPECT_EQ(writer->settings().clockOffset, 1000);
}

TEST_F(ClockSyncTest, TimeSpentOnTheQuestionDoesNotCount) {
    WriterSettings settings;
    settings.clockOffset = -3600;
    VirtualWriter slowWriter(clock, settings);
    SlowYesUi slowUi(clock);
    UpdateEngine slowEngine(slowWriter, slowUi, clock, log, kTitle, kWelcome);
    ASSERT_EQ(slowEngine.device().Open(), 0);
    ASSERT_EQ(slowEngine.device().GetMachineInfo(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(slowEngine.SyncClock(), 0);
    EXPECT_EQ(slowUi.questions, 1);
    // Set to the PC's time after the answer, so the writer now agrees with the PC.
    EXPECT_EQ(slowWriter.settings().clockOffset, 0);
    EXPECT_EQ(slowWriter.transcript().back().header.params[0], slowEngine.PcClockValue());
}

}  // namespace
}  // namespace brevant::testing
