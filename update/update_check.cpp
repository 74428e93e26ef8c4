// The read-only check. Every decision below mirrors the step that makes it in a real run;
// what a step would send, the check only compares.

#include "update/update_check.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "common/byte_order.h"
#include "images/crc32.h"
#include "images/image_resources.h"
#include "images/intel_hex.h"
#include "update/message_buffer.h"

namespace brevant {

namespace {

constexpr uint32_t kEarlyAppBuild = 34494;
constexpr uint32_t kEarlyBootBuild = 35673;
constexpr uint32_t kClockQuestionSeconds = 300;
constexpr uint32_t kReadSelector = 4;
constexpr uint32_t kXLoaderRegion = 0;
constexpr uint32_t kWifiAppRegion = 8;
constexpr uint32_t kWifiNvsRegion = 9;
constexpr uint32_t kAnyScannerVersion = 0xFFFFFFFF;
constexpr uint32_t kSensorMode = 0x18;
constexpr uint32_t kSensorChecksum = 0x19;
constexpr uint32_t kScannerBase = 0x80000000;
constexpr uint32_t kScannerImageSize = 0x80000;
constexpr uint32_t kScannerCodeStart = 0x2000;
constexpr uint32_t kScannerAnswerCapacity = 1024;
constexpr std::string_view kXLoaderMarker = "X-Loader ";

std::string Hex32(uint32_t value) {
    MessageBuffer<16> m;
    return m.Format("0x%08X", unsigned(value));
}

std::string VersionAndBuild(uint32_t word, uint32_t build) {
    return VersionText(word) + " build " + std::to_string(build);
}

uint32_t Checksum(const uint8_t* bytes, uint32_t n) {
    Crc32 crc;
    crc.Add(bytes, n);
    return crc.Value();
}

std::unique_ptr<uint8_t[]> Allocate(uint32_t n) { return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[n ? n : 1]); }

// From the first marker to the next NUL, never beyond the buffer.
std::string_view XLoaderText(const uint8_t* bytes, uint32_t n) {
    const std::string_view all(reinterpret_cast<const char*>(bytes), n);
    const size_t start = all.find(kXLoaderMarker);
    if (start == std::string_view::npos) return {};
    const std::string_view rest = all.substr(start);
    return rest.substr(0, std::min(rest.find('\0'), rest.size()));
}

bool IsGreater(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x > y;
    }
    return a.size() > b.size();
}

std::string Shown(std::string_view text) {
    return text.empty() ? std::string("(no version text)") : "\"" + std::string(text.substr(0, 64)) + "\"";
}

