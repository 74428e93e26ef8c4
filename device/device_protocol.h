#pragma once
// CTolvaUsb: the one object that talks to the writer. One request packet, one response
// packet, synchronously; both packet buffers live inside the object, so no exchange
// allocates. A failed exchange closes the link, after which every command fails at once
// until the link is opened again.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/user_interface.h"
#include "device/packet.h"
#include "device/transport.h"
#include "images/machine_catalogue.h"

namespace brevant {

class CTolvaUsb {
public:
    // The transport and the optional user interface belong to the caller and must outlive
    // this object. Without a user interface the programming-mode notices are not shown.
    explicit CTolvaUsb(Transport& transport, UserInterface* ui = nullptr,
                       std::string programTitle = "Brevant Update");
    virtual ~CTolvaUsb();

    CTolvaUsb(const CTolvaUsb&) = delete;
    CTolvaUsb& operator=(const CTolvaUsb&) = delete;

    // Link (forwarded to the transport).
    int Open();
    int Close();
    bool IsOpen() const;

    // Packet layer.
    uint32_t SendPacket();
    uint32_t ReceivePacket();

    // Identification.
    int GetMachineInfo(MachineType* type, uint32_t* version, uint32_t* bootFlag, uint32_t* build);
    int GetBootVersions(uint32_t* mainVersion, uint32_t* mainBuild, uint32_t* secondaryVersion,
                        uint32_t* secondaryBuild);

    // Control commands. ShowText(nullptr) sends no text (the readiness probe).
    bool ShowText(const char* text);
    int CheckFile(std::string_view fileName);
    bool ReleaseFile();
    bool SetProgramMode(uint32_t mode);
    void SendImageCrc(uint32_t checksum);
    int ClockTime(uint32_t* outValue, uint32_t value, uint32_t setFlag);

    // Application and boot-code transfers.
    int ProgramApplication(const uint8_t* image, uint32_t length, MachineType imageMachineType);
    uint32_t GetFlashGeometry(uint32_t selector, uint8_t* destination, uint32_t capacity);
    int ProgramBootCode(const uint8_t* image, uint32_t length, uint32_t param1);

    // Component regions and the X-Loader.
    uint32_t QueryRegion(uint32_t regionId, uint32_t* outSize);
    bool ReadRegion(uint32_t address, uint32_t count, uint8_t* destination, uint32_t selector);
    bool PrepareRegion(uint32_t start, uint32_t size, uint32_t* outStatus);
    bool WriteRegion(const uint8_t* bytes, uint32_t address, uint32_t count);
    int ProgramXLoader(const uint8_t* image, uint32_t length, uint32_t param1);

    // Keyboard scanner tunnel. At most answerCapacity bytes of the answer are copied; the
    // answer length still reports the writer's full answer length.
    int SensorBoardExchange(uint32_t subCommand, const uint8_t* payload, uint32_t payloadLength,
                            uint8_t* answer, uint32_t answerCapacity, uint32_t* answerLength);

    // What the last identification learnt.
    MachineType machineType() const { return machineType_; }
    uint32_t version() const { return version_; }
    uint32_t bootFlag() const { return bootFlag_; }
    uint32_t build() const { return build_; }
    uint32_t chunkSize() const { return chunkSize_; }
    uint32_t property0() const { return property0_; }
    uint32_t sequence() const { return sequence_; }
    uint32_t sectorSize() const { return sectorSize_; }
    uint32_t reservedSize() const { return reservedSize_; }

    // Lets a front end show transfer progress; may be null.
    void SetUserInterface(UserInterface* ui) { ui_ = ui; }

    // Header fields of the request under construction and of the last response.
    PacketHeader RequestHeader() const;
    PacketHeader ResponseHeader() const;

private:
    void PrepareRequest(CommandCode code, uint32_t length, uint32_t p0 = 0, uint32_t p1 = 0, uint32_t p2 = 0,
                        uint32_t p3 = 0, uint32_t p4 = 0);
    void SetRequestLength(uint32_t length);
    void SetRequestParam(int index, uint32_t value);
    uint8_t* RequestPayload() { return send_.data() + kPacketHeaderSize; }
    const uint8_t* ResponsePayload() const { return receive_.data() + kPacketHeaderSize; }
    CommandCode ResponseCode() const;
    uint32_t ResponseLength() const;
    uint32_t ResponseParam(int index) const;
    // Sends the prepared request and receives the answer; true when a valid packet arrived.
    bool Exchange();
    uint32_t FailReceive();
    // Chunked transfer shared by the boot code and X-Loader commands: sends the working copy
    // in chunks of the machine's chunk size under the header the caller prepared.
    int SendChunkedCopy(const uint8_t* copy, uint32_t length, std::string_view what);
    void ReportProgress(std::string_view what, uint64_t done, uint64_t total);

    Transport& transport_;
    UserInterface* ui_;
    std::string programTitle_;
    uint32_t sequence_ = 0;
    std::array<uint8_t, kPacketBufferSize> receive_{};
    std::array<uint8_t, kPacketBufferSize> send_{};
    MachineType machineType_ = kHighestMachineType;
    uint32_t version_ = 0;
    uint32_t bootFlag_ = 0;
    uint32_t build_ = 0;
    // Undefined before the first identification; every run identifies before a transfer.
    uint32_t chunkSize_ = kMaxPayload;
    uint32_t sectorSize_ = 0;
    uint32_t reservedSize_ = 0;
    uint32_t property0_ = 0;
};

}  // namespace brevant
