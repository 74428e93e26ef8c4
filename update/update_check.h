#pragma once
// The read-only check: opens the writer, identifies it as the update run does, and for each
// component works out whether a run would update it and why, by the same comparisons the
// update steps make (versions and builds where they decide by version, read-back and
// checksums where they compare contents). It never programs, prepares, writes, sets the
// clock, changes the programming mode or restarts the writer, and it closes the link.
//
// Commands it may send: CMD_MACHINE_INFO, CMD_BOOT_VERSIONS, CMD_FILE_CHECK (and
// CMD_FILE_RELEASE when the writer answers that the file is open, as the run does, which
// only lets go of the host's interest), CMD_CLOCK with set flag 0, CMD_REGION_QUERY,
// CMD_READ_REGION and, when the scanner's version says the run would look at it,
// CMD_SENSOR_BOARD with SENSOR_MODE 0, SENSOR_CHECKSUM and SENSOR_MODE 1.

#include <cstdint>
#include <string>
#include <vector>

#include "common/clock.h"
#include "device/device_protocol.h"
#include "device/transport.h"
#include "images/machine_catalogue.h"
#include "update/update_run.h"

namespace brevant {

// In the order the run's step sequence reaches them.
enum class ComponentId { KeyboardScanner, WifiApp, WifiNvs, XLoader, BootCode, Application };
inline constexpr int kCheckedComponentCount = 6;

enum class CheckVerdict {
    WouldUpdate,  // the step would send its image
    Resend,       // the step would send its image again, though the writer already has it
    UpToDate,     // the step would leave the component as it is
    NotCarried,   // this build carries no image of it for this machine type
    Unknown,      // the writer did not tell enough to decide (a read failed)
};

struct ComponentCheck {
    ComponentId id = ComponentId::Application;
    const char* name = "";
    CheckVerdict verdict = CheckVerdict::Unknown;
    // False when the run would stop before reaching this step (refused machine type, a
    // file open on the writer); the verdict is then what the step would decide.
    bool reached = true;
    std::string writer;  // what the writer holds, as far as the check could see
    std::string image;   // what the run would send
    std::string reason;  // why the step decides as it does
};

enum class CheckOutcome {
    Checked,       // identified and every component looked at
    NoWriter,      // the link could not be opened
    NotAnswering,  // identification failed
};

struct CheckReport {
    CheckOutcome outcome = CheckOutcome::NoWriter;
    int identifyResult = 0;  // GetMachineInfo's code when NotAnswering
    MachineType machineType = kHighestMachineType;
    const char* machineName = "";
    IdentificationFields identity;  // as the run holds it after its step 4
    uint32_t reportedVersion = 0;   // the version word as the writer reported it
    uint32_t scannerVersion = 0;    // property 0
    bool admitted = false;          // machine type 18 to 20
    bool asksBeforeDowngrade = false;
    bool fileOpen = false;          // the run would stop with "please close any open files"
    bool earlyUpdate = false;       // boot code and application go first, before the restart
    bool clockRead = false;
    uint32_t writerClock = 0;
    uint32_t pcClock = 0;
    bool clockWouldBeSet = false;
    bool clockQuestion = false;     // the difference is above five minutes
    std::string stopReason;         // why the run would update nothing; empty when it goes on
    bool linkLost = false;          // the writer stopped answering during the check
    std::vector<ComponentCheck> components;

    // True when the run would send at least one component.
    bool WouldUpdateAnything() const;
};

class UpdateCheck {
public:
    // Both references must outlive the check.
    UpdateCheck(Transport& transport, Clock& clock);

    CheckReport Run();

    CTolvaUsb& device() { return device_; }

private:
    void Identify(CheckReport& report);
    void CheckRunGates(CheckReport& report);
    ComponentCheck CheckApplication(const CheckReport& report, const MachineDescriptor& d);
    ComponentCheck CheckBootCode(const CheckReport& report, const MachineDescriptor& d);
    ComponentCheck CheckScanner(const CheckReport& report, const MachineDescriptor& d);
    ComponentCheck CheckWifi(ComponentId id, const MachineDescriptor& d);
    ComponentCheck CheckXLoader(const MachineDescriptor& d);

    Clock& clock_;
    CTolvaUsb device_;
};

const char* ComponentName(ComponentId id);
const char* VerdictName(CheckVerdict verdict);  // "update", "resend", "up-to-date", "not-carried", "unknown"

// "%X.%02X.%02X", with " Beta %X" when the low byte is non-zero.
std::string VersionText(uint32_t word);

}  // namespace brevant
