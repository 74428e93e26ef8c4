// The application and boot code steps: the writer's main firmware. Each runs at most once
// successfully per run; the done flags make the second call of the sequence a no-op.

#include "images/image_resources.h"
#include "update/message_buffer.h"
#include "update/step_helpers.h"
#include "update/update_rules.h"
#include "update/update_run.h"

namespace brevant {

int UpdateEngine::UpdateApplication() {
    if (flags_.applicationDone) return 0;
    const MachineDescriptor& d = DescriptorFor(device_.machineType());
    if (d.appResourceId == 0) return 0;

    const uint32_t v = d.appImageVersion;
    const int build = int(d.appImageBuild);
    RunMessage m;
    if (VersionByte(v, 0) != 0) {
        log_.Line(m.Format("Sending software version %X.%02X.%02X Beta %X, Build %d to %s...", VersionByte(v, 3),
                           VersionByte(v, 2), VersionByte(v, 1), VersionByte(v, 0), build, d.machineName));
        ui_.SetStatusText(m.Format("\n\nSending Build %d Beta %X to %s...", build, VersionByte(v, 0), d.machineName));
    } else {
        log_.Line(m.Format("Sending software version %X.%02X.%02X Build %d to %s...", VersionByte(v, 3),
                           VersionByte(v, 2), VersionByte(v, 1), build, d.machineName));
        ui_.SetStatusText(m.Format("\n\nSending Build %d to %s...", build, d.machineName));
    }

    const LoadedImage image = LoadImageResource(d.appResourceId, kApplicationSlack);
    if (!image.ok()) return ReportImageLoadFailure(image.error, d.appResourceId, false);

    device_.SendImageCrc(ChecksumOf(image.bytes.get(), image.length));
    device_.ShowText("Programming Application Code");
    const int r = device_.ProgramApplication(image.bytes.get(), image.length, device_.machineType());
    if (r != 0) return ReportTransferFailure(r, d.machineName);
    flags_.applicationDone = true;
    return 0;
}

int UpdateEngine::UpdateBootCode() {
    if (flags_.bootCodeDone) return 0;
    const MachineDescriptor& d = DescriptorFor(device_.machineType());
    if (d.bootResourceId == 0) return 0;

    if (id_.bootMode == 0) {
        ReadBootVersions(device_, id_);
    } else {
        // Answering from its boot code, the writer reported the boot code's version and build.
        id_.mainBootVersion = id_.appVersion;
        id_.mainBootBuild = id_.appBuild;
    }
    if (!BootCodeIsOlder(id_.mainBootVersion, id_.mainBootBuild, d)) return 0;

    const uint32_t v = d.bootImageVersion;
    const int build = int(d.bootImageBuild);
    RunMessage m;
    if (VersionByte(v, 0) != 0) {
        m.Format("Sending boot code version %X.%02X.%02X Beta %X, Build %d to %s...", VersionByte(v, 3),
                 VersionByte(v, 2), VersionByte(v, 1), VersionByte(v, 0), build, d.machineName);
    } else {
        m.Format("Sending boot code version %X.%02X.%02X Build %d to %s...", VersionByte(v, 3), VersionByte(v, 2),
                 VersionByte(v, 1), build, d.machineName);
    }
    log_.Line(m.c_str());
    ui_.SetStatusText(std::string("\n\n") + m.c_str());

    const LoadedImage image = LoadImageResource(d.bootResourceId, kImageSlack);
    if (!image.ok()) return ReportImageLoadFailure(image.error, d.bootResourceId, false);

    device_.ShowText("Programming Boot Code");
    const int r = device_.ProgramBootCode(image.bytes.get(), image.length, 0);
    if (r != 0) return ReportTransferFailure(r, d.machineName);
    flags_.bootCodeDone = true;
    return 0;
}

}  // namespace brevant
