// The tunnel to the keyboard scanner: one writer command carries every scanner
// sub-command and brings its answer back. The meaning of the sub-commands is the caller's.

#include <algorithm>
#include <cstring>

#include "device/device_protocol.h"

namespace brevant {

int CTolvaUsb::SensorBoardExchange(uint32_t subCommand, const uint8_t* payload, uint32_t payloadLength,
                                   uint8_t* answer, uint32_t answerCapacity, uint32_t* answerLength) {
    if (answerLength != nullptr) *answerLength = 0;
    if (payload == nullptr && payloadLength != 0) return kResultNoValidResponse;
    PrepareRequest(CMD_SENSOR_BOARD, payloadLength, subCommand);
    // A payload beyond the limit is not copied; SendPacket refuses it and closes the link.
    if (payloadLength != 0 && payloadLength <= kMaxPayload) std::memcpy(RequestPayload(), payload, payloadLength);
    if (!Exchange() || ResponseCode() != CMD_SENSOR_BOARD) return kResultNoValidResponse;
    const uint32_t length = ResponseLength();
    // The caller's buffer bounds the copy; the length still tells how long the answer was.
    const uint32_t copied = std::min(length, answerCapacity);
    if (answer != nullptr && copied != 0) std::memcpy(answer, ResponsePayload(), copied);
    if (answerLength != nullptr) *answerLength = length;
    return kResultOk;
}

}  // namespace brevant
