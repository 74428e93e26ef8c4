#pragma once
// The decisions and numbers of an update run that the read-only check must make the same
// way: when a writer is taken, when its firmware goes first, when the run asks before a
// downgrade or a clock change, which boot code is older, whether the scanner step runs and
// how the X-Loader version texts compare. The steps and the check both call these, so the
// check cannot drift from what a run would do. Pure functions over plain values.

#include <cstdint>
#include <string_view>

#include "images/machine_catalogue.h"

namespace brevant {

struct IdentificationFields;

// Admission and the files-in-use check.
bool IsAdmittedMachineType(MachineType type);  // 18 to 20
inline constexpr const char* kFilesInUseCheckName = "REALTIME.000";

// Writers below these builds cannot take the regular step sequence until their boot code
// and application have been replaced and they have restarted.
inline constexpr uint32_t kEarlyUpdateBelowAppBuild = 34494;
inline constexpr uint32_t kEarlyUpdateBelowBootBuild = 35673;
// On the fields as identification leaves them (boot-mode rewrite included).
bool NeedsEarlyUpdate(const IdentificationFields& id);

// In boot mode the writer reported its boot code: that becomes the main boot version and
// build, and the application fields take the descriptor's boot-mode version and build 0.
void TakeBootModeIdentity(IdentificationFields& id, const MachineDescriptor& d);

// True when the built-in application is older than what the writer reports (the version
// word without its beta byte, or the build): the run asks before sending it.
bool WouldAskBeforeDowngrade(uint32_t imageVersion, uint32_t imageBuild, uint32_t reportedVersion, uint32_t appBuild);

// The writer's clock is set silently up to this difference and after a question beyond it.
inline constexpr uint32_t kClockQuestionAboveSeconds = 300;
bool AsksBeforeSettingClock(uint32_t pcClock, uint32_t writerClock);

// Region ids of CMD_REGION_QUERY and the selector the steps read regions back with.
inline constexpr uint32_t kXLoaderRegion = 0;
inline constexpr uint32_t kWifiAppRegion = 8;
inline constexpr uint32_t kWifiNvsRegion = 9;
inline constexpr uint32_t kReadBackSelector = 4;

// Older when either the version or the build on the writer is below the built-in one's.
bool BootCodeIsOlder(uint32_t writerVersion, uint32_t writerBuild, const MachineDescriptor& d);

// The X-Loader version text of a buffer: from the first "X-Loader " to the next NUL. The
// search never leaves the buffer: without a NUL the text runs to the buffer's end, and a
// buffer without the marker has an empty text, which every real version text is greater than.
inline constexpr std::string_view kXLoaderMarker = "X-Loader ";
std::string_view XLoaderVersionText(const uint8_t* bytes, uint32_t n);
// Plain string order on unsigned bytes; a text that is a prefix of the other is smaller.
bool IsVersionTextGreater(std::string_view a, std::string_view b);

// The keyboard scanner: property 0 is its version; this value never counts as up to date,
// so the step goes on to compare checksums.
inline constexpr uint32_t kAnyScannerVersion = 0xFFFFFFFF;
inline constexpr uint32_t kScannerImageBase = 0x80000000;  // the scanner's address of flat byte 0
inline constexpr uint32_t kScannerImageSize = 0x80000;
inline constexpr uint32_t kScannerImageSpare = 256;        // allocated past the flat image
inline constexpr uint32_t kScannerCodeStart = 0x2000;      // the scanner's own loader lives below
inline constexpr uint32_t kScannerAnswerCapacity = 1024;   // reply buffer of one scanner exchange
inline constexpr uint32_t kScannerChecksumPauseMilliseconds = 100;  // after entering checking mode

// True when the machine type carries a scanner image and the writer's scanner is older or
// runs whatever version.
bool ScannerStepRuns(uint32_t property0, const MachineDescriptor& d);

struct ScannerCode {
    uint32_t end = 0;     // one past the last byte that is not erased flash, at least start plus one
    uint32_t length = 0;  // end minus the code start: what is checksummed and sent
};
// On a flat image of kScannerImageSize bytes.
ScannerCode FindScannerCode(const uint8_t* flat);

}  // namespace brevant
