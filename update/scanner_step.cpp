// The keyboard scanner step. The scanner sits behind the writer and is reached only through
// the sensor-board tunnel: enter its check mode, compare checksums, program in 512-byte
// blocks if they differ, verify, and leave the mode again.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "common/byte_order.h"
#include "images/crc32.h"
#include "images/image_resources.h"
#include "images/intel_hex.h"
#include "update/message_buffer.h"
#include "update/update_run.h"

namespace brevant {

namespace {

constexpr uint32_t kRunsWhateverVersion = 0xFFFFFFFFu;

constexpr uint32_t kImageBase = 0x80000000u;
constexpr uint32_t kImageSize = 0x80000u;
constexpr uint32_t kImageSpare = 256;
constexpr uint32_t kCodeStart = 0x2000u;  // the scanner's own loader lives below
constexpr uint32_t kBlockBytes = 512;
constexpr uint32_t kAnswerCapacity = 1024;

constexpr uint32_t kSensorMode = 0x18;
constexpr uint32_t kSensorChecksum = 0x19;
constexpr uint32_t kSensorWrite = 0x15;
constexpr uint8_t kEnterCheckMode = 0;
constexpr uint8_t kLeaveCheckMode = 1;

constexpr int kCheckAttempts = 10;
constexpr int kProgrammingPasses = 10;
constexpr int kFinishAttempts = 10;
constexpr uint32_t kChecksumPauseMilliseconds = 100;
constexpr uint32_t kCheckRetryPauseMilliseconds = 500;
constexpr uint32_t kBlockPauseMilliseconds = 100;
constexpr uint32_t kVerifyPauseMilliseconds = 200;
constexpr uint32_t kFinishRetryPauseMilliseconds = 3000;

constexpr const char* kUpdatingText = "Updating Keyboard Scanner";
constexpr const char* kFailedText = "Failed to update Keyboard Scanner";

// One past the last byte that is not erased flash, never below the code start plus one.
uint32_t CodeEnd(const uint8_t* image) {
    uint32_t end = kImageSize;
    while (end > kCodeStart + 1 && image[end - 1] == 0xFF) --end;
    return end;
}

// The sensor-board conversation of one call, with its reply buffer.
class ScannerLink {
public:
    ScannerLink(CTolvaUsb& device, Clock& clock, UserInterface& ui, const uint8_t* image, uint32_t codeEnd,
                uint32_t checksum)
        : device_(device), clock_(clock), ui_(ui), image_(image), codeEnd_(codeEnd), checksum_(checksum) {}

    enum class Check { Failed, Equal, Different };

    bool SetMode(uint8_t mode, bool requireZeroAnswer) {
        const uint8_t payload[1] = {mode};
        if (device_.SensorBoardExchange(kSensorMode, payload, 1, answer_, kAnswerCapacity, &answerLength_) != 0) {
            return false;
        }
        return !requireZeroAnswer || answerLength_ == 0 || answer_[0] == 0;
    }

    Check AskChecksum() {
        uint8_t payload[8];
        StoreLe32(payload, kImageBase + kCodeStart);
        StoreLe32(payload + 4, codeEnd_ - kCodeStart);
        if (device_.SensorBoardExchange(kSensorChecksum, payload, sizeof payload, answer_, kAnswerCapacity,
                                        &answerLength_) != 0 ||
            answerLength_ != 4) {
            return Check::Failed;
        }
        return LoadBe32(answer_) == checksum_ ? Check::Equal : Check::Different;
    }

    bool WriteAllBlocks() {
        const uint64_t blocks = (codeEnd_ - kCodeStart + kBlockBytes - 1) / kBlockBytes;
        uint64_t done = 0;
        ui_.ReportProgress({"Keyboard scanner", done, blocks, "blocks"});
        uint8_t payload[4 + kBlockBytes];
        for (uint32_t offset = kCodeStart; offset < codeEnd_;) {
            const uint32_t m = std::min(codeEnd_ - offset, kBlockBytes);
            StoreLe32(payload, kImageBase + offset);
            std::memcpy(payload + 4, image_ + offset, m);
            clock_.Sleep(kBlockPauseMilliseconds);
            if (device_.SensorBoardExchange(kSensorWrite, payload, 4 + m, nullptr, 0, nullptr) != 0) return false;
            offset += m;
            ui_.ReportProgress({"Keyboard scanner", ++done, blocks, "blocks"});
        }
        return true;
    }

private:
    CTolvaUsb& device_;
    Clock& clock_;
    UserInterface& ui_;
    const uint8_t* image_;
    uint32_t codeEnd_;
    uint32_t checksum_;
    uint8_t answer_[kAnswerCapacity] = {};
    uint32_t answerLength_ = 0;
};

}  // namespace

int UpdateEngine::UpdateKeyboardScanner() {
    const MachineDescriptor& d = DescriptorFor(device_.machineType());
    const uint32_t installed = device_.property0();
    if (d.keyboardScannerResourceId == 0 ||
        (installed != kRunsWhateverVersion && installed >= d.keyboardScannerVersion)) {
        return 0;
    }

    device_.ShowText(kUpdatingText);
    RunMessage m;
    log_.Line(m.Format("Sending KeySensor Board Code to %s...", d.machineName));
    ui_.SetStatusText(m.Format("\n\nSending Sensor Board Code to %s...", d.machineName));

    std::unique_ptr<uint8_t[]> image;
    {
        const LoadedImage text = LoadImageResource(d.keyboardScannerResourceId, kImageSlack);
        if (!text.ok()) return ReportImageLoadFailure(text, d.keyboardScannerResourceId, false);
        image.reset(new (std::nothrow) uint8_t[kImageSize + kImageSpare]);
        if (!image) return ReportOutOfMemory(false);
        // Erased flash: what the HEX text does not cover stays 0xFF and is trimmed off below.
        std::memset(image.get(), 0xFF, kImageSize + kImageSpare);
        if (IntelHexLoader(text.bytes.get(), text.length, image.get(), kImageSize, kImageBase) <= 0) {
            device_.ShowText(kFailedText);
            m.Format("Error decoding data...");
            log_.Line(m.c_str());
            ui_.ShowError(m.c_str());
            return 1;
        }
    }  // the text is not needed beyond this point

    const uint32_t codeEnd = CodeEnd(image.get());
    Crc32 crc;
    crc.Add(image.get() + kCodeStart, codeEnd - kCodeStart);
    ScannerLink link(device_, clock_, ui_, image.get(), codeEnd, crc.Value());

    const auto fail = [&] {
        device_.ShowText(kFailedText);
        m.Format("Error with updating sensor board..");
        log_.Line(m.c_str());
        ui_.ShowError(m.c_str());
        return 1;
    };

    ScannerLink::Check check = ScannerLink::Check::Failed;
    for (int attempt = 1; attempt <= kCheckAttempts; ++attempt) {
        if (link.SetMode(kEnterCheckMode, false)) {
            clock_.Sleep(kChecksumPauseMilliseconds);
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
            if (!link.SetMode(kEnterCheckMode, true) || !link.WriteAllBlocks()) continue;
            clock_.Sleep(kVerifyPauseMilliseconds);
            verified = link.AskChecksum() == ScannerLink::Check::Equal;
        }
        if (!verified) return fail();
    }

    for (int attempt = 1; attempt <= kFinishAttempts; ++attempt) {
        if (link.SetMode(kLeaveCheckMode, false)) return 0;
        if (attempt == kFinishAttempts) break;
        clock_.Sleep(kFinishRetryPauseMilliseconds);
    }
    return fail();
}

}  // namespace brevant
