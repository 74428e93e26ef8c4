// One update run: connect, identify, admit, then the steps, and always the closing.

#include "update/update_run.h"

#include <utility>

#include "update/message_buffer.h"
#include "update/step_helpers.h"
#include "update/update_rules.h"

namespace brevant {

namespace {

constexpr uint32_t kLinkSettleMilliseconds = 100;

}  // namespace

UpdateEngine::UpdateEngine(Transport& transport, UserInterface& ui, Clock& clock, RunLog& log,
                           std::string titleText, std::string welcomeText)
    : transport_(transport),
      ui_(ui),
      clock_(clock),
      log_(log),
      title_(std::move(titleText)),
      welcome_(std::move(welcomeText)),
      device_(transport, &ui, title_) {}

const char* UpdateEngine::CatalogueName() const { return DescriptorFor(device_.machineType()).machineName; }

void UpdateEngine::ReportError(const char* text) {
    log_.Line(text);
    ui_.ShowError(text);
}

void UpdateEngine::LogIdentification(MachineType type) {
    RunMessage m;
    if (!IsAdmittedMachineType(type)) {
        const char* format = id_.bootMode == 0 ? "USB found %s(%d), App. Ver. %X.%02X "
                                               : "USB found %s(%d), Boot Ver. %X.%02X ";
        log_.Line(m.Format(format, MachineNameFor(type), int(type), id_.appVersion >> 8, id_.appVersion & 0xFFu));
        return;
    }
    const char* name = DescriptorFor(type).machineName;
    auto line = [&](const char* what, uint32_t word, uint32_t build) {
        if (VersionByte(word, 0) != 0) {
            m.Format("USB found %s(%d), %s Ver. %X.%02X.%02X Beta %X, Build %d\n", name, int(type), what,
                     VersionByte(word, 3), VersionByte(word, 2), VersionByte(word, 1), VersionByte(word, 0),
                     int(build));
        } else {
            m.Format("USB found %s(%d), %s Ver. %X.%02X.%02X, Build %d\n", name, int(type), what,
                     VersionByte(word, 3), VersionByte(word, 2), VersionByte(word, 1), int(build));
        }
        log_.Line(m.c_str());
    };
    if (id_.bootMode == 0) {
        ReadBootVersions(device_, id_);
        line("App.", id_.appVersion, id_.appBuild);
        if (id_.mainBootVersion != 0) line("Main Boot", id_.mainBootVersion, id_.mainBootBuild);
        if (id_.secondaryBootVersion != 0) line("Secondary Boot", id_.secondaryBootVersion, id_.secondaryBootBuild);
    } else {
        // The writer answered from its boot code: what it reported is the boot code's.
        TakeBootModeIdentity(id_, DescriptorFor(type));
        line("Boot.", id_.appVersion, id_.appBuild);
    }
}

bool UpdateEngine::AskBeforeDowngrade(const MachineDescriptor& d) {
    const uint32_t reported = device_.version();
    if (!WouldAskBeforeDowngrade(d.appImageVersion, d.appImageBuild, reported, id_.appBuild)) return true;
    RunMessage m;
    m.Format(
        "You are about to install version %X.%02X.%02X, Build %d\non a Machine that is running version "
        "%X.%02X.%02X, Build %d.\n              Are you sure you want to do this?",
        VersionByte(d.appImageVersion, 3), VersionByte(d.appImageVersion, 2), VersionByte(d.appImageVersion, 1),
        int(d.appImageBuild), VersionByte(reported, 3), VersionByte(reported, 2), VersionByte(reported, 1),
        int(id_.appBuild));
    log_.Line(m.c_str());
    return ui_.AskYesNo(m.c_str(), "Warning");
}

RunOutcome UpdateEngine::RunUpdate() {
    if (!log_.IsOpen()) log_.Open();
    flags_ = RunFlags{};
    RunOutcome outcome = RunOutcome::Failed;

    // Each stage either continues or leaves through the closing at the end.
    [&] {
        device_.Open();
        if (!device_.IsOpen()) {
            ReportError(kOpenFailureText);
            return;
        }
        RunMessage m;
        const int identified = device_.GetMachineInfo(nullptr, &id_.appVersion, &id_.bootMode, &id_.appBuild);
        if (identified != 0) {
            ReportError(m.Format("Unable to communicate with your steno machine.  Error Code %d", identified));
            return;
        }
        const MachineType type = device_.machineType();
        LogIdentification(type);
        if (!IsAdmittedMachineType(type)) {
            ReportError(m.Format("Improper Machine Type.  This update is not for %s!", MachineNameFor(type)));
            outcome = RunOutcome::NotUpdated;
            return;
        }
        const MachineDescriptor& descriptor = DescriptorFor(type);
        if (!AskBeforeDowngrade(descriptor)) {
            outcome = RunOutcome::NotUpdated;
            return;
        }
        if (device_.CheckFile(kFilesInUseCheckName) == 0) {
            device_.ReleaseFile();
            ReportError(m.Format("Unable to program your writer.\nPlease close any open files on your %s",
                                 descriptor.machineName));
            return;
        }
        SyncClock();
        if (NeedsEarlyUpdate(id_)) {
            flags_.restartPending = true;
            if (UpdateBootCode() > 0) return;
            if (UpdateApplication() > 0) return;
        }
        int (UpdateEngine::*const sequence[])() = {
            &UpdateEngine::RestartDevice,    &UpdateEngine::UpdateKeyboardScanner, &UpdateEngine::UpdateWifiApp,
            &UpdateEngine::UpdateWifiNvs,    &UpdateEngine::UpdateXLoader,         &UpdateEngine::UpdateBootCode,
            &UpdateEngine::UpdateApplication, &UpdateEngine::RestartDevice,        &UpdateEngine::UpdateXLoader,
        };
        for (auto step : sequence) {
            if ((this->*step)() != 0) return;
        }
        device_.SetProgramMode(0);

        const char* name = CatalogueName();
        std::string status = "\n\n\n\n\n\n";
        status += name;
        status += " Updated.";
        ui_.SetStatusText(status);
        const std::string success = std::string("Successfully updated the ") + name + ".";
        log_.Line(success);
        ui_.ShowMessage(success + "\n           Click OK to Exit.", title_, BoxIcon::Information);
        if (device_.IsOpen()) {
            clock_.Sleep(kLinkSettleMilliseconds);
            device_.Close();
            clock_.Sleep(kLinkSettleMilliseconds);
        }
        flags_.restartPending = false;
        outcome = RunOutcome::Updated;
    }();

    CloseRun();
    return outcome;
}

void UpdateEngine::CloseRun() {
    if (flags_.restartPending) device_.SetProgramMode(0);
    if (device_.IsOpen()) {
        device_.ShowText(nullptr);
        clock_.Sleep(kLinkSettleMilliseconds);
        device_.Close();
        clock_.Sleep(kLinkSettleMilliseconds);
    }
    ui_.SetStatusText(welcome_);
    log_.Close();
}

uint32_t UpdateEngine::PcClockValue() { return LocalClockSeconds(clock_); }

}  // namespace brevant
