#include "sim/server/storage_report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"
#include "images/crc32.h"
#include "sim/server/command_names.h"

namespace brevant {

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

uint32_t Crc(const uint8_t* bytes, size_t n) {
    Crc32 crc;
    crc.Add(bytes, n);
    return crc.Value();
}

const char* StateName(FirmwareState state) {
    switch (state) {
        case FirmwareState::Original: return "original";
        case FirmwareState::Programmed: return "programmed";
        case FirmwareState::Invalid: return "erased (a transfer did not complete)";
    }
    return "?";
}

std::string Firmware(const FirmwareStore& store, uint32_t version, uint32_t build, bool withCrc) {
    std::string text = Format("%s, version %X.%02X.%02X build %u", StateName(store.state), unsigned(version >> 24),
                              unsigned((version >> 16) & 0xFF), unsigned((version >> 8) & 0xFF), unsigned(build));
    if (store.state == FirmwareState::Programmed) {
        text += Format(", %zu bytes", store.image.size());
        if (withCrc) text += Format(", CRC 0x%08X", unsigned(Crc(store.image.data(), store.image.size())));
    }
    text += Format(", transfers %u", unsigned(store.transfersCompleted));
    return text;
}

// Bytes up to the last one that is not erased flash.
size_t UsedLength(const std::vector<uint8_t>& bytes, size_t from = 0) {
    size_t end = bytes.size();
    while (end > from && bytes[end - 1] == 0xFF) --end;
    return end;
}

std::string RegionText(const Region* region, bool withCrc, bool withVersionText) {
    if (region == nullptr) return "no such region";
    std::string text = Format("%u bytes at 0x%08X, used %zu, prepared %u times, %u blocks written",
                              unsigned(region->size), unsigned(region->start), UsedLength(region->bytes),
                              unsigned(region->prepareCount), unsigned(region->writeCount));
    if (withVersionText) {
        static constexpr char kMarker[] = "X-Loader ";
        const auto& b = region->bytes;
        for (size_t i = 0; i + sizeof kMarker - 1 <= b.size(); ++i) {
            if (std::memcmp(&b[i], kMarker, sizeof kMarker - 1) == 0) {
                size_t end = i;
                while (end < b.size() && end < i + 64 && b[end] != 0) ++end;
                text += ", text \"" + std::string(reinterpret_cast<const char*>(&b[i]), end - i) + "\"";
                break;
            }
        }
    }
    if (withCrc) text += Format(", CRC 0x%08X", unsigned(Crc(region->bytes.data(), UsedLength(region->bytes))));
    return text;
}

std::string ScannerText(const VirtualWriter& writer, bool withCrc) {
    const ScannerState& s = writer.storage().scanner;
    constexpr size_t kCodeStart = 0x2000;
    const size_t end = std::max(UsedLength(s.memory, kCodeStart), kCodeStart + 1);
    std::string text = Format("version %u, %s, code 0x%08X..0x%08X, %u blocks taken",
                              unsigned(writer.settings().scannerVersion),
                              s.programmingMode ? "in programming mode" : "running",
                              unsigned(kScannerBase + kCodeStart), unsigned(kScannerBase + end),
                              unsigned(s.writesTaken));
    if (withCrc && s.memory.size() >= end) {
        text += Format(", CRC 0x%08X", unsigned(Crc(s.memory.data() + kCodeStart, end - kCodeStart)));
    }
    return text;
}

constexpr const char* kNames[kReportedComponents] = {
    "application", "boot code", "X-Loader", "WiFi App", "WiFi NVS", "keyboard scanner", "display", "writer",
};

StorageSnapshot Picture(const VirtualWriter& writer, bool withCrc) {
    const WriterStorage& st = writer.storage();
    const WriterSettings& se = writer.settings();
    StorageSnapshot s;
    s[0] = Firmware(st.app, se.appVersion, se.appBuild, withCrc);
    s[1] = Firmware(st.boot, se.mainBootVersion, se.mainBootBuild, withCrc);
    s[2] = RegionText(st.FindRegion(kRegionXLoader), withCrc, true);
    s[3] = RegionText(st.FindRegion(kRegionWifiApp), withCrc, false);
    s[4] = RegionText(st.FindRegion(kRegionWifiNvs), withCrc, false);
    s[5] = ScannerText(writer, withCrc);
    s[6] = st.displayText.empty() ? std::string("(clear)") : "\"" + st.displayText + "\"";
    s[7] = Format("%s, clock set %u times, restarts %u, file checks %u", se.bootFlag ? "runs its boot code" : "runs its application",
                  unsigned(st.clockSets), unsigned(st.restarts), unsigned(st.fileChecks));
    return s;
}

}  // namespace

StorageSnapshot TakeSnapshot(const VirtualWriter& writer) { return Picture(writer, false); }

std::vector<std::string> SnapshotChanges(const StorageSnapshot& before, const StorageSnapshot& after) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < kReportedComponents; ++i) {
        if (before[i] != after[i]) lines.push_back(std::string("  ") + kNames[i] + ": " + after[i]);
    }
    return lines;
}

std::string StorageSummary(const VirtualWriter& writer) {
    const StorageSnapshot s = Picture(writer, true);
    std::string text = "writer summary:\n";
    for (size_t i = 0; i < kReportedComponents; ++i) text += std::string("  ") + kNames[i] + ": " + s[i] + "\n";
    return text;
}

std::string DescribePacket(const uint8_t* bytes, uint32_t n) {
    if (n < kPacketHeaderSize) return Format("%u bytes (shorter than a packet header)", unsigned(n));
    const PacketHeader h = DecodePacketHeader(bytes);
    const CommandCode code = h.code;
    std::string text = Format("%s (0x%04X) seq %u length %u params 0x%X 0x%X 0x%X 0x%X 0x%X", CommandName(code), unsigned(code),
                              unsigned(h.sequence), unsigned(h.length), unsigned(h.params[0]),
                              unsigned(h.params[1]), unsigned(h.params[2]), unsigned(h.params[3]),
                              unsigned(h.params[4]));
    if (bytes[0] != kMagic0 || bytes[1] != kMagic1) text += " (no QZ magic)";
    if (code == CMD_SHOW_TEXT && n > kPacketHeaderSize) {
        size_t end = kPacketHeaderSize;
        while (end < n && end < kPacketHeaderSize + 80 && bytes[end] != 0) ++end;
        text += " \"" + std::string(reinterpret_cast<const char*>(bytes + kPacketHeaderSize), end - kPacketHeaderSize) + "\"";
    }
    return text;
}

}  // namespace brevant
