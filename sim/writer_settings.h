#pragma once
// How a virtual writer starts out: its identity and, as the simulator grows, its storage
// and its habits. Parsed from "key=value,key=value" by the command-line front ends.

#include <cstdint>
#include <string>
#include <string_view>

namespace brevant {

struct WriterSettings {
    // Identity as reported by CMD_MACHINE_INFO and CMD_BOOT_VERSIONS. The defaults describe a
    // Brevant whose every component is older than the images this build carries.
    uint32_t machineType = 19;
    uint32_t appVersion = 0x01090000;  // 1.09.00
    uint32_t appBuild = 35000;
    uint32_t bootFlag = 0;
    uint32_t mainBootVersion = 0x00090000;
    uint32_t mainBootBuild = 35000;
    uint32_t secondaryBootVersion = 0x00090000;
    uint32_t secondaryBootBuild = 35000;
    uint32_t scannerVersion = 14000;  // property 0
    bool reportScannerVersion = true;
};

// Parses a settings list into `settings` (keys not named keep their values). On failure
// returns false and sets `error` to a message that names the offending key or value.
bool ParseWriterSettings(std::string_view text, WriterSettings& settings, std::string& error);

// The keys ParseWriterSettings knows, with a line of help each, for --help texts.
std::string WriterSettingsHelp();

}  // namespace brevant