ComponentCheck Component(ComponentId id) {
    ComponentCheck c;
    c.id = id;
    c.name = ComponentName(id);
    return c;
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
    report.admitted = report.machineType >= 18 && report.machineType <= 20;
    report.machineName = report.admitted ? DescriptorFor(report.machineType).machineName
                                         : MachineNameFor(report.machineType);
    if (!report.admitted) return;
    if (id.bootMode == 0) {
        if (device_.GetBootVersions(&id.mainBootVersion, &id.mainBootBuild, &id.secondaryBootVersion,
                                    &id.secondaryBootBuild) != 0) {
            id.mainBootVersion = id.mainBootBuild = id.secondaryBootVersion = id.secondaryBootBuild = 0;
        }
    } else {
        // The writer runs its boot code: what it reported is the boot code's version.
        const MachineDescriptor& d = DescriptorFor(report.machineType);
        id.secondaryBootVersion = id.secondaryBootBuild = 0;
        id.mainBootVersion = id.appVersion;
        id.mainBootBuild = id.appBuild;
        id.appVersion = d.bootModeAppVersion;
        id.appBuild = 0;
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
        d.appImageVersion < (report.reportedVersion & ~0xFFu) || d.appImageBuild < id.appBuild;
    const int file = device_.CheckFile("REALTIME.000");
    if (file == 0) {
        // As the run does: let go of the host's interest in the file again.
        device_.ReleaseFile();
        report.fileOpen = true;
        report.stopReason = std::string("a file is open on the ") + d.machineName + ": the run stops before programming";
    }
    uint32_t writerClock = 0;
    const uint32_t pc = uint32_t(uint64_t(clock_.UnixSeconds() + clock_.ToLocal(clock_.UnixSeconds()).utcOffsetSeconds));
    if (device_.ClockTime(&writerClock, 0, 0) == 0) {
        report.clockRead = true;
        report.writerClock = writerClock;
        report.pcClock = pc;
        const uint32_t difference = pc > writerClock ? pc - writerClock : writerClock - pc;
        report.clockWouldBeSet = difference != 0;
        report.clockQuestion = difference > kClockQuestionSeconds;
    }
    report.earlyUpdate = (id.bootMode == 0 && id.appBuild < kEarlyAppBuild) ||
                         (id.bootMode != 0 && id.mainBootBuild < kEarlyBootBuild);
}

ComponentCheck UpdateCheck::CheckApplication(const CheckReport& report, const MachineDescriptor& d) {
    ComponentCheck c = Component(ComponentId::Application);
    const IdentificationFields& id = report.identity;
    c.writer = id.bootMode != 0 ? std::string("none running (the writer runs its boot code)")
                                : VersionAndBuild(id.appVersion, id.appBuild);
    if (d.appResourceId == 0) {
        c.verdict = CheckVerdict::NotCarried;
        c.reason = "no application image for this machine type";
        return c;
    }
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
    if (d.bootResourceId == 0) {
        c.verdict = CheckVerdict::NotCarried;
        c.reason = "no boot code image for this machine type";
        return c;
    }
    c.image = VersionAndBuild(d.bootImageVersion, d.bootImageBuild);
    if (version < d.bootImageVersion) {
        c.verdict = CheckVerdict::WouldUpdate;
        c.reason = "version " + VersionText(version) + " is older than " + VersionText(d.bootImageVersion);
    } else if (build >= d.bootImageBuild) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "version and build are at least the built-in ones";
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
    if (d.keyboardScannerResourceId == 0) {
        c.verdict = CheckVerdict::NotCarried;
        c.reason = "no keyboard scanner image for this machine type";
        return c;
    }
    c.image = "version " + std::to_string(d.keyboardScannerVersion);
    if (report.scannerVersion != kAnyScannerVersion && report.scannerVersion >= d.keyboardScannerVersion) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the writer's scanner version is at least the built-in one";
        return c;
    }
    LoadedImage text = LoadImageResource(d.keyboardScannerResourceId, kImageSlack);
    std::unique_ptr<uint8_t[]> flat = Allocate(kScannerImageSize + 256);
    if (!text.ok() || !flat) {
        c.reason = std::string("the built-in scanner image cannot be loaded: ") +
                   (text.ok() ? "out of memory" : ImageLoadErrorText(text.error));
        return c;
    }
    std::memset(flat.get(), 0xFF, kScannerImageSize);
    if (IntelHexLoader(text.bytes.get(), text.length, flat.get(), kScannerImageSize, kScannerBase) <= 0) {
        c.reason = "the built-in scanner image is not valid HEX text";
        return c;
    }
    uint32_t end = kScannerImageSize;
    while (end > kScannerCodeStart + 1 && flat[end - 1] == 0xFF) --end;
    const uint32_t length = end - kScannerCodeStart;
    const uint32_t image = Checksum(flat.get() + kScannerCodeStart, length);
    c.image += ", checksum " + Hex32(image);

    // One look at the scanner's own checksum, entering and leaving its checking mode.
    uint8_t answer[kScannerAnswerCapacity];
    uint32_t answerLength = 0;
    const uint8_t enter = 0;
    const bool entered = device_.SensorBoardExchange(kSensorMode, &enter, 1, answer, sizeof answer, &answerLength) == 0;
    bool answered = false;
    uint32_t scanner = 0;
    if (entered) {
        clock_.Sleep(100);
        uint8_t range[8];
        StoreLe32(range, kScannerBase + kScannerCodeStart);
        StoreLe32(range + 4, length);
        answered = device_.SensorBoardExchange(kSensorChecksum, range, sizeof range, answer, sizeof answer,
                                               &answerLength) == 0 &&
                   answerLength == 4;
        if (answered) scanner = LoadBe32(answer);
        const uint8_t leave = 1;
        device_.SensorBoardExchange(kSensorMode, &leave, 1, answer, sizeof answer, &answerLength);
    }
    if (!answered) {
        c.reason = "the writer's scanner version is older, and the scanner did not answer its checksum";
        return c;
    }
    c.writer += ", checksum " + Hex32(scanner);
    if (scanner == image) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the version is older, but the scanner's code already matches the built-in one";
    } else {
        c.verdict = CheckVerdict::WouldUpdate;
        c.reason = "the scanner's version is older and its code's checksum differs from the built-in one";
    }
    return c;
}

