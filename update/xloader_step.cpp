// The X-Loader step: read the writer's X-Loader back, compare it with the built-in one by
// checksum and, when they differ, by the version texts inside them; program only an older
// one. A failed transfer asks for a restart, after which the run's second call retries.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "images/crc32.h"
#include "images/image_resources.h"
#include "update/message_buffer.h"
#include "update/update_run.h"

namespace brevant {

namespace {

constexpr uint32_t kXLoaderRegion = 0;
constexpr uint32_t kReadSelector = 4;
constexpr std::string_view kVersionMarker = "X-Loader ";
// Both texts and the words around them must fit one 512-byte line.
constexpr int kLoggedTextLimit = 200;

// The version text of a buffer: from the first marker to the next NUL. The search never
// leaves the buffer: without a NUL the text runs to the buffer's end, and a buffer without
// the marker has an empty text, which every real version text is greater than.
std::string_view VersionText(const uint8_t* bytes, uint32_t n) {
    const std::string_view all(reinterpret_cast<const char*>(bytes), n);
    const size_t start = all.find(kVersionMarker);
    if (start == std::string_view::npos) return {};
    const std::string_view rest = all.substr(start);
    return rest.substr(0, std::min(rest.find('\0'), rest.size()));
}

// Plain string order on unsigned bytes; a text that is a prefix of the other is smaller.
bool IsGreater(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x > y;
    }
    return a.size() > b.size();
}

int LoggedLength(std::string_view text) { return int(std::min<size_t>(text.size(), kLoggedTextLimit)); }
const char* LoggedText(std::string_view text) { return text.empty() ? "" : text.data(); }

uint32_t ChecksumOf(const uint8_t* bytes, uint32_t n) {
    Crc32 crc;
    crc.Add(bytes, n);
    return crc.Value();
}

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
    if (!image.ok()) return ReportImageLoadFailure(image, d.xLoaderResourceId, true);
    const uint32_t n = image.length;
    const uint8_t* const bytes = image.bytes.get();

    const std::unique_ptr<uint8_t[]> readBack(new (std::nothrow) uint8_t[n == 0 ? 1 : n]);
    if (!readBack) return ReportOutOfMemory(true);

    const uint32_t start = device_.QueryRegion(kXLoaderRegion, nullptr);
    const uint32_t block = BlockSize();
    for (uint32_t offset = 0; offset < n;) {
        const uint32_t length = std::min(n - offset, block);
        if (!device_.ReadRegion(start + offset, length, readBack.get() + offset, kReadSelector)) {
            ShortMessage m;
            m.Format("Failed to read x-Loader Image!");
            log_.Line(m.c_str());
            ui_.ShowError(m.c_str());
            return 1;
        }
        offset += length;
    }
    if (n == 0 || ChecksumOf(bytes, n) == ChecksumOf(readBack.get(), n)) {
        flags_.xLoaderDone = true;
        return 0;
    }

    const std::string_view ours = VersionText(bytes, n);
    const std::string_view theirs = VersionText(readBack.get(), n);
    RunMessage m;
    if (!IsGreater(ours, theirs)) {
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
