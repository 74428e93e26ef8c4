// What the virtual writer holds at power-on and what it runs after a restart.

#include <cstring>

#include "common/byte_order.h"
#include "sim/virtual_writer.h"

namespace brevant {

namespace {

// Old contents that no built-in image matches: a fixed pseudo-random pattern per region.
void FillPattern(std::vector<uint8_t>& bytes, uint32_t seed, size_t from, size_t to) {
    uint32_t x = seed * 2654435761u + 12345u;
    for (size_t i = from; i < to && i < bytes.size(); ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = uint8_t(x >> 16);
    }
}

Region MakeRegion(uint32_t id, uint32_t start, uint32_t size) {
    Region r;
    r.id = id;
    r.start = start;
    r.size = size;
    r.bytes.assign(size, 0xFF);
    return r;
}

uint32_t ImageWord(const std::vector<uint8_t>& image, uint32_t offset) {
    return image.size() >= size_t(offset) + 4 ? LoadLe32(&image[offset]) : 0;
}

constexpr uint32_t kScannerOldCodeStart = 0x2000;
constexpr uint32_t kScannerOldCodeLength = 0x1000;

}  // namespace

void VirtualWriter::SeedStorage() {
    storage_ = WriterStorage{};
    // A writer that runs its boot code at power-on has no application to run.
    storage_.app.state = settings_.bootFlag != 0 ? FirmwareState::Invalid : FirmwareState::Original;

    Region xLoader = MakeRegion(kRegionXLoader, kSimXLoaderStart, kSimXLoaderSize);
    FillPattern(xLoader.bytes, 1, 0, kSimXLoaderTextOffset);
    const size_t textLength = std::strlen(kSimXLoaderVersionText) + 1;  // with its NUL
    std::memcpy(&xLoader.bytes[kSimXLoaderTextOffset], kSimXLoaderVersionText, textLength);
    FillPattern(xLoader.bytes, 2, kSimXLoaderTextOffset + textLength, 0x8000);
    storage_.regions.push_back(std::move(xLoader));

    Region wifiApp = MakeRegion(kRegionWifiApp, kSimWifiAppStart, kSimWifiAppSize);
    FillPattern(wifiApp.bytes, 8, 0, wifiApp.bytes.size());
    storage_.regions.push_back(std::move(wifiApp));
    Region wifiNvs = MakeRegion(kRegionWifiNvs, kSimWifiNvsStart, kSimWifiNvsSize);
    FillPattern(wifiNvs.bytes, 9, 0, wifiNvs.bytes.size());
    storage_.regions.push_back(std::move(wifiNvs));

    storage_.scanner.memory.assign(kScannerMemorySize, 0xFF);
    FillPattern(storage_.scanner.memory, 0x15, kScannerOldCodeStart, kScannerOldCodeStart + kScannerOldCodeLength);
}

void VirtualWriter::ComeBackRunning() {
    // Nothing prepared, announced or half-sent survives a restart.
    for (Region& r : storage_.regions) r.prepared = false;
    storage_.announcedCrc.reset();
    storage_.appTransfer = TransferState{};
    storage_.bootTransfer = TransferState{};
    storage_.xLoaderTransfer = TransferState{};
    storage_.scanner.programmingMode = false;
    storage_.scanner.writesThisSession = 0;
    storage_.displayText.clear();

    if (storage_.app.state == FirmwareState::Invalid) {
        settings_.bootFlag = 1;
        return;
    }
    settings_.bootFlag = 0;
    if (storage_.app.state == FirmwareState::Programmed) {
        settings_.appVersion = ImageWord(storage_.app.image, kImageVersionOffset);
        settings_.appBuild = ImageWord(storage_.app.image, kImageBuildOffset);
    }
}

void VirtualWriter::CommitApp(std::vector<uint8_t>& image) {
    // The new application starts with the next restart; until then the old one answers.
    storage_.app.image = std::move(image);
    storage_.app.state = FirmwareState::Programmed;
    ++storage_.app.transfersCompleted;
}

void VirtualWriter::CommitBoot(std::vector<uint8_t>& image) {
    storage_.boot.image = std::move(image);
    storage_.boot.state = FirmwareState::Programmed;
    ++storage_.boot.transfersCompleted;
    // Both boot copies are rewritten together, and their versions are read from flash.
    settings_.mainBootVersion = settings_.secondaryBootVersion = ImageWord(storage_.boot.image, kImageVersionOffset);
    settings_.mainBootBuild = settings_.secondaryBootBuild = ImageWord(storage_.boot.image, kImageBuildOffset);
}

void VirtualWriter::CommitXLoader(std::vector<uint8_t>& image) {
    Region* region = storage_.FindRegion(kRegionXLoader);
    if (region == nullptr) return;
    std::fill(region->bytes.begin(), region->bytes.end(), uint8_t(0xFF));
    std::copy(image.begin(), image.end(), region->bytes.begin());
}

bool VirtualWriter::LoadRegion(uint32_t regionId, const std::vector<uint8_t>& bytes) {
    Region* region = storage_.FindRegion(regionId);
    if (region == nullptr || bytes.size() > region->bytes.size()) return false;
    std::copy(bytes.begin(), bytes.end(), region->bytes.begin());
    return true;
}

int64_t VirtualWriter::HostLocalSeconds() {
    const int64_t now = clock_.UnixSeconds();
    return now + clock_.ToLocal(now).utcOffsetSeconds;
}

uint32_t VirtualWriter::WriterClock() { return uint32_t(HostLocalSeconds() + settings_.clockOffset); }

MachineType VirtualWriter::HostIdentifiedType() const {
    MachineType type = settings_.machineType > kHighestMachineType ? kHighestMachineType : settings_.machineType;
    const uint32_t version = settings_.bootFlag != 0 ? settings_.mainBootVersion : settings_.appVersion;
    if (settings_.bootFlag != 0 && type == 3) {
        if (version >= 0x50 && version < 0x54) type = 4;
        if (version >= 0x60 && version < 0x63) type = 5;
    }
    return type;
}

uint32_t VirtualWriter::WriterChunkSize() const {
    const MachineType type = settings_.machineType;
    return (type == 2 || (type >= 6 && type <= 15)) ? 8192u : kMaxPayload;
}

}  // namespace brevant