bool UpdateCheck::ReadBack(uint32_t start, uint8_t* destination, uint32_t n, uint32_t& failedAt) {
    const uint32_t block = std::max<uint32_t>(1, std::min<uint32_t>(device_.chunkSize(), kMaxPayload));
    for (uint32_t offset = 0; offset < n; offset += std::min(block, n - offset)) {
        const uint32_t length = std::min(block, n - offset);
        if (!device_.ReadRegion(start + offset, length, destination + offset, kReadSelector)) {
            failedAt = offset;
            return false;
        }
    }
    return true;
}

ComponentCheck UpdateCheck::CheckWifi(ComponentId which, const MachineDescriptor& d) {
    ComponentCheck c = Component(which);
    const bool app = which == ComponentId::WifiApp;
    const uint32_t resource = app ? d.wifiAppResourceId : d.wifiNvsResourceId;
    if (resource == 0) {
        c.verdict = CheckVerdict::NotCarried;
        c.reason = std::string("no ") + c.name + " image for this machine type";
        return c;
    }
    LoadedImage image = LoadImageResource(resource, kImageSlack);
    if (!image.ok()) {
        c.reason = std::string("the built-in image cannot be loaded: ") + ImageLoadErrorText(image.error);
        return c;
    }
    const uint32_t n = image.length;
    c.image = std::to_string(n) + " bytes, CRC " + Hex32(Checksum(image.bytes.get(), n));
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
    std::unique_ptr<uint8_t[]> back = Allocate(n);
    if (!back) {
        c.reason = "out of memory for the read-back";
        return c;
    }
    uint32_t failedAt = 0;
    if (!ReadBack(start, back.get(), n, failedAt)) {
        c.writer = "region at " + Hex32(start) + ", " + std::to_string(size) + " bytes";
        c.reason = "reading the region back failed at offset " + std::to_string(failedAt);
        return c;
    }
    c.writer = std::to_string(n) + " bytes read back, CRC " + Hex32(Checksum(back.get(), n));
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
    if (d.xLoaderResourceId == 0) {
        c.verdict = CheckVerdict::NotCarried;
        c.reason = "no X-Loader image for this machine type";
        return c;
    }
    LoadedImage image = LoadImageResource(d.xLoaderResourceId, kImageSlack);
    if (!image.ok()) {
        c.reason = std::string("the built-in image cannot be loaded: ") + ImageLoadErrorText(image.error);
        return c;
    }
    const uint32_t n = image.length;
    const std::string_view imageText = XLoaderText(image.bytes.get(), n);
    const uint32_t imageCrc = Checksum(image.bytes.get(), n);
    c.image = Shown(imageText) + ", CRC " + Hex32(imageCrc);
    uint32_t size = 0;
    const uint32_t start = device_.QueryRegion(kXLoaderRegion, &size);
    std::unique_ptr<uint8_t[]> back = Allocate(n);
    if (!back) {
        c.reason = "out of memory for the read-back";
        return c;
    }
    uint32_t failedAt = 0;
    if (!ReadBack(start, back.get(), n, failedAt)) {
        c.reason = "reading the X-Loader back failed at offset " + std::to_string(failedAt) +
                   ": the run would stop with \"Failed to read x-Loader Image!\"";
        return c;
    }
    if (n == 0) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the built-in image is empty";
        return c;
    }
    const std::string_view writerText = XLoaderText(back.get(), n);
    const uint32_t writerCrc = Checksum(back.get(), n);
    c.writer = Shown(writerText) + ", CRC " + Hex32(writerCrc);
    if (writerCrc == imageCrc) {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the writer's X-Loader equals the built-in one";
    } else if (IsGreater(imageText, writerText)) {
        c.verdict = CheckVerdict::WouldUpdate;
        c.reason = "the checksums differ and the built-in version text is greater";
    } else {
        c.verdict = CheckVerdict::UpToDate;
        c.reason = "the checksums differ, but the writer's version text is the same or greater";
    }
    return c;
}

}  // namespace brevant
