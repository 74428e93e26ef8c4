// The read-only check. Every decision below is the one the step makes in a real run (the
// rules and exchanges both share, update_rules.h and step_helpers.h); what a step would
// send, the check only compares.

#include "update/update_check.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "images/image_resources.h"
#include "update/message_buffer.h"
#include "update/step_helpers.h"
#include "update/update_rules.h"

namespace brevant {

namespace {

std::string Hex32(uint32_t value) {
    MessageBuffer<16> m;
    return m.Format("0x%08X", unsigned(value));
}

std::string VersionAndBuild(uint32_t word, uint32_t build) {
    return VersionText(word) + " build " + std::to_string(build);
}

std::string Shown(std::string_view text) {
    if (text.empty()) return "(no version text)";
    std::string shown(1, '"');
    shown.append(text.substr(0, 64));
    shown += '"';
    return shown;
}

ComponentCheck Component(ComponentId id) {
    ComponentCheck c;
    c.id = id;
    c.name = ComponentName(id);
    return c;
}

// Without an image for this machine type the step does nothing.
bool NotCarried(ComponentCheck& c, uint32_t resourceId) {
    if (resourceId != 0) return false;
    c.verdict = CheckVerdict::NotCarried;
    c.reason = std::string("no ") + c.name + " image for this machine type";
    return true;
}

}  // namespace

const char* ComponentName(ComponentId id) {
    switch (id) {
        case ComponentId::KeyboardScanner: return "keyboard scanner";
        case ComponentId::WifiApp: return "WiFi App";
        case ComponentId::WifiNvs: return "WiFi NVS";
        case ComponentId::XLoader: return "X-Loader";
        case ComponentId::BootCode: return "boot code";
        case ComponentId::Application: return "application";
    }
    return "?";
}

const char* VerdictName(CheckVerdict verdict) {
    switch (verdict) {
        case CheckVerdict::WouldUpdate: return "update";
        case CheckVerdict::Resend: return "resend";
        case CheckVerdict::UpToDate: return "up-to-date";
        case CheckVerdict::NotCarried: return "not-carried";
        case CheckVerdict::Unknown: return "unknown";
    }
    return "?";
}

std::string VersionText(uint32_t word) {
    MessageBuffer<48> m;
    if (VersionByte(word, 0) != 0) {
        return m.Format("%X.%02X.%02X Beta %X", VersionByte(word, 3), VersionByte(word, 2), VersionByte(word, 1),
                        VersionByte(word, 0));
    }
    return m.Format("%X.%02X.%02X", VersionByte(word, 3), VersionByte(word, 2), VersionByte(word, 1));
}

bool CheckReport::WouldUpdateAnything() const {
    if (outcome != CheckOutcome::Checked || !stopReason.empty()) return false;
    return std::any_of(components.begin(), components.end(), [](const ComponentCheck& c) {
        return c.reached && (c.verdict == CheckVerdict::WouldUpdate || c.verdict == CheckVerdict::Unknown);
    });
}

UpdateCheck::UpdateCheck(Transport& transport, Clock& clock)
    : clock_(clock), device_(transport) {}

CheckReport UpdateCheck::Run() {
    CheckReport report;
    device_.Open();
    if (!device_.IsOpen()) {
        report.outcome = CheckOutcome::NoWriter;
        device_.Close();
        return report;
    }
    Identify(report);
    if (report.outcome == CheckOutcome::Checked) {
        CheckRunGates(report);
        if (report.admitted) {
            const MachineDescriptor& d = DescriptorFor(report.machineType);
            // The run's order: scanner, WiFi, X-Loader, boot code, application.
            report.components.push_back(CheckScanner(report, d));
            report.components.push_back(CheckWifi(ComponentId::WifiApp, d));
            report.components.push_back(CheckWifi(ComponentId::WifiNvs, d));
            report.components.push_back(CheckXLoader(d));
            report.components.push_back(CheckBootCode(report, d));
            report.components.push_back(CheckApplication(report, d));
            for (ComponentCheck& c : report.components) c.reached = report.stopReason.empty();
            // A failed exchange closes the link; what was decided after that rests on nothing.
            report.linkLost = !device_.IsOpen();
        }
    }
    device_.Close();
    return report;
}

void UpdateCheck::Identify(CheckReport& report) {
    IdentificationFields& id = report.identity;
    const int result = device_.GetMachineInfo(nullptr, &id.appVersion, &id.bootMode, &id.appBuild);
    if (result != 0) {
        report.outcome = CheckOutcome::NotAnswering;
        report.identifyResult = result;
        return;
    }
    report.outcome = CheckOutcome::Checked;
    report.machineType = device_.machineType();
    report.reportedVersion = device_.version();
    report.scannerVersion = device_.property0();
    report.admitted = IsAdmittedMachineType(report.machineType);
    report.machineName = report.admitted ? DescriptorFor(report.machineType).machineName
                                         : MachineNameFor(report.machineType);
    if (!report.admitted) return;
    if (id.bootMode == 0) {
        ReadBootVersions(device_, id);
    } else {
        // The writer runs its boot code: what it reported is the boot code's version.
        TakeBootModeIdentity(id, DescriptorFor(report.machineType));
    }
}

void UpdateCheck::CheckRunGates(CheckReport& report) {
    if (!report.admitted) {
        report.stopReason = std::string("machine type ") + std::to_string(report.machineType) + " (" +
                            report.machineName + ") is not one this update is for";
        return;
    }
    const MachineDescriptor& d = DescriptorFor(report.machineType);
    const IdentificationFields& id = report.identity;
    report.asksBeforeDowngrade =
        WouldAskBeforeDowngrade(d.appImageVersion, d.appImageBuild, report.reportedVersion, id.appBuild);
    const int file = device_.CheckFile(kFilesInUseCheckName);
    if (file == 0) {
        // As the run does: let go of the host's interest in the file again.
        device_.ReleaseFile();
        report.fileOpen = true;
        report.stopReason = std::string("a file is open on the ") + d.machineName + ": the run stops before programming";
    }
    uint32_t writerClock = 0;
    const uint32_t pc = LocalClockSeconds(clock_);
    if (device_.ClockTime(&writerClock, 0, 0) == 0) {
        report.clockRead = true;
        report.writerClock = writerClock;
        report.pcClock = pc;
        report.clockWouldBeSet = pc != writerClock;
        report.clockQuestion = AsksBeforeSettingClock(pc, writerClock);
    }
    report.earlyUpdate = NeedsEarlyUpdate(id);
}

ComponentCheck UpdateCheck::CheckApplication(const CheckReport& report, const MachineDescriptor& d) {
    ComponentCheck c = Component(ComponentId::Application);
    const IdentificationFields& id = report.identity;
    c.writer = id.bootMode != 0 ? std::string("none running (the writer runs its boot code)")
                                : VersionAndBuild(id.appVersion, id.appBuild);
    if (NotCarried(c, d.appResourceId)) return c;
    c.image = VersionAndBuild(d.appImageVersion, d.appImageBuild);
    const bool same = id.bootMode == 0 && id.appVersion == d.appImageVersion && id.appBuild == d.appImageBuild;
    c.verdict = same ? CheckVerdict::Resend : CheckVerdict::WouldUpdate;
    c.reason = same ? "the writer has this version and build, but the application step has no version test: every run "
                      "sends it again"
                    : "the application step has no version test: every run sends it";
    if (report.asksBeforeDowngrade) c.reason += "; the built-in one is older, so the run asks first";
    if (report.earlyUpdate) c.reason += "; sent early, before the first restart (writer build below the fixed builds)";
    return c;
}

ComponentCheck UpdateCheck::CheckBootCode(const CheckReport& report, const MachineDescriptor& d) {
    ComponentCheck c = Component(ComponentId::BootCode);
    const IdentificationFields& id = report.identity;
    // In boot mode the step takes the run's application fields as the boot code's version.
    const uint32_t version = id.bootMode != 0 ? id.appVersion : id.mainBootVersion;
    const uint32_t build = id.bootMode != 0 ? id.appBuild : id.mainBootBuild;
    c.writer = id.bootMode != 0 ? "running it, reported " + VersionAndBuild(id.mainBootVersion, id.mainBootBuild)
                                : VersionAndBuild(id.mainBootVersion, id.mainBootBuild);
    if (NotCarried(c, d.bootResourceId)) return c;
    c.image = VersionAndBuild(d.bootImageVersion, d.bootImageBuild);
    if (!BootCodeIsOlder(version, build, d)) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "version and build are at least the built-in ones";
    } else if (version < d.bootImageVersion) {
        c.verdict = CheckVerdict::WouldUpdate;
        c.reason = "version " + VersionText(version) + " is older than " + VersionText(d.bootImageVersion);
    } else {
        c.verdict = CheckVerdict::WouldUpdate;
        c.reason = "build " + std::to_string(build) + " is older than " + std::to_string(d.bootImageBuild);
    }
    if (id.bootMode != 0) c.reason += " (in boot mode the run counts the boot code as " + VersionAndBuild(version, build) + ")";
    if (report.earlyUpdate && c.verdict == CheckVerdict::WouldUpdate) c.reason += "; sent early, before the first restart";
    return c;
}

