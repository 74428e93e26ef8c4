// Restarting the writer: leave programming mode, let it drop off the bus and come back,
// identify it afresh and wait until it answers. Nothing here is logged; the person only
// hears of a failure.

#include "update/message_buffer.h"
#include "update/update_run.h"

namespace brevant {

namespace {

constexpr uint32_t kPauseBeforeCloseMilliseconds = 1000;
constexpr int kReconnectAttempts = 15;
constexpr uint32_t kReconnectPauseMilliseconds = 1000;
constexpr int kReadinessProbes = 10;
constexpr uint32_t kReadinessPauseMilliseconds = 500;

}  // namespace

int UpdateEngine::RestartDevice() {
    if (!flags_.restartPending) return 0;
    device_.SetProgramMode(0);

    ShortMessage m;
    // A link that is already gone has nothing to reconnect; identification below then
    // fails on the closed link and says so.
    if (device_.IsOpen()) {
        clock_.Sleep(kPauseBeforeCloseMilliseconds);
        device_.Close();
        for (int attempt = 0; attempt < kReconnectAttempts; ++attempt) {
            clock_.Sleep(kReconnectPauseMilliseconds);
            device_.Open();
            if (device_.IsOpen()) break;
        }
        if (!device_.IsOpen()) {
            ui_.ShowError(m.Format("Unable to reset your writer."));
            return 5;
        }
    }

    const int r = device_.GetMachineInfo(nullptr, &id_.appVersion, &id_.bootMode, &id_.appBuild);
    if (r != 0) {
        ui_.ShowError(m.Format("Unable to program your writer.  Error Code %d", r));
        return 5;
    }

    bool ready = false;
    for (int probe = 0; probe < kReadinessProbes && !ready; ++probe) {
        clock_.Sleep(kReadinessPauseMilliseconds);
        ready = device_.ShowText(nullptr);
    }
    if (!ready) {
        ui_.ShowError(m.Format("Write is not ready."));
        return 5;
    }
    flags_.restartPending = false;
    return 0;
}

}  // namespace brevant
