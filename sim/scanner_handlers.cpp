// The keyboard scanner behind CMD_SENSOR_BOARD: its code memory, the mode for checking and
// programming, block writes and the checksum of a range.

#include "common/byte_order.h"
#include "images/crc32.h"
#include "sim/virtual_writer.h"

namespace brevant {

namespace {

bool InScanner(uint32_t address, uint32_t count) {
    return address >= kScannerBase && uint64_t(address) + count <= uint64_t(kScannerBase) + kScannerMemorySize;
}

}  // namespace

SimReply VirtualWriter::HandleSensorBoard(const SimRequest& request) {
    ScannerState& scanner = storage_.scanner;
    const auto& payload = request.payload;
    SimReply reply = SimReply::Echo(request);
    switch (request.header.params[0]) {
        case SENSOR_MODE: {
            // The scanner answers one byte: 0 when it did as asked.
            const bool valid =
                payload.size() == 1 && (payload[0] == SENSOR_MODE_ENTER || payload[0] == SENSOR_MODE_LEAVE);
            if (valid && payload[0] == SENSOR_MODE_ENTER) {
                scanner.programmingMode = true;
                scanner.writesThisSession = 0;
            } else if (valid) {
                // New code runs when the scanner leaves programming, and reports its version.
                if (scanner.programmingMode && scanner.writesThisSession != 0) {
                    settings_.scannerVersion = settings_.scannerProgrammedVersion;
                }
                scanner.programmingMode = false;
            }
            reply.payload.assign(1, valid ? 0 : 1);
            return reply;
        }
        case SENSOR_WRITE: {
            if (payload.size() < 5 || payload.size() > 4 + kScannerMaxWrite) return SimReply::Status(kSimStatusBadRequest);
            const uint32_t address = LoadLe32(payload.data());
            const uint32_t count = uint32_t(payload.size() - 4);
            if (!InScanner(address, count)) return SimReply::Status(kSimStatusBadAddress);
            if (!scanner.programmingMode) return SimReply::Status(kSimStatusNotPrepared);
            WriteKnob& knob = settings_.knob(WriterComponent::Scanner);
            if (TakeKnob(knob.refuse)) return SimReply::Status(kSimStatusRefused);
            const auto at = scanner.memory.begin() + (address - kScannerBase);
            std::copy(payload.begin() + 4, payload.end(), at);
            if (TakeKnob(knob.corrupt)) *at = uint8_t(~*at);
            ++scanner.writesThisSession;
            ++scanner.writesTaken;
            return reply;
        }
        case SENSOR_CHECKSUM: {
            if (payload.size() != 8) return SimReply::Status(kSimStatusBadRequest);
            const uint32_t address = LoadLe32(payload.data());
            const uint32_t count = LoadLe32(payload.data() + 4);
            if (!InScanner(address, count)) return SimReply::Status(kSimStatusBadAddress);
            if (!scanner.programmingMode) return SimReply::Status(kSimStatusNotPrepared);
            Crc32 crc;
            crc.Add(scanner.memory.data() + (address - kScannerBase), count);
            uint32_t value = crc.Value();
            if (TakeKnob(settings_.scannerChecksumWrong)) value = ~value;
            ++scanner.checksumsAnswered;
            reply.payload.resize(4);
            StoreBe32(reply.payload.data(), value);
            return reply;
        }
        default:
            return SimReply::Status(kSimStatusUnknownCommand);
    }
}

}  // namespace brevant
