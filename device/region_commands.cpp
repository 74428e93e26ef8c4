// Component storage by address: where a region lies, reading it back, preparing and writing
// it block by block, and the chunked X-Loader transfer.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "device/device_protocol.h"
#include "images/crc32.h"

namespace brevant {

namespace {

constexpr uint32_t kEraseUnit = 0x20000;
constexpr uint32_t kWriteBlock = 32;

}  // namespace

uint32_t CTolvaUsb::QueryRegion(uint32_t regionId, uint32_t* outSize) {
    PrepareRequest(CMD_REGION_QUERY, 0, regionId);
    SendPacket();
    if (outSize != nullptr) *outSize = 0;
    if (ReceivePacket() == 0 || ResponseCode() != CMD_REGION_QUERY) return 0;
    if (outSize != nullptr) *outSize = ResponseParam(1);
    return ResponseParam(0);
}

bool CTolvaUsb::ReadRegion(uint32_t address, uint32_t count, uint8_t* destination, uint32_t selector) {
    PrepareRequest(CMD_READ_REGION, 0, address, count, 0, 0, selector);
    if (!Exchange() || ResponseCode() != CMD_READ_REGION) return false;
    const uint32_t length = ResponseLength();
    const uint32_t copied = std::min(length, count);
    if (destination != nullptr && copied != 0) std::memcpy(destination, ResponsePayload(), copied);
    return ResponseParam(0) == address && length == count;
}

bool CTolvaUsb::PrepareRegion(uint32_t start, uint32_t size, uint32_t* outStatus) {
    PrepareRequest(CMD_REGION_PREPARE, 0, start, (size + (kEraseUnit - 1)) & ~(kEraseUnit - 1));
    if (!Exchange()) return false;
    if (ResponseCode() == RSP_STATUS) {
        if (outStatus != nullptr) *outStatus = ResponseParam(2);
        return false;
    }
    return ResponseCode() == CMD_REGION_PREPARE;
}

bool CTolvaUsb::WriteRegion(const uint8_t* bytes, uint32_t address, uint32_t count) {
    if (bytes == nullptr && count != 0) return false;
    // A block beyond one payload is left uncopied to SendPacket's limit, which closes the
    // link. One within the payload but above the chunk size would overrun the smaller
    // writers' buffers; the steps never cut such a block, so it is refused unsent.
    if (count <= kMaxPayload && count > chunkSize_) return false;
    const uint32_t length = count <= kMaxPayload ? (count + (kWriteBlock - 1)) & ~(kWriteBlock - 1) : kOversized;
    PrepareRequest(CMD_REGION_WRITE, length, address, count);
    if (length <= kMaxPayload) {
        uint8_t* payload = RequestPayload();
        if (count != 0) std::memcpy(payload, bytes, count);
        std::memset(payload + count, 0, length - count);
    }
    return Exchange() && ResponseCode() == RSP_NEXT;
}

int CTolvaUsb::ProgramXLoader(const uint8_t* image, uint32_t length, uint32_t param1) {
    if (image == nullptr && length != 0) return kResultNoValidResponse;
    PrepareRequest(CMD_PROGRAM_XLOADER, 0, machineType_, param1, length, 0, kTransferMarker);
    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[length == 0 ? 1 : length]);
    if (!copy) return kResultNoValidResponse;
    if (length != 0) std::memcpy(copy.get(), image, length);
    Crc32 crc;
    crc.Add(copy.get(), length);
    SendImageCrc(crc.Value());
    return SendChunkedCopy(copy.get(), length, "X-Loader");
}

}  // namespace brevant
