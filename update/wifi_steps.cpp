// The two WiFi steps, one procedure over a table of what tells them apart: read the region
// back, compare with the built-in image, program it if they differ, compare again; at most
// two programming passes.

#include <algorithm>
#include <cstring>
#include <memory>

#include "images/image_resources.h"
#include "update/message_buffer.h"
#include "update/step_helpers.h"
#include "update/update_rules.h"
#include "update/update_run.h"

namespace brevant {

struct WifiComponent {
    uint32_t MachineDescriptor::*resourceId;
    uint32_t regionId;
    const char* progressLabel;
    const char* checkingText;    // writer's display
    const char* checkingLog;     // %s: machine name
    const char* checkingStatus;  // %s: machine name
    const char* loadingText;
    const char* sendingLog;
    const char* sendingStatus;
    const char* failureText;
};

namespace {

constexpr int kComparisons = 3;  // compare, program, compare, program, compare
constexpr const char* kNotTakenText = "Unable to program your writer.  Check if a job is open.";

constexpr WifiComponent kWifiApp{
    &MachineDescriptor::wifiAppResourceId,
    kWifiAppRegion,
    "WiFi App",
    "Checking WiFi App...",
    "Reading WiFi App. from %s...",
    "\n\nChecking WiFi App. from %s...",
    "Loading WiFi App...",
    "Sending WiFi App. to %s...",
    "\n\nSending WiFi App. to %s...",
    "Failure to load WiFi App.",
};

constexpr WifiComponent kWifiNvs{
    &MachineDescriptor::wifiNvsResourceId,
    kWifiNvsRegion,
    "WiFi NVS",
    "Checking WiFi NVS...",
    "Reading WiFi NVS. from %s...",
    "\n\nChecking WiFi NVS. from %s...",
    "Loading WiFi NVS...",
    "Sending WiFi NVS. to %s...",
    "\n\nSending WiFi NVS. to %s...",
    "Failure to load WiFi NVS.",
};

}  // namespace

int UpdateEngine::UpdateWifiApp() { return UpdateWifiComponent(kWifiApp); }

int UpdateEngine::UpdateWifiNvs() { return UpdateWifiComponent(kWifiNvs); }

int UpdateEngine::UpdateWifiComponent(const WifiComponent& c) {
    const MachineDescriptor& d = DescriptorFor(device_.machineType());
    const uint32_t resourceId = d.*c.resourceId;
    if (resourceId == 0) return 0;

    const LoadedImage image = LoadImageResource(resourceId, kImageSlack);
    if (!image.ok()) return ReportImageLoadFailure(image.error, resourceId, false);
    const uint32_t n = image.length;
    const uint8_t* const bytes = image.bytes.get();
    // Zeroed, so no byte of it is ever undefined; a pass whose read failed is not compared
    // at all, since what it left behind belongs to an earlier pass or to no read.
    const std::unique_ptr<uint8_t[]> readBack = AllocateWorkBuffer(n);
    if (!readBack) return ReportOutOfMemory(false);

    const uint32_t block = TransferBlockSize(device_.chunkSize());
    RunMessage m;
    for (int comparison = 1;; ++comparison) {
        device_.ShowText(c.checkingText);
        log_.Line(m.Format(c.checkingLog, d.machineName));
        ui_.SetStatusText(m.Format(c.checkingStatus, d.machineName));

        uint32_t size = 0;
        uint32_t start = device_.QueryRegion(c.regionId, &size);
        if (size == 0) return 0;  // no such region on this writer, or the link is gone
        const bool readAll = ReadRegionBack(device_, start, readBack.get(), n);
        if (readAll && std::memcmp(readBack.get(), bytes, n) == 0) return 0;

        if (comparison >= kComparisons) {
            device_.ShowText(c.failureText);
            log_.Line(kNotTakenText);
            ui_.ShowError(kNotTakenText);
            return 6;
        }

        device_.ShowText(c.loadingText);
        log_.Line(m.Format(c.sendingLog, d.machineName));
        ui_.SetStatusText(m.Format(c.sendingStatus, d.machineName));
        // Any break-off below still counts as a pass: the next comparison decides.
        start = device_.QueryRegion(c.regionId, &size);
        if (size == 0 || !device_.PrepareRegion(start, size, nullptr)) continue;
        ui_.ReportProgress({c.progressLabel, 0, n, "bytes"});
        for (uint32_t offset = 0; offset < n;) {
            const uint32_t length = std::min(n - offset, block);
            if (!device_.WriteRegion(bytes + offset, start + offset, length)) break;
            offset += length;
            ui_.ReportProgress({c.progressLabel, offset, n, "bytes"});
        }
    }
}

}  // namespace brevant
