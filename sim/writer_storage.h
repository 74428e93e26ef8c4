#pragma once
// Everything a virtual writer holds besides its identity: firmware storage, component
// regions, the keyboard scanner's code memory, its text line and clock bookkeeping, and
// the transfers in progress. Plain data, so tests can inspect and preload all of it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brevant {

// Status codes of the virtual writer's RSP_STATUS answers (3 is the protocol's own).
inline constexpr uint32_t kSimStatusNoSuchFile = 2;
inline constexpr uint32_t kSimStatusBadRequest = 0x81;    // parameters or payload malformed
inline constexpr uint32_t kSimStatusBadTransfer = 0x82;   // chunk out of order or inconsistent
inline constexpr uint32_t kSimStatusChecksum = 0x83;      // image differs from the announced CRC
inline constexpr uint32_t kSimStatusNotPrepared = 0x84;   // region write without a prepare
inline constexpr uint32_t kSimStatusRefused = 0x85;       // a refuse knob fired
inline constexpr uint32_t kSimStatusBusy = 0x86;          // readiness probe not answered yet
inline constexpr uint32_t kSimStatusBadAddress = 0x87;    // outside every region
inline constexpr uint32_t kSimStatusNoChecksum = 0x88;    // transfer without an announced CRC

// Where the version word and build sit in application and boot code images.
inline constexpr uint32_t kImageVersionOffset = 0x11C;
inline constexpr uint32_t kImageBuildOffset = 0x120;

inline constexpr uint32_t kScannerBase = 0x80000000;
inline constexpr uint32_t kScannerMemorySize = 0x80000;  // 512 KiB
inline constexpr uint32_t kScannerMaxWrite = 512;

inline constexpr uint32_t kRegionXLoader = 0;
inline constexpr uint32_t kRegionWifiApp = 8;
inline constexpr uint32_t kRegionWifiNvs = 9;

// The built-in images being newer, the writer starts with this X-Loader version text.
inline constexpr const char* kSimXLoaderVersionText = "X-Loader 5.00 (";
inline constexpr uint32_t kSimXLoaderTextOffset = 0x20;

enum class FirmwareState {
    Original,    // what the writer came with, described by its settings
    Programmed,  // a complete, checksum-verified image from a transfer
    Invalid,     // erased by a transfer that did not complete
};

struct FirmwareStore {
    FirmwareState state = FirmwareState::Original;
    std::vector<uint8_t> image;  // the last complete transfer (Programmed only)
    uint32_t transfersCompleted = 0;
};

struct Region {
    uint32_t id = 0;
    uint32_t start = 0;
    uint32_t size = 0;
    std::vector<uint8_t> bytes;  // size bytes
    bool prepared = false;       // erased since the last restart; writes are taken
    uint32_t prepareCount = 0;
    uint32_t writeCount = 0;  // blocks taken
};

// A chunked image transfer in progress.
struct TransferState {
    bool active = false;
    uint32_t total = 0;
    uint32_t expectedCrc = 0;
    uint32_t param1 = 0;
    std::vector<uint8_t> bytes;  // what arrived so far, as stored
    uint32_t chunksTaken = 0;
};

struct ScannerState {
    std::vector<uint8_t> memory;  // kScannerMemorySize bytes at kScannerBase
    bool programmingMode = false;
    uint32_t writesThisSession = 0;
    uint32_t writesTaken = 0;
    uint32_t checksumsAnswered = 0;
};

struct WriterStorage {
    FirmwareStore app;
    FirmwareStore boot;
    std::vector<Region> regions;
    ScannerState scanner;

    // Text line: what it shows now (empty when cleared) and every text shown, in order.
    std::string displayText;
    std::vector<std::string> textHistory;
    uint32_t probesAnswered = 0;

    std::optional<uint32_t> announcedCrc;  // the last CMD_IMAGE_CRC not yet used by a transfer
    TransferState appTransfer;
    TransferState bootTransfer;
    TransferState xLoaderTransfer;

    uint32_t fileChecks = 0;
    std::string lastCheckedName;
    uint32_t fileReleases = 0;
    uint32_t clockSets = 0;
    uint32_t restarts = 0;

    Region* FindRegion(uint32_t id) {
        for (Region& r : regions) {
            if (r.id == id) return &r;
        }
        return nullptr;
    }
    const Region* FindRegion(uint32_t id) const { return const_cast<WriterStorage*>(this)->FindRegion(id); }
};

}  // namespace brevant
