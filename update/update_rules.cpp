#include "update/update_rules.h"

#include <algorithm>

#include "update/update_run.h"

namespace brevant {

bool IsAdmittedMachineType(MachineType type) { return type >= 18 && type <= 20; }

bool NeedsEarlyUpdate(const IdentificationFields& id) {
    return (id.bootMode == 0 && id.appBuild < kEarlyUpdateBelowAppBuild) ||
           (id.bootMode != 0 && id.mainBootBuild < kEarlyUpdateBelowBootBuild);
}

void TakeBootModeIdentity(IdentificationFields& id, const MachineDescriptor& d) {
    id.secondaryBootVersion = 0;
    id.secondaryBootBuild = 0;
    id.mainBootVersion = id.appVersion;
    id.mainBootBuild = id.appBuild;
    id.appVersion = d.bootModeAppVersion;
    id.appBuild = 0;
}

bool WouldAskBeforeDowngrade(uint32_t imageVersion, uint32_t imageBuild, uint32_t reportedVersion, uint32_t appBuild) {
    return imageVersion < (reportedVersion & ~0xFFu) || imageBuild < appBuild;
}

bool AsksBeforeSettingClock(uint32_t pcClock, uint32_t writerClock) {
    const uint32_t difference = pcClock > writerClock ? pcClock - writerClock : writerClock - pcClock;
    return difference > kClockQuestionAboveSeconds;
}

bool BootCodeIsOlder(uint32_t writerVersion, uint32_t writerBuild, const MachineDescriptor& d) {
    return writerVersion < d.bootImageVersion || writerBuild < d.bootImageBuild;
}

std::string_view XLoaderVersionText(const uint8_t* bytes, uint32_t n) {
    const std::string_view all(reinterpret_cast<const char*>(bytes), n);
    const size_t start = all.find(kXLoaderMarker);
    if (start == std::string_view::npos) return {};
    const std::string_view rest = all.substr(start);
    return rest.substr(0, std::min(rest.find('\0'), rest.size()));
}

bool IsVersionTextGreater(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x > y;
    }
    return a.size() > b.size();
}

bool ScannerStepRuns(uint32_t property0, const MachineDescriptor& d) {
    if (d.keyboardScannerResourceId == 0) return false;
    return property0 == kAnyScannerVersion || property0 < d.keyboardScannerVersion;
}

ScannerCode FindScannerCode(const uint8_t* flat) {
    uint32_t end = kScannerImageSize;
    while (end > kScannerCodeStart + 1 && flat[end - 1] == 0xFF) --end;
    return ScannerCode{end, end - kScannerCodeStart};
}

}  // namespace brevant
