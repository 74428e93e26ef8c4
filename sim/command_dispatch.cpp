// Which handler answers which command. Each command family has its own file.

#include "sim/virtual_writer.h"

namespace brevant {

SimReply VirtualWriter::Handle(const SimRequest& request) {
    switch (request.header.code) {
        case CMD_MACHINE_INFO:
            return HandleMachineInfo(request);
        case CMD_BOOT_VERSIONS:
            return HandleBootVersions(request);
        default:
            return SimReply::Status(kSimStatusUnknownCommand);
    }
}

}  // namespace brevant
