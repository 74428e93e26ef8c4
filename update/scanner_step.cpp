// The keyboard scanner step. The scanner sits behind the writer and is reached only through
// the sensor-board tunnel: enter its check mode, compare checksums, program in 512-byte
// blocks if they differ, verify, and leave the mode again.

#include <algorithm>
#include <cstring>

#include "common/byte_order.h"
#include "device/packet.h"
#include "update/message_buffer.h"
#include "update/step_helpers.h"
#include "update/update_rules.h"
#include "update/update_run.h"

namespace brevant {

namespace {

constexpr uint32_t kBlockBytes = 512;

constexpr int kCheckAttempts = 10;
constexpr int kProgrammingPasses = 10;
constexpr int kFinishAttempts = 10;
constexpr uint32_t kCheckRetryPauseMilliseconds = 500;
constexpr uint32_t kBlockPauseMilliseconds = 100;
constexpr uint32_t kVerifyPauseMilliseconds = 200;
constexpr uint32_t kFinishRetryPauseMilliseconds = 3000;

constexpr const char* kUpdatingText = "Updating Keyboard Scanner";
constexpr const char* kFailedText = "Failed to update Keyboard Scanner";

// The sensor-board conversation of one call over the decoded image.
class ScannerLink {
public:
    ScannerLink(CTolvaUsb& device, Clock& clock, UserInterface& ui, const ScannerImage& image)
        : device_(device), clock_(clock), ui_(ui), image_(image) {}

    enum class Check { Failed, Equal, Different };

    bool SetMode(uint8_t mode, bool requireZeroAnswer) { return SetScannerMode(device_, mode, requireZeroAnswer); }

    Check AskChecksum() {
        uint32_t checksum = 0;
        if (!AskScannerChecksum(device_, image_.code, checksum)) return Check::Failed;
        return checksum == image_.checksum ? Check::Equal : Check::Different;
    }

    bool WriteAllBlocks() {
        const uint32_t codeEnd = image_.code.end;
        const uint64_t blocks = (image_.code.length + kBlockBytes - 1) / kBlockBytes;
        uint64_t done = 0;
        ui_.ReportProgress({"Keyboard scanner", done, blocks, "blocks"});
        uint8_t payload[4 + kBlockBytes];
        for (uint32_t offset = kScannerCodeStart; offset < codeEnd;) {
            const uint32_t m = std::min(codeEnd - offset, kBlockBytes);
            StoreLe32(payload, kScannerImageBase + offset);
            std::memcpy(payload + 4, image_.flat.get() + offset, m);
            clock_.Sleep(kBlockPauseMilliseconds);
            if (device_.SensorBoardExchange(SENSOR_WRITE, payload, 4 + m, nullptr, 0, nullptr) != 0) return false;
            offset += m;
            ui_.ReportProgress({"Keyboard scanner", ++done, blocks, "blocks"});
        }
        return true;
    }

private:
    CTolvaUsb& device_;
    Clock& clock_;
    UserInterface& ui_;
    const ScannerImage& image_;
};

}  // namespace

int UpdateEngine::UpdateKeyboardScanner() {
    const MachineDescriptor& d = DescriptorFor(device_.machineType());
    if (!ScannerStepRuns(device_.property0(), d)) return 0;

    device_.ShowText(kUpdatingText);
    RunMessage m;
    log_.Line(m.Format("Sending KeySensor Board Code to %s...", d.machineName));
    ui_.SetStatusText(m.Format("\n\nSending Sensor Board Code to %s...", d.machineName));

    const ScannerImage image = LoadScannerImage(d.keyboardScannerResourceId);
    if (image.loadError != ImageLoadError::None) {
        // A flat image that could not be allocated comes back as OutOfMemory, as the text would.
        return ReportImageLoadFailure(image.loadError, d.keyboardScannerResourceId, false);
    }
    if (image.notHex) {
        device_.ShowText(kFailedText);
        m.Format("Error decoding data...");
        log_.Line(m.c_str());
        ui_.ShowError(m.c_str());
        return 1;
    }
    ScannerLink link(device_, clock_, ui_, image);

    const auto fail = [&] {
        device_.ShowText(kFailedText);
        m.Format("Error with updating sensor board..");
        log_.Line(m.c_str());
        ui_.ShowError(m.c_str());
        return 1;
    };

    ScannerLink::Check check = ScannerLink::Check::Failed;
    for (int attempt = 1; attempt <= kCheckAttempts; ++attempt) {
        if (link.SetMode(SENSOR_MODE_ENTER, false)) {
            clock_.Sleep(kScannerChecksumPauseMilliseconds);
            check = link.AskChecksum();
            if (check != ScannerLink::Check::Failed) break;
        }
        if (attempt == kCheckAttempts) return fail();
        clock_.Sleep(kCheckRetryPauseMilliseconds);
        device_.ShowText(kUpdatingText);
    }

    if (check == ScannerLink::Check::Different) {
        bool verified = false;
        for (int pass = 1; pass <= kProgrammingPasses && !verified; ++pass) {
            if (!link.SetMode(SENSOR_MODE_ENTER, true) || !link.WriteAllBlocks()) continue;
            clock_.Sleep(kVerifyPauseMilliseconds);
            verified = link.AskChecksum() == ScannerLink::Check::Equal;
        }
        if (!verified) return fail();
    }

    for (int attempt = 1; attempt <= kFinishAttempts; ++attempt) {
        if (link.SetMode(SENSOR_MODE_LEAVE, false)) return 0;
        if (attempt == kFinishAttempts) break;
        clock_.Sleep(kFinishRetryPauseMilliseconds);
    }
    return fail();
}

}  // namespace brevant
