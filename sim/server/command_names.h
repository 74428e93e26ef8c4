#pragma once
// Readable names of the writer's command and response codes, for what the standalone
// writer prints.

#include "device/packet.h"

namespace brevant {

inline const char* CommandName(CommandCode code) {
    switch (code) {
        case CMD_MACHINE_INFO: return "CMD_MACHINE_INFO";
        case CMD_PROGRAM_APP: return "CMD_PROGRAM_APP";
        case RSP_NEXT: return "RSP_NEXT";
        case RSP_STATUS: return "RSP_STATUS";
        case CMD_SHOW_TEXT: return "CMD_SHOW_TEXT";
        case CMD_FILE_CHECK: return "CMD_FILE_CHECK";
        case CMD_FILE_RELEASE: return "CMD_FILE_RELEASE";
        case CMD_IMAGE_CRC: return "CMD_IMAGE_CRC";
        case CMD_READ_REGION: return "CMD_READ_REGION";
        case CMD_PROGRAM_BOOT: return "CMD_PROGRAM_BOOT";
        case CMD_PROGRAM_MODE: return "CMD_PROGRAM_MODE";
        case CMD_PROGRAM_XLOADER: return "CMD_PROGRAM_XLOADER";
        case CMD_REGION_PREPARE: return "CMD_REGION_PREPARE";
        case CMD_REGION_WRITE: return "CMD_REGION_WRITE";
        case CMD_REGION_QUERY: return "CMD_REGION_QUERY";
        case CMD_CLOCK: return "CMD_CLOCK";
        case CMD_BOOT_VERSIONS: return "CMD_BOOT_VERSIONS";
        case CMD_FLASH_GEOMETRY: return "CMD_FLASH_GEOMETRY";
        case CMD_SENSOR_BOARD: return "CMD_SENSOR_BOARD";
        default: return "unknown command";
    }
}

}  // namespace brevant
