#include "app/program_version.h"

#include <cstdio>

#include "images/machine_catalogue.h"

namespace brevant {

std::string FormatProgramVersion(uint32_t ms, uint32_t ls) {
    const unsigned long b = ms & 0xFFFFu;
    const unsigned long c = ls >> 16;
    const unsigned long d = ls & 0xFFFFu;
    char text[64];
    if (d != 0) {
        std::snprintf(text, sizeof text, "%lu Beta %lu", b, d);
    } else if (c != 0) {
        std::snprintf(text, sizeof text, "%lu.%lu.%lu", b, c, d);
    } else {
        std::snprintf(text, sizeof text, "%lu", b);
    }
    return text;
}

uint32_t BuiltProductVersionMs() { return BREVANT_PRODUCT_VERSION_MS; }
uint32_t BuiltProductVersionLs() { return BREVANT_PRODUCT_VERSION_LS; }
std::string BuiltProgramVersionText() { return FormatProgramVersion(BuiltProductVersionMs(), BuiltProductVersionLs()); }

std::string BuildWelcomeText() {
    std::string text =
        "Connect Steno Machine via the USB cable\nand click \"Go!\" to update your machine software.\n\n";
    for (const MachineDescriptor& d : BuiltInVersionList) {
        if (d.machineName[0] == '\0') break;
        if (d.appImageVersion == 0) continue;
        char line[512];
        const unsigned beta = d.appImageVersion & 0xFFu;
        if (beta != 0) {
            std::snprintf(line, sizeof line, "%s - Build: %d Beta %X\n", d.machineName, int(d.appImageBuild), beta);
        } else {
            std::snprintf(line, sizeof line, "%s - Build: %d\n", d.machineName, int(d.appImageBuild));
        }
        text += line;
    }
    return text;
}

std::string BuildCaption(const std::string& title, const std::string& version) {
    return title + " - Build:  " + version;
}

std::string BuildAboutText(const std::string& title, const std::string& version) {
    return title + " Build:  " + version;
}

}  // namespace brevant