ComponentCheck UpdateCheck::CheckScanner(const CheckReport& report, const MachineDescriptor& d) {
    ComponentCheck c = Component(ComponentId::KeyboardScanner);
    c.writer = "version " + std::to_string(report.scannerVersion);
    if (NotCarried(c, d.keyboardScannerResourceId)) return c;
    c.image = "version " + std::to_string(d.keyboardScannerVersion);
    if (!ScannerStepRuns(report.scannerVersion, d)) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the writer's scanner version is at least the built-in one";
        return c;
    }
    const ScannerImage image = LoadScannerImage(d.keyboardScannerResourceId);
    if (image.loadError != ImageLoadError::None) {
        c.reason = std::string("the built-in scanner image cannot be loaded: ") + ImageLoadErrorText(image.loadError);
        return c;
    }
    if (image.notHex) {
        c.reason = "the built-in scanner image is not valid HEX text";
        return c;
    }
    c.image += ", checksum " + Hex32(image.checksum);

    // One look at the scanner's own checksum, entering and leaving its checking mode.
    bool answered = false;
    uint32_t scanner = 0;
    if (SetScannerMode(device_, SENSOR_MODE_ENTER, false)) {
        clock_.Sleep(kScannerChecksumPauseMilliseconds);
        answered = AskScannerChecksum(device_, image.code, scanner);
        SetScannerMode(device_, SENSOR_MODE_LEAVE, false);
    }
    if (!answered) {
        c.reason = "the writer's scanner version is older, and the scanner did not answer its checksum";
        return c;
    }
    c.writer += ", checksum " + Hex32(scanner);
    if (scanner == image.checksum) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the version is older, but the scanner's code already matches the built-in one";
    } else {
        c.verdict = CheckVerdict::WouldUpdate;
        c.reason = "the scanner's version is older and its code's checksum differs from the built-in one";
    }
    return c;
}

