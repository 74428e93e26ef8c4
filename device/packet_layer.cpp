// Framing of requests and responses, and the shared request/response accessors.

#include <algorithm>
#include <utility>

#include "common/byte_order.h"
#include "device/device_protocol.h"

namespace brevant {

CTolvaUsb::CTolvaUsb(Transport& transport, UserInterface* ui, std::string programTitle)
    : transport_(transport), ui_(ui), programTitle_(std::move(programTitle)) {}

CTolvaUsb::~CTolvaUsb() { transport_.Close(); }

int CTolvaUsb::Open() { return transport_.Open(); }
int CTolvaUsb::Close() { return transport_.Close(); }
bool CTolvaUsb::IsOpen() const { return transport_.IsOpen(); }

uint32_t CTolvaUsb::SendPacket() {
    send_[packet_offset::kMagic0] = kMagic0;
    send_[packet_offset::kMagic1] = kMagic1;
    StoreLe32(&send_[packet_offset::kSequence], sequence_);
    const uint32_t length = LoadLe32(&send_[packet_offset::kLength]);
    if (length > kMaxPayload) {
        transport_.Close();
        return 0;
    }
    const uint32_t written = transport_.Write(send_.data(), length + kPacketHeaderSize);
    if (written == 0) {
        transport_.Close();
        return 0;
    }
    return written;
}

uint32_t CTolvaUsb::FailReceive() {
    transport_.Close();
    return 0;
}

uint32_t CTolvaUsb::ReceivePacket() {
    uint8_t* const buffer = receive_.data();
    uint32_t received = transport_.Read(buffer, kPacketBufferSize);
    if (received == 0) return FailReceive();
    while (received < kPacketHeaderSize) {
        const uint32_t more = transport_.Read(buffer + received, kPacketHeaderSize - received);
        if (more == 0) return FailReceive();
        received += more;
    }
    const uint32_t length = LoadLe32(buffer + packet_offset::kLength);
    if (buffer[packet_offset::kMagic0] != kMagic0 || buffer[packet_offset::kMagic1] != kMagic1 ||
        LoadLe32(buffer + packet_offset::kSequence) != sequence_ || length > kMaxPayload) {
        return FailReceive();
    }
    const uint32_t total = length + kPacketHeaderSize;
    // A response must arrive alone: bytes of anything else in the same read are a fault.
    if (received > total) return FailReceive();
    while (received < total) {
        const uint32_t more = transport_.Read(buffer + received, total - received);
        if (more == 0) return FailReceive();
        received += more;
    }
    ++sequence_;
    return total;
}

void CTolvaUsb::PrepareRequest(CommandCode code, uint32_t length, uint32_t p0, uint32_t p1, uint32_t p2,
                               uint32_t p3, uint32_t p4) {
    StoreLe16(&send_[packet_offset::kCode], code);
    StoreLe32(&send_[packet_offset::kLength], length);
    const uint32_t params[5] = {p0, p1, p2, p3, p4};
    for (int i = 0; i < 5; ++i) StoreLe32(&send_[packet_offset::kParam0 + 4 * i], params[i]);
}

void CTolvaUsb::SetRequestLength(uint32_t length) { StoreLe32(&send_[packet_offset::kLength], length); }

void CTolvaUsb::SetRequestParam(int index, uint32_t value) {
    StoreLe32(&send_[packet_offset::kParam0 + 4 * index], value);
}

CommandCode CTolvaUsb::ResponseCode() const { return LoadLe16(&receive_[packet_offset::kCode]); }
uint32_t CTolvaUsb::ResponseLength() const { return LoadLe32(&receive_[packet_offset::kLength]); }
uint32_t CTolvaUsb::ResponseParam(int index) const {
    return LoadLe32(&receive_[packet_offset::kParam0 + 4 * index]);
}

bool CTolvaUsb::Exchange() {
    SendPacket();  // a failed send has closed the link, so the receive fails too
    return ReceivePacket() != 0;
}

PacketHeader CTolvaUsb::RequestHeader() const { return DecodePacketHeader(send_.data()); }
PacketHeader CTolvaUsb::ResponseHeader() const { return DecodePacketHeader(receive_.data()); }

void CTolvaUsb::ReportProgress(std::string_view what, uint64_t done, uint64_t total) {
    if (ui_ != nullptr) ui_->ReportProgress(ProgressEvent{what, done, total, "bytes"});
}

}  // namespace brevant
