// The X-Loader step: read the writer's X-Loader back, compare it with the built-in one by
// checksum and, when they differ, by the version texts inside them; program only an older
// one. A failed transfer asks for a restart, after which the run's second call retries.

#include <algorithm>
#include <memory>
#include <string_view>

#include "images/image_resources.h"
#include "update/message_buffer.h"
#include "update/step_helpers.h"
#include "update/update_rules.h"
#include "update/update_run.h"

namespace brevant {

namespace {

// Both texts and the words around them must fit one 512-byte line.
constexpr int kLoggedTextLimit = 200;

int LoggedLength(std::string_view text) { return int(std::min<size_t>(text.size(), kLoggedTextLimit)); }
const char* LoggedText(std::string_view text) { return text.empty() ? "" : text.data(); }

}  // namespace

int UpdateEngine::UpdateXLoader() {
    if (flags_.xLoaderDone) return 0;
    const MachineDescriptor& d = DescriptorFor(device_.machineType());
    if (d.xLoaderResourceId == 0) {
        device_.ShowText(nullptr);
        return 0;
    }
    device_.ShowText("Updating X-Loader");
    ui_.SetStatusText("\n\nChecking XLoader...");
    const int result = CheckAndProgramXLoader(d);
    // Every way out clears the writer's text line, the failures included.
    device_.ShowText(nullptr);
    return result;
}

int UpdateEngine::CheckAndProgramXLoader(const MachineDescriptor& d) {
    const LoadedImage image = LoadImageResource(d.xLoaderResourceId, kImageSlack);
    if (!image.ok()) return ReportImageLoadFailure(image.error, d.xLoaderResourceId, true);
    const uint32_t n = image.length;
    const uint8_t* const bytes = image.bytes.get();

    const std::unique_ptr<uint8_t[]> readBack = AllocateWorkBuffer(n);
    if (!readBack) return ReportOutOfMemory(true);

    const uint32_t start = device_.QueryRegion(kXLoaderRegion, nullptr);
    if (!ReadRegionBack(device_, start, readBack.get(), n)) {
        ShortMessage m;
        m.Format("Failed to read x-Loader Image!");
        log_.Line(m.c_str());
        ui_.ShowError(m.c_str());
        return 1;
    }
    if (n == 0 || ChecksumOf(bytes, n) == ChecksumOf(readBack.get(), n)) {
        flags_.xLoaderDone = true;
        return 0;
    }

    const std::string_view ours = XLoaderVersionText(bytes, n);
    const std::string_view theirs = XLoaderVersionText(readBack.get(), n);
    RunMessage m;
    if (!IsVersionTextGreater(ours, theirs)) {
        // Left clear on purpose: the run's second call checks again.
        log_.Line(m.Format("Has newer version: %.*s then %.*s", LoggedLength(theirs), LoggedText(theirs),
                           LoggedLength(ours), LoggedText(ours)));
        return 0;
    }
    log_.Line(m.Format("Old %.*s, programming %.*s", LoggedLength(theirs), LoggedText(theirs), LoggedLength(ours),
                       ours.data()));
    log_.Line(m.Format("Sending XLoader %s...", d.machineName));
    ui_.SetStatusText(m.Format("\n\nSending XLoader %s...", d.machineName));
    if (device_.ProgramXLoader(bytes, n, 0) == 0) {
        flags_.xLoaderDone = true;
    } else {
        // Not a failure of the run: the restart before the second call gives it another go.
        flags_.restartPending = true;
    }
    return 0;
}

}  // namespace brevant
