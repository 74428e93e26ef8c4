// Which handler answers which command. Each command family has its own file.

#include "sim/virtual_writer.h"

namespace brevant {

SimReply VirtualWriter::Handle(const SimRequest& request) {
    switch (request.header.code) {
        case CMD_MACHINE_INFO:
            return HandleMachineInfo(request);
        case CMD_BOOT_VERSIONS:
            return HandleBootVersions(request);
        case CMD_SHOW_TEXT:
            return HandleShowText(request);
        case CMD_FILE_CHECK:
            return HandleFileCheck(request);
        case CMD_FILE_RELEASE:
            return HandleFileRelease(request);
        case CMD_PROGRAM_MODE:
            return HandleProgramMode(request);
        case CMD_IMAGE_CRC:
            return HandleImageCrc(request);
        case CMD_CLOCK:
            return HandleClock(request);
        case CMD_PROGRAM_APP:
            return HandleProgramApp(request);
        case CMD_PROGRAM_BOOT:
            return HandleProgramBoot(request);
        case CMD_FLASH_GEOMETRY:
            return HandleFlashGeometry(request);
        case CMD_PROGRAM_XLOADER:
            return HandleProgramXLoader(request);
        case CMD_REGION_QUERY:
            return HandleRegionQuery(request);
        case CMD_READ_REGION:
            return HandleReadRegion(request);
        case CMD_REGION_PREPARE:
            return HandleRegionPrepare(request);
        case CMD_REGION_WRITE:
            return HandleRegionWrite(request);
        case CMD_SENSOR_BOARD:
            return HandleSensorBoard(request);
        default:
            return SimReply::Status(kSimStatusUnknownCommand);
    }
}

}  // namespace brevant
