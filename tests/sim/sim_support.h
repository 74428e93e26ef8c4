#pragma once
// Helpers for driving the virtual writer: the real device object over it, raw requests the
// device object would never send, and firmware images with a version header.

#include <cstdint>
#include <vector>

#include "common/byte_order.h"
#include "device/device_protocol.h"
#include "images/crc32.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_writer.h"

namespace brevant::simtest {

inline uint32_t CrcOf(const std::vector<uint8_t>& bytes) {
    Crc32 crc;
    crc.Add(bytes.data(), bytes.size());
    return crc.Value();
}

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 3) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = uint8_t(seed + i * 13 + (i >> 9));
    return bytes;
}

// An application or boot image carrying its version word and build where the writer reads them.
inline std::vector<uint8_t> Firmware(size_t n, uint32_t version, uint32_t build, uint8_t seed = 5) {
    std::vector<uint8_t> bytes = Pattern(n, seed);
    StoreLe32(&bytes[kImageVersionOffset], version);
    StoreLe32(&bytes[kImageBuildOffset], build);
    return bytes;
}

struct RawAnswer {
    bool answered = false;
    PacketHeader header;
    std::vector<uint8_t> payload;
};

// Sends one hand-made request straight to the writer and collects its answer.
inline RawAnswer SendRaw(VirtualWriter& writer, CommandCode code, std::vector<uint32_t> params,
                         const std::vector<uint8_t>& payload = {}, uint32_t sequence = 0) {
    std::vector<uint8_t> bytes(kPacketHeaderSize + payload.size());
    bytes[0] = kMagic0;
    bytes[1] = kMagic1;
    StoreLe32(&bytes[packet_offset::kSequence], sequence);
    StoreLe16(&bytes[packet_offset::kCode], code);
    StoreLe32(&bytes[packet_offset::kLength], uint32_t(payload.size()));
    params.resize(5, 0);
    for (int i = 0; i < 5; ++i) StoreLe32(&bytes[packet_offset::kParam0 + 4 * i], params[size_t(i)]);
    std::copy(payload.begin(), payload.end(), bytes.begin() + kPacketHeaderSize);
    RawAnswer answer;
    if (writer.Write(bytes.data(), uint32_t(bytes.size())) == 0) return answer;
    std::vector<uint8_t> in(kPacketBufferSize);
    uint32_t got = 0;
    while (uint32_t n = writer.Read(in.data() + got, uint32_t(in.size()) - got)) got += n;
    if (got < kPacketHeaderSize) return answer;
    answer.answered = true;
    answer.header.code = LoadLe16(&in[packet_offset::kCode]);
    answer.header.length = LoadLe32(&in[packet_offset::kLength]);
    for (int i = 0; i < 5; ++i) answer.header.params[i] = LoadLe32(&in[packet_offset::kParam0 + 4 * i]);
    answer.payload.assign(in.begin() + kPacketHeaderSize, in.begin() + got);
    return answer;
}

// A writer with the device object over it, identified and ready.
class WriterFixture {
public:
    explicit WriterFixture(WriterSettings settings = {}) : writer(clock, settings), device(writer) { Connect(); }
    void Connect() {
        device.Open();
        device.GetMachineInfo(nullptr, nullptr, nullptr, nullptr);
    }
    VirtualClock clock;
    VirtualWriter writer;
    CTolvaUsb device;
};

}  // namespace brevant::simtest