ComponentCheck UpdateCheck::CheckWifi(ComponentId which, const MachineDescriptor& d) {
    ComponentCheck c = Component(which);
    const bool app = which == ComponentId::WifiApp;
    const uint32_t resource = app ? d.wifiAppResourceId : d.wifiNvsResourceId;
    if (NotCarried(c, resource)) return c;
    LoadedImage image = LoadImageResource(resource, kImageSlack);
    if (!image.ok()) {
        c.reason = std::string("the built-in image cannot be loaded: ") + ImageLoadErrorText(image.error);
        return c;
    }
    const uint32_t n = image.length;
    c.image = std::to_string(n) + " bytes, CRC " + Hex32(ChecksumOf(image.bytes.get(), n));
    uint32_t size = 0;
    const uint32_t start = device_.QueryRegion(app ? kWifiAppRegion : kWifiNvsRegion, &size);
    if (size == 0 && !device_.IsOpen()) {
        c.reason = "the writer stopped answering";
        return c;
    }
    if (size == 0) {
        c.verdict = CheckVerdict::UpToDate;
        c.writer = "no region reported";
        c.reason = "the writer reports no region for it, so the step does nothing";
        return c;
    }
    std::unique_ptr<uint8_t[]> back = AllocateWorkBuffer(n);
    if (!back) {
        c.reason = "out of memory for the read-back";
        return c;
    }
    uint32_t failedAt = 0;
    if (!ReadRegionBack(device_, start, back.get(), n, &failedAt)) {
        c.writer = "region at " + Hex32(start) + ", " + std::to_string(size) + " bytes";
        c.reason = "reading the region back failed at offset " + std::to_string(failedAt);
        return c;
    }
    c.writer = std::to_string(n) + " bytes read back, CRC " + Hex32(ChecksumOf(back.get(), n));
    if (std::memcmp(back.get(), image.bytes.get(), n) == 0) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the region equals the built-in image";
    } else {
        c.verdict = CheckVerdict::WouldUpdate;
        c.reason = "the region differs from the built-in image";
    }
    return c;
}

ComponentCheck UpdateCheck::CheckXLoader(const MachineDescriptor& d) {
    ComponentCheck c = Component(ComponentId::XLoader);
    if (NotCarried(c, d.xLoaderResourceId)) return c;
    LoadedImage image = LoadImageResource(d.xLoaderResourceId, kImageSlack);
    if (!image.ok()) {
        c.reason = std::string("the built-in image cannot be loaded: ") + ImageLoadErrorText(image.error);
        return c;
    }
    const uint32_t n = image.length;
    const std::string_view imageText = XLoaderVersionText(image.bytes.get(), n);
    const uint32_t imageCrc = ChecksumOf(image.bytes.get(), n);
    c.image = Shown(imageText) + ", CRC " + Hex32(imageCrc);
    uint32_t size = 0;
    const uint32_t start = device_.QueryRegion(kXLoaderRegion, &size);
    std::unique_ptr<uint8_t[]> back = AllocateWorkBuffer(n);
    if (!back) {
        c.reason = "out of memory for the read-back";
        return c;
    }
    uint32_t failedAt = 0;
    if (!ReadRegionBack(device_, start, back.get(), n, &failedAt)) {
        c.reason = "reading the X-Loader back failed at offset " + std::to_string(failedAt) +
                   ": the run would stop with \"Failed to read x-Loader Image!\"";
        return c;
    }
    if (n == 0) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the built-in image is empty";
        return c;
    }
    const std::string_view writerText = XLoaderVersionText(back.get(), n);
    const uint32_t writerCrc = ChecksumOf(back.get(), n);
    c.writer = Shown(writerText) + ", CRC " + Hex32(writerCrc);
    if (writerCrc == imageCrc) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the writer's X-Loader equals the built-in one";
    } else if (IsVersionTextGreater(imageText, writerText)) {
        c.verdict = CheckVerdict::WouldUpdate;
        c.reason = "the checksums differ and the built-in version text is greater";
    } else {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the checksums differ, but the writer's version text is the same or greater";
    }
    return c;
}

}  // namespace brevant
