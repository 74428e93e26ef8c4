#pragma once
// The update engine: everything one press of Go! does, portable. It owns the identification
// fields, the run flags and the device object, and reaches the person only through the
// UserInterface, time only through the Clock and the log only through the RunLog.

#include <cstdint>
#include <string>

#include "common/clock.h"
#include "common/user_interface.h"
#include "device/device_protocol.h"
#include "device/transport.h"
#include "images/image_resources.h"
#include "images/machine_catalogue.h"
#include "update/run_log.h"

namespace brevant {

struct WifiComponent;

struct IdentificationFields {
    uint32_t appVersion = 0;
    uint32_t bootMode = 0;
    uint32_t appBuild = 0;
    uint32_t mainBootVersion = 0;
    uint32_t mainBootBuild = 0;
    uint32_t secondaryBootVersion = 0;
    uint32_t secondaryBootBuild = 0;
};

struct RunFlags {
    bool restartPending = false;
    bool xLoaderDone = false;
    bool bootCodeDone = false;
    bool applicationDone = false;
};

// How a run ended, for front ends that report it (the dialog only cares about Updated).
enum class RunOutcome {
    Updated,     // every step done and the success report shown
    Failed,      // an error was shown
    NotUpdated,  // refused machine type or a declined question
};

inline constexpr const char* kOpenFailureText =
    "Unable to open a connection with your steno machine.\nPlease make sure the writer is turned On, the USB "
    "cable is firmly connected,\nand Norvane WinUSB driver 1.0.0.2 is installed";

class UpdateEngine {
public:
    // All references must outlive the engine.
    UpdateEngine(Transport& transport, UserInterface& ui, Clock& clock, RunLog& log, std::string titleText,
                 std::string welcomeText);

    RunOutcome RunUpdate();

    // The steps of a run. Each returns 0 (done, skipped, up to date or deferred) or a
    // positive code after it has told the person what went wrong.
    int UpdateApplication();
    int UpdateBootCode();
    int RestartDevice();
    int UpdateXLoader();
    int UpdateKeyboardScanner();
    int UpdateWifiApp();
    int UpdateWifiNvs();
    int SyncClock();
    // The PC's local wall-clock seconds since 1970, the form of the writer's clock.
    uint32_t PcClockValue();

    CTolvaUsb& device() { return device_; }
    IdentificationFields& identification() { return id_; }
    RunFlags& flags() { return flags_; }
    const std::string& titleText() const { return title_; }
    const std::string& welcomeText() const { return welcome_; }

private:
    void ReportError(const char* text);
    void LogIdentification(MachineType type);
    bool AskBeforeDowngrade(const MachineDescriptor& descriptor);
    void CloseRun();
    // The machine name of the identified writer's catalogue record.
    const char* CatalogueName() const;

    // Shared by the steps (update_steps_support.cpp).
    // Tells the person why a built-in image could not be had and returns 1. The out-of-memory
    // text goes to the log only where the step's own convention logs it.
    int ReportImageLoadFailure(ImageLoadError error, uint32_t resourceId, bool logOutOfMemory);
    // "System too low on memory!" in the error box (and the log if asked); returns 1.
    int ReportOutOfMemory(bool logIt);
    // The failure texts of the application and boot code transfers; returns 5.
    int ReportTransferFailure(int code, const char* machineName);
    // The one implementation behind both WiFi steps.
    int UpdateWifiComponent(const WifiComponent& component);
    // The X-Loader comparison and programming between the opening and closing texts.
    int CheckAndProgramXLoader(const MachineDescriptor& descriptor);

    Transport& transport_;
    UserInterface& ui_;
    Clock& clock_;
    RunLog& log_;
    std::string title_;
    std::string welcome_;
    CTolvaUsb device_;
    IdentificationFields id_;
    RunFlags flags_;
};

}  // namespace brevant
