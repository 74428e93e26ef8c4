// CMD_MACHINE_INFO and CMD_BOOT_VERSIONS: who the writer is and what it runs.

#include "common/byte_order.h"
#include "device/device_protocol.h"

namespace brevant {

namespace {

// Older writers with small USB buffers take 8 KiB per chunk; everything else 64 KiB.
uint32_t ChunkSizeFor(MachineType type) {
    return (type == 2 || (type >= 6 && type <= 15)) ? 8192u : kMaxPayload;
}

constexpr uint32_t kPropertyRecordSize = 8;
constexpr uint32_t kScannerVersionProperty = 0;

}  // namespace

int CTolvaUsb::GetMachineInfo(MachineType* type, uint32_t* version, uint32_t* bootFlag, uint32_t* build) {
    PrepareRequest(CMD_MACHINE_INFO, 0);
    SendPacket();
    property0_ = 0;
    if (ReceivePacket() == 0) return kResultNoValidResponse;
    if (ResponseCode() != CMD_MACHINE_INFO) return kResultOtherReply;

    const MachineType reported = ResponseParam(0) > kHighestMachineType ? kHighestMachineType : ResponseParam(0);
    MachineType effective = reported;
    chunkSize_ = ChunkSizeFor(reported);
    version_ = ResponseParam(1);
    bootFlag_ = ResponseParam(2);

    // Writers answering from old boot code report themselves under a neighbouring type;
    // these ranges put them back where their application belongs.
    if (bootFlag_ != 0) {
        if (reported == 1 && version_ >= 0x100 && version_ < 0x200) {
            bootFlag_ = 0;
        } else if (reported == 3 && version_ >= 0x50 && version_ < 0x54) {
            effective = 4;
        } else if (reported == 3 && version_ >= 0x60 && version_ < 0x63) {
            effective = 5;
        }
    }
    machineType_ = effective;
    // Only types from 16 on report a build; older ones leave the caller's variable alone.
    build_ = reported >= 16 ? ResponseParam(3) : 0;

    if (type != nullptr) *type = machineType_;
    if (version != nullptr) *version = version_;
    if (bootFlag != nullptr) *bootFlag = bootFlag_;
    if (build != nullptr && machineType_ >= 16) *build = build_;

    const uint32_t length = ResponseLength();
    if (length >= kPropertyRecordSize) {
        const uint8_t* record = ResponsePayload();
        for (uint32_t i = 0; i < length / kPropertyRecordSize; ++i, record += kPropertyRecordSize) {
            if (LoadLe32(record) == kScannerVersionProperty) property0_ = LoadLe32(record + 4);
        }
    }
    return kResultOk;
}

int CTolvaUsb::GetBootVersions(uint32_t* mainVersion, uint32_t* mainBuild, uint32_t* secondaryVersion,
                               uint32_t* secondaryBuild) {
    PrepareRequest(CMD_BOOT_VERSIONS, 0);
    if (!Exchange() || ResponseCode() != CMD_BOOT_VERSIONS) return kResultNoValidResponse;
    if (mainVersion != nullptr) *mainVersion = ResponseParam(0);
    if (mainBuild != nullptr) *mainBuild = ResponseParam(1);
    if (secondaryVersion != nullptr) *secondaryVersion = ResponseParam(2);
    if (secondaryBuild != nullptr) *secondaryBuild = ResponseParam(3);
    return kResultOk;
}

}  // namespace brevant
