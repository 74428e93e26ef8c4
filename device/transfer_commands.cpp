// The application and boot-code transfers, and the flash geometry query the boot code
// transfer makes on the writers that keep their boot code in whole sectors.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "common/byte_order.h"
#include "device/device_protocol.h"
#include "images/crc32.h"

namespace brevant {

namespace {

// The application always travels in 64 KiB chunks; only boot code and X-Loader follow the
// machine's chunk size.
constexpr uint32_t kApplicationChunk = 65536;

constexpr uint32_t kGeometrySelector = 4;
constexpr uint32_t kGeometryBlockSize = 44;  // eleven words
constexpr uint32_t kGeometrySectorWord = 9;
constexpr uint32_t kGeometryReservedWord = 10;
constexpr uint32_t kDefaultSectorSize = 0x20000;
constexpr uint32_t kDefaultReservedSize = 0x800;
// The sector keeps this much beyond the reserved area free for its own trailer.
constexpr uint32_t kSectorTrailer = 8;

bool KeepsBootInSectors(MachineType type) { return type == 16 || type == 17; }

// Writers that identified under type 4 or 5 from old type-3 boot code are programmed as 3.
MachineType WireType(MachineType type, uint32_t version, uint32_t bootFlag) {
    if (bootFlag == 0) return type;
    if (type == 4 && version >= 0x50 && version <= 0x53) return 3;
    if (type == 5 && version >= 0x60 && version <= 0x62) return 3;
    return type;
}

}  // namespace

int CTolvaUsb::ProgramApplication(const uint8_t* image, uint32_t length, MachineType imageMachineType) {
    if (imageMachineType != machineType_) return kResultWrongMachineType;
    if (length == 0) return kResultOk;
    if (image == nullptr) return kResultNoValidResponse;
    PrepareRequest(CMD_PROGRAM_APP, 0, WireType(imageMachineType, version_, bootFlag_), 0, length, 0,
                   kTransferMarker);
    ReportProgress("Application", 0, length);
    uint32_t offset = 0;
    while (true) {
        const uint32_t chunk = std::min(kApplicationChunk, length - offset);
        SetRequestLength(chunk);
        SetRequestParam(3, offset);
        std::memcpy(RequestPayload(), image + offset, chunk);
        if (!Exchange()) return kResultChunkUnanswered;
        if (ResponseCode() == RSP_STATUS) return int(ResponseParam(0));
        if (ResponseCode() != RSP_NEXT) return kResultNoValidResponse;
        offset += chunk;
        ReportProgress("Application", offset, length);
        if (offset == length) return kResultOk;
    }
}

uint32_t CTolvaUsb::GetFlashGeometry(uint32_t selector, uint8_t* destination, uint32_t capacity) {
    PrepareRequest(CMD_FLASH_GEOMETRY, 0, selector);
    if (!Exchange() || ResponseCode() != CMD_FLASH_GEOMETRY) return 0;
    const uint32_t length = ResponseLength();
    const uint32_t copied = std::min(length, capacity);
    if (destination != nullptr && copied != 0) std::memcpy(destination, ResponsePayload(), copied);
    return length;
}

int CTolvaUsb::ProgramBootCode(const uint8_t* image, uint32_t length, uint32_t param1) {
    if (image == nullptr && length != 0) return kResultNoValidResponse;
    uint32_t padded = length;
    if (KeepsBootInSectors(machineType_)) {
        uint8_t block[kGeometryBlockSize] = {};
        sectorSize_ = kDefaultSectorSize;
        reservedSize_ = kDefaultReservedSize;
        if (GetFlashGeometry(kGeometrySelector, block, kGeometryBlockSize) != 0) {
            const uint32_t sector = LoadLe32(block + 4 * kGeometrySectorWord);
            const uint32_t reserved = LoadLe32(block + 4 * kGeometryReservedWord);
            if (sector != 0) sectorSize_ = sector;
            if (reserved != 0) reservedSize_ = reserved;
        }
        const uint32_t s = sectorSize_;
        const uint32_t fill = length <= s - reservedSize_ - kSectorTrailer ? length : 2 * s;
        padded = (fill + s - 1) & (0u - s);
        // An image that outgrows two sectors (or a geometry that makes the rounding wrap)
        // is padded to whole sectors of its own length, so the copy below never outruns
        // the working copy.
        if (padded < length) {
            const uint32_t rounded = (length + s - 1) & (0u - s);
            padded = rounded >= length ? rounded : length;
        }
    }
    PrepareRequest(CMD_PROGRAM_BOOT, 0, machineType_, param1, padded, 0, kTransferMarker);

    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[padded == 0 ? 1 : padded]);
    if (!copy) return kResultNoValidResponse;
    std::memset(copy.get(), 0xFF, padded);
    if (length != 0) std::memcpy(copy.get(), image, length);

    Crc32 crc;
    crc.Add(copy.get(), padded);
    SendImageCrc(crc.Value());
    return SendChunkedCopy(copy.get(), padded, "Boot code");
}

int CTolvaUsb::SendChunkedCopy(const uint8_t* copy, uint32_t length, std::string_view what) {
    ReportProgress(what, 0, length);
    uint32_t offset = 0;
    uint32_t chunk = std::min(chunkSize_, length);
    while (chunk != 0) {
        SetRequestLength(chunk);
        SetRequestParam(3, offset);
        std::memcpy(RequestPayload(), copy + offset, chunk);
        if (!Exchange()) return kResultChunkUnanswered;
        if (ResponseCode() == RSP_STATUS) return int(ResponseParam(0));
        if (ResponseCode() != RSP_NEXT) return kResultNoValidResponse;
        offset += chunk;
        ReportProgress(what, offset, length);
        chunk = std::min(chunkSize_, length - offset);
    }
    return kResultOk;
}

}  // namespace brevant
