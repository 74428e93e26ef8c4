// Bringing the writer's clock to the PC's: silently within five minutes, after asking
// beyond that. The writer keeps local wall-clock seconds, as PcClockValue gives them.

#include "update/update_run.h"
#include "update/update_rules.h"

namespace brevant {

namespace {

constexpr const char* kClockQuestion =
    "Your Steno Machine's date/time doesn't match the PC date/time.\nDo you want it to match the PC date/time?";

}  // namespace

int UpdateEngine::SyncClock() {
    const uint32_t pc = PcClockValue();
    uint32_t writer = 0;
    if (device_.ClockTime(&writer, 0, 0) != 0) return 0;
    if (writer == pc) return 0;
    if (AsksBeforeSettingClock(pc, writer) && !ui_.AskYesNo(kClockQuestion, title_)) return 0;
    // Taken afresh, so the time the question stood open does not count.
    device_.ClockTime(nullptr, PcClockValue(), 1);
    return 0;
}

}  // namespace brevant
