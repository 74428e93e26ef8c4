#include "update/step_helpers.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/byte_order.h"
#include "device/packet.h"
#include "images/crc32.h"
#include "images/intel_hex.h"
#include "update/update_run.h"

namespace brevant {

uint32_t LocalClockSeconds(Clock& clock) {
    const int64_t now = clock.UnixSeconds();
    return uint32_t(uint64_t(now + clock.ToLocal(now).utcOffsetSeconds));
}

uint32_t ChecksumOf(const uint8_t* bytes, uint32_t n) {
    Crc32 crc;
    crc.Add(bytes, n);
    return crc.Value();
}

std::unique_ptr<uint8_t[]> AllocateWorkBuffer(uint32_t n) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[n == 0 ? 1 : n]());
}

uint32_t TransferBlockSize(uint32_t chunkSize) {
    return chunkSize == 0 || chunkSize > kMaxPayload ? kMaxPayload : chunkSize;
}

bool ReadRegionBack(CTolvaUsb& device, uint32_t start, uint8_t* destination, uint32_t n, uint32_t* failedAt) {
    const uint32_t block = TransferBlockSize(device.chunkSize());
    for (uint32_t offset = 0; offset < n;) {
        const uint32_t length = std::min(n - offset, block);
        if (!device.ReadRegion(start + offset, length, destination + offset, kReadBackSelector)) {
            if (failedAt != nullptr) *failedAt = offset;
            return false;
        }
        offset += length;
    }
    return true;
}

void ReadBootVersions(CTolvaUsb& device, IdentificationFields& id) {
    if (device.GetBootVersions(&id.mainBootVersion, &id.mainBootBuild, &id.secondaryBootVersion,
                               &id.secondaryBootBuild) != 0) {
        id.mainBootVersion = id.mainBootBuild = id.secondaryBootVersion = id.secondaryBootBuild = 0;
    }
}

bool SetScannerMode(CTolvaUsb& device, uint8_t mode, bool requireZeroAnswer) {
    uint8_t answer[kScannerAnswerCapacity];
    uint32_t answerLength = 0;
    const uint8_t payload[1] = {mode};
    if (device.SensorBoardExchange(SENSOR_MODE, payload, 1, answer, kScannerAnswerCapacity, &answerLength) != 0) {
        return false;
    }
    return !requireZeroAnswer || answerLength == 0 || answer[0] == 0;
}

bool AskScannerChecksum(CTolvaUsb& device, const ScannerCode& code, uint32_t& checksum) {
    uint8_t answer[kScannerAnswerCapacity];
    uint32_t answerLength = 0;
    uint8_t payload[8];
    StoreLe32(payload, kScannerImageBase + kScannerCodeStart);
    StoreLe32(payload + 4, code.length);
    if (device.SensorBoardExchange(SENSOR_CHECKSUM, payload, sizeof payload, answer, kScannerAnswerCapacity,
                                   &answerLength) != 0 ||
        answerLength != 4) {
        return false;
    }
    checksum = LoadBe32(answer);
    return true;
}

ScannerImage LoadScannerImage(uint32_t resourceId) {
    ScannerImage image;
    const LoadedImage text = LoadImageResource(resourceId, kImageSlack);
    if (!text.ok()) {
        image.loadError = text.error;
        return image;
    }
    image.flat.reset(new (std::nothrow) uint8_t[kScannerImageSize + kScannerImageSpare]);
    if (!image.flat) {
        image.loadError = ImageLoadError::OutOfMemory;
        return image;
    }
    // Erased flash: what the HEX text does not cover stays 0xFF and is trimmed off the code.
    std::memset(image.flat.get(), 0xFF, kScannerImageSize + kScannerImageSpare);
    if (IntelHexLoader(text.bytes.get(), text.length, image.flat.get(), kScannerImageSize, kScannerImageBase) <= 0) {
        image.notHex = true;
        return image;
    }
    image.code = FindScannerCode(image.flat.get());
    image.checksum = ChecksumOf(image.flat.get() + kScannerCodeStart, image.code.length);
    return image;
}

}  // namespace brevant
