#pragma once
// What the update steps and the read-only check both do with the writer and the built-in
// images: read a region back, ask for the boot code versions, talk to the scanner, lay out
// the scanner image. Sharing them keeps the check's exchanges those of a run.

#include <cstdint>
#include <memory>

#include "common/clock.h"
#include "device/device_protocol.h"
#include "images/image_resources.h"
#include "update/update_rules.h"

namespace brevant {

struct IdentificationFields;

// The PC's local wall-clock seconds since 1970, the form of the writer's clock. The offset
// already includes daylight saving.
uint32_t LocalClockSeconds(Clock& clock);

// The image checksum (images/crc32.h) of n bytes.
uint32_t ChecksumOf(const uint8_t* bytes, uint32_t n);

// A zeroed working buffer of n bytes, at least one; null when memory ran out.
std::unique_ptr<uint8_t[]> AllocateWorkBuffer(uint32_t n);

// Largest block one region read or write may move: the identified chunk size. Identification
// always sets it; the guard only keeps a loop from never advancing.
uint32_t TransferBlockSize(uint32_t chunkSize);

// Reads n bytes from start in blocks of the chunk size with the read-back selector; false at
// the first failed block, whose offset goes to failedAt when given.
bool ReadRegionBack(CTolvaUsb& device, uint32_t start, uint8_t* destination, uint32_t n,
                    uint32_t* failedAt = nullptr);

// The writer's boot code versions and builds; all four 0 when it does not answer.
void ReadBootVersions(CTolvaUsb& device, IdentificationFields& id);

// Enters (SENSOR_MODE_ENTER) or leaves (SENSOR_MODE_LEAVE) the scanner's checking mode. With
// requireZeroAnswer a non-zero first answer byte counts as refused.
bool SetScannerMode(CTolvaUsb& device, uint8_t mode, bool requireZeroAnswer);
// The scanner's checksum over the code range; false when the exchange failed or the answer
// was not four bytes.
bool AskScannerChecksum(CTolvaUsb& device, const ScannerCode& code, uint32_t& checksum);

// The built-in scanner image decoded from its HEX text into flat memory.
struct ScannerImage {
    ImageLoadError loadError = ImageLoadError::None;  // OutOfMemory too when the flat image was not had
    bool notHex = false;                              // loaded, but no valid HEX text
    // kScannerImageSize plus kScannerImageSpare bytes, erased flash (0xFF) where the text puts nothing.
    std::unique_ptr<uint8_t[]> flat;
    ScannerCode code;
    uint32_t checksum = 0;  // over the code

    bool ok() const { return loadError == ImageLoadError::None && !notHex; }
};
// The HEX text is let go of before this returns.
ScannerImage LoadScannerImage(uint32_t resourceId);

}  // namespace brevant
