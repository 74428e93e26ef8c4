// The restart: only when one is pending; the pauses of closing, reconnecting and waiting
// for readiness; and the three ways it can fail.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/update/run_fixture.h"

namespace brevant::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class RestartStepTest : public RunFixture {
protected:
    void StartPending(const WriterSettings& settings) {
        Start(settings);
        Identify();
        engine->flags().restartPending = true;
    }
};

TEST_F(RestartStepTest, NothingPendingMeansNoCommandAndNoPause) {
    Identify();
    EXPECT_EQ(engine->RestartDevice(), 0);
    EXPECT_THAT(writer->transcript(), IsEmpty());
    EXPECT_THAT(clock.sleeps(), IsEmpty());
}

// How long the writer stays off the bus decides the reconnect attempts: one pause before
// closing, one per attempt, then one probe.
struct ComeBackCase {
    uint32_t restartSeconds;
    std::vector<std::string> pauses;
};

class RestartComeBackTest : public RestartStepTest, public ::testing::WithParamInterface<ComeBackCase> {};

TEST_P(RestartComeBackTest, ReconnectsAsSoonAsTheWriterIsBack) {
    WriterSettings settings;
    settings.restartSeconds = GetParam().restartSeconds;
    StartPending(settings);
    EXPECT_EQ(engine->RestartDevice(), 0);
    EXPECT_FALSE(engine->flags().restartPending);
    EXPECT_THAT(Exchanges(), ElementsAre("PROGRAM_MODE", "MACHINE_INFO", "PROBE"));
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAreArray(GetParam().pauses));
    EXPECT_THAT(ui.boxes, IsEmpty());
    EXPECT_THAT(log.lines, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Delays, RestartComeBackTest,
                         ::testing::Values(ComeBackCase{0, {"1000 x2", "500"}}, ComeBackCase{3, {"1000 x3", "500"}},
                                           // back just in time for the fifteenth attempt
                                           ComeBackCase{16, {"1000 x16", "500"}}));

TEST_F(RestartStepTest, WriterAwayLongerThanFifteenAttemptsCannotBeReset) {
    WriterSettings settings;
    settings.restartSeconds = 17;
    StartPending(settings);
    EXPECT_EQ(engine->RestartDevice(), 5);
    EXPECT_THAT(ui.errorTexts(), ElementsAre("Unable to reset your writer."));
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAre("1000 x16"));
    EXPECT_TRUE(engine->flags().restartPending);
    EXPECT_THAT(log.lines, IsEmpty());
}

TEST_F(RestartStepTest, ClosedLinkSkipsTheReconnectAndFailsIdentification) {
    StartPending({});
    engine->device().Close();
    EXPECT_EQ(engine->RestartDevice(), 5);
    EXPECT_THAT(ui.errorTexts(), ElementsAre("Unable to program your writer.  Error Code 111"));
    EXPECT_THAT(clock.sleeps(), IsEmpty());
    EXPECT_THAT(writer->transcript(), IsEmpty());
}

TEST_F(RestartStepTest, IdentificationAnsweredWithAnotherCodeFails) {
    StartPending({});
    writer->FailCommand(CMD_MACHINE_INFO, Fault{FaultKind::OtherCode, 0x0042, {}});
    EXPECT_EQ(engine->RestartDevice(), 5);
    EXPECT_THAT(ui.errorTexts(), ElementsAre("Unable to program your writer.  Error Code 1"));
    EXPECT_TRUE(engine->flags().restartPending);
}

struct ProbeCase {
    uint32_t busyProbes;
    int result;
    std::vector<std::string> probes;
};

class RestartProbeTest : public RestartStepTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(RestartProbeTest, WaitsUpToTenProbesHalfASecondApart) {
    WriterSettings settings;
    settings.restartSeconds = 0;
    settings.probeBusy = GetParam().busyProbes;
    StartPending(settings);
    EXPECT_EQ(engine->RestartDevice(), GetParam().result);
    const std::vector<std::string> exchanges = Exchanges();
    ASSERT_EQ(exchanges.size(), 3u);
    EXPECT_EQ(exchanges[2], GetParam().probes[0]);
    std::vector<std::string> expected = {"1000 x2"};
    expected.push_back(GetParam().probes[1]);
    EXPECT_THAT(Pauses(clock.sleeps()), ElementsAreArray(expected));
    if (GetParam().result == 0) {
        EXPECT_THAT(ui.boxes, IsEmpty());
    } else {
        EXPECT_THAT(ui.errorTexts(), ElementsAre("Write is not ready."));
    }
}

INSTANTIATE_TEST_SUITE_P(Busy, RestartProbeTest,
                         ::testing::Values(ProbeCase{0, 0, {"PROBE", "500"}}, ProbeCase{2, 0, {"PROBE x3", "500 x3"}},
                                           ProbeCase{9, 0, {"PROBE x10", "500 x10"}},
                                           ProbeCase{kForever, 5, {"PROBE x10", "500 x10"}}));

TEST_F(RestartStepTest, FreshIdentificationReplacesTheFields) {
    WriterSettings settings;
    settings.bootFlag = 1;
    StartPending(settings);
    ASSERT_EQ(engine->identification().bootMode, 1u);
    // New application code arrives before the restart and starts with it.
    ASSERT_EQ(engine->UpdateApplication(), 0);
    ASSERT_EQ(engine->RestartDevice(), 0);
    EXPECT_EQ(engine->identification().bootMode, 0u);
    EXPECT_EQ(engine->identification().appVersion, 0x02000000u);
    EXPECT_EQ(engine->identification().appBuild, 35675u);
}

}  // namespace
}  // namespace brevant::testing
