#pragma once
// Layout of the 32-byte header that starts every request and response.

#include <cstdint>

#include "common/byte_order.h"

namespace brevant {

inline constexpr uint32_t kPacketHeaderSize = 32;
inline constexpr uint32_t kMaxPayload = 65536;
inline constexpr uint32_t kPacketBufferSize = kPacketHeaderSize + kMaxPayload;  // 65,568
// A length field no packet may carry: SendPacket closes the link rather than send it.
inline constexpr uint32_t kOversized = kMaxPayload + 1;

namespace packet_offset {
inline constexpr uint32_t kMagic0 = 0;
inline constexpr uint32_t kMagic1 = 1;
inline constexpr uint32_t kSequence = 2;  // not aligned
inline constexpr uint32_t kCode = 6;
inline constexpr uint32_t kLength = 8;
inline constexpr uint32_t kParam0 = 12;  // params 0..4 at 12, 16, 20, 24, 28
}  // namespace packet_offset

inline constexpr uint8_t kMagic0 = 'Q';
inline constexpr uint8_t kMagic1 = 'Z';

using CommandCode = uint16_t;

inline constexpr CommandCode CMD_MACHINE_INFO = 0x0001;
inline constexpr CommandCode CMD_PROGRAM_APP = 0x0002;
inline constexpr CommandCode RSP_NEXT = 0x0005;
inline constexpr CommandCode RSP_STATUS = 0x0006;
inline constexpr CommandCode CMD_SHOW_TEXT = 0x0007;
inline constexpr CommandCode CMD_FILE_CHECK = 0x0011;
inline constexpr CommandCode CMD_FILE_RELEASE = 0x0012;
inline constexpr CommandCode CMD_IMAGE_CRC = 0x0025;
inline constexpr CommandCode CMD_READ_REGION = 0x0040;
inline constexpr CommandCode CMD_PROGRAM_BOOT = 0x0050;
inline constexpr CommandCode CMD_PROGRAM_MODE = 0x0051;
inline constexpr CommandCode CMD_PROGRAM_XLOADER = 0x0060;
inline constexpr CommandCode CMD_REGION_PREPARE = 0x1009;
inline constexpr CommandCode CMD_REGION_WRITE = 0x100A;
inline constexpr CommandCode CMD_REGION_QUERY = 0x100B;
inline constexpr CommandCode CMD_CLOCK = 0xE005;
inline constexpr CommandCode CMD_BOOT_VERSIONS = 0xE019;
inline constexpr CommandCode CMD_FLASH_GEOMETRY = 0xE01C;
inline constexpr CommandCode CMD_SENSOR_BOARD = 0xE023;

// Sub-commands of CMD_SENSOR_BOARD, in param 0: the keyboard scanner's own commands.
inline constexpr uint32_t SENSOR_WRITE = 0x15;     // address word, then up to 512 code bytes
inline constexpr uint32_t SENSOR_MODE = 0x18;      // one byte: enter or leave checking mode
inline constexpr uint32_t SENSOR_CHECKSUM = 0x19;  // address and length words; answers the CRC
inline constexpr uint8_t SENSOR_MODE_ENTER = 0;
inline constexpr uint8_t SENSOR_MODE_LEAVE = 1;

// Every chunk of the three image transfers carries this in param 4.
inline constexpr uint32_t kTransferMarker = 0xC00DC00D;

// RSP_STATUS code for "cannot program now: a file is open or real-time is active".
inline constexpr uint32_t kStatusFileOpen = 3;

// Result codes shared by the writer commands.
inline constexpr int kResultOk = 0;
inline constexpr int kResultOtherReply = 1;         // CMD_MACHINE_INFO answered with another code
inline constexpr int kResultWrongMachineType = 11;  // application image for another machine type
inline constexpr int kResultChunkUnanswered = 101;  // a chunk got no valid response
inline constexpr int kResultNoValidResponse = 111;  // no valid / unexpected response, or no memory

// Readable header fields, for tests, traces and the virtual writer.
struct PacketHeader {
    uint32_t sequence = 0;
    CommandCode code = 0;
    uint32_t length = 0;
    uint32_t params[5] = {0, 0, 0, 0, 0};
};

// The header fields of the packet starting at `p` (at least kPacketHeaderSize bytes).
inline PacketHeader DecodePacketHeader(const uint8_t* p) {
    PacketHeader h;
    h.sequence = LoadLe32(p + packet_offset::kSequence);
    h.code = LoadLe16(p + packet_offset::kCode);
    h.length = LoadLe32(p + packet_offset::kLength);
    for (int i = 0; i < 5; ++i) h.params[i] = LoadLe32(p + packet_offset::kParam0 + 4 * i);
    return h;
}

}  // namespace brevant
