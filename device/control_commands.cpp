// The short commands that steer the writer around the transfers: its text line, the
// files-in-use check, programming mode, the checksum announcement and the clock.

#include <cstring>

#include "device/device_protocol.h"

namespace brevant {

namespace {

constexpr uint32_t kTextBlock = 32;
constexpr uint32_t kNameBlock = 8;
constexpr uint32_t kFlagFileOpen = 1;
constexpr uint32_t kFlagRealTime = 2;

const char* ProgramModeNotice(uint32_t flags) {
    switch (flags & (kFlagFileOpen | kFlagRealTime)) {
        case kFlagFileOpen:
            return "Cannot Program, File open";
        case kFlagRealTime:
            return "Cannot Program, Real-Time Active";
        case kFlagFileOpen | kFlagRealTime:
            return "Cannot Program, File open and Real-Time Active";
        default:
            return nullptr;
    }
}

}  // namespace

bool CTolvaUsb::ShowText(const char* text) {
    if (text == nullptr) {
        PrepareRequest(CMD_SHOW_TEXT, 0);
    } else {
        const size_t n = std::strlen(text);
        // A text whose NUL does not fit one payload keeps a length above the limit and is
        // never copied: SendPacket turns it away and closes the link like any oversized
        // request, instead of the copy running past the send buffer.
        const uint32_t length = n < kMaxPayload ? (uint32_t(n) + kTextBlock) & ~(kTextBlock - 1) : kOversized;
        PrepareRequest(CMD_SHOW_TEXT, length, uint32_t(n));
        // Only the text and its NUL are written; the rest of the block keeps what earlier
        // packets left there, as the writer reads no further than the NUL.
        if (length <= kMaxPayload) std::memcpy(RequestPayload(), text, n + 1);
    }
    return Exchange() && ResponseCode() == CMD_SHOW_TEXT;
}

int CTolvaUsb::CheckFile(std::string_view fileName) {
    const size_t n = fileName.size();
    // As for a text: a name too long for one payload is left to SendPacket's limit, uncopied.
    const uint32_t length = n <= kMaxPayload ? (uint32_t(n) + kNameBlock - 1) & ~(kNameBlock - 1) : kOversized;
    PrepareRequest(CMD_FILE_CHECK, length);
    if (length <= kMaxPayload) {
        uint8_t* payload = RequestPayload();
        if (n != 0) std::memcpy(payload, fileName.data(), n);
        std::memset(payload + n, 0, length - n);
    }
    if (!Exchange()) return kResultNoValidResponse;
    if (ResponseCode() == CMD_FILE_CHECK) return kResultOk;
    if (ResponseCode() == RSP_STATUS) return int(ResponseParam(0));
    return kResultNoValidResponse;
}

bool CTolvaUsb::ReleaseFile() {
    PrepareRequest(CMD_FILE_RELEASE, 0);
    return Exchange() && ResponseCode() == CMD_FILE_RELEASE;
}

bool CTolvaUsb::SetProgramMode(uint32_t mode) {
    PrepareRequest(CMD_PROGRAM_MODE, 0, mode);
    if (!Exchange()) return false;
    if (ResponseCode() != RSP_STATUS) return ResponseCode() == CMD_PROGRAM_MODE;
    if (ResponseParam(0) != kStatusFileOpen) return false;
    const char* notice = ProgramModeNotice(ResponseParam(1));
    if (notice != nullptr && ui_ != nullptr) ui_->ShowMessage(notice, programTitle_, BoxIcon::Exclamation);
    return false;
}

void CTolvaUsb::SendImageCrc(uint32_t checksum) {
    // A transfer may have prepared its header already; it must find it unchanged.
    uint8_t saved[kPacketHeaderSize];
    std::memcpy(saved, send_.data(), kPacketHeaderSize);
    PrepareRequest(CMD_IMAGE_CRC, 0, checksum);
    Exchange();
    std::memcpy(send_.data(), saved, kPacketHeaderSize);
}

int CTolvaUsb::ClockTime(uint32_t* outValue, uint32_t value, uint32_t setFlag) {
    PrepareRequest(CMD_CLOCK, 0, value, setFlag);
    if (!Exchange() || ResponseCode() != CMD_CLOCK) return kResultNoValidResponse;
    if (outValue != nullptr) *outValue = ResponseParam(0);
    return kResultOk;
}

}  // namespace brevant
