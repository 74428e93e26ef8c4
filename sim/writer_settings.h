#pragma once
// How a virtual writer starts out: its identity, its state and its habits. Parsed from
// "key=value,key=value" by the command-line front ends. The writer keeps its own copy and
// treats it as live: identity fields change when new firmware starts, knob counts run down.

#include <cstdint>
#include <string>
#include <string_view>

namespace brevant {

// A knob count that never runs out.
inline constexpr uint32_t kForever = 0xFFFFFFFF;

// The components whose writes can be refused or corrupted.
enum class WriterComponent : uint32_t {
    App,
    Boot,
    XLoader,
    WifiApp,
    WifiNvs,
    Scanner,
};
inline constexpr uint32_t kWriterComponentCount = 6;

// Counts of write commands (chunks, region blocks, scanner blocks) that misbehave; each
// use takes one off, kForever never runs out.
struct WriteKnob {
    uint32_t refuse = 0;   // answered RSP_STATUS, nothing stored, the transfer ends
    uint32_t corrupt = 0;  // answered as taken, but the first byte is stored inverted
};

struct WriterSettings {
    // Identity as reported by CMD_MACHINE_INFO and CMD_BOOT_VERSIONS. The defaults describe a
    // Brevant whose every component is older than the images this build carries.
    uint32_t machineType = 19;
    uint32_t appVersion = 0x01090000;  // 1.09.00
    uint32_t appBuild = 35000;
    uint32_t bootFlag = 0;  // 1: runs its boot code (its application storage is empty)
    uint32_t mainBootVersion = 0x00090000;
    uint32_t mainBootBuild = 35000;
    uint32_t secondaryBootVersion = 0x00090000;
    uint32_t secondaryBootBuild = 35000;
    uint32_t scannerVersion = 14000;  // property 0
    bool reportScannerVersion = true;

    // State.
    bool fileOpen = false;   // "REALTIME.000" is open
    bool realtime = false;   // real-time translation is active
    int64_t clockOffset = 0;  // writer clock minus the host's local wall-clock seconds
    uint32_t restartSeconds = 3;  // how long a restart keeps the writer off the bus
    uint32_t sectorSize = 0x20000;   // flash geometry word 9
    uint32_t reservedSize = 0x800;   // flash geometry word 10
    // Property 0 once the scanner has been programmed (the built-in scanner code's version).
    uint32_t scannerProgrammedVersion = 14760;

    // Habits.
    bool stayAway = false;        // after a restart it never comes back
    uint32_t probeBusy = 0;       // readiness probes answered "busy"
    uint32_t scannerChecksumWrong = 0;  // scanner checksums answered wrongly
    WriteKnob knobs[kWriterComponentCount];

    WriteKnob& knob(WriterComponent c) { return knobs[uint32_t(c)]; }
    const WriteKnob& knob(WriterComponent c) const { return knobs[uint32_t(c)]; }
};

// Parses a settings list into `settings` (keys not named keep their values). On failure
// returns false and sets `error` to a message that names the offending key or value.
bool ParseWriterSettings(std::string_view text, WriterSettings& settings, std::string& error);

// The keys ParseWriterSettings knows, with a line of help each, for --help texts.
std::string WriterSettingsHelp();

// Takes one use off a knob count; false when it has run out.
inline bool TakeKnob(uint32_t& count) {
    if (count == 0) return false;
    if (count != kForever) --count;
    return true;
}

}  // namespace brevant
