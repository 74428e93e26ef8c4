#include "sim/writer_settings.h"

#include <charconv>
#include <cstring>

namespace brevant {

namespace {

struct NumericKey {
    const char* name;
    uint32_t WriterSettings::*field;
    const char* help;
};

constexpr NumericKey kNumericKeys[] = {
    {"type", &WriterSettings::machineType, "machine type code the writer reports"},
    {"version", &WriterSettings::appVersion, "application version word (e.g. 0x02000000)"},
    {"build", &WriterSettings::appBuild, "application build"},
    {"main-boot-version", &WriterSettings::mainBootVersion, "main boot code version word"},
    {"main-boot-build", &WriterSettings::mainBootBuild, "main boot code build"},
    {"secondary-boot-version", &WriterSettings::secondaryBootVersion, "secondary boot code version word"},
    {"secondary-boot-build", &WriterSettings::secondaryBootBuild, "secondary boot code build"},
    {"scanner-version", &WriterSettings::scannerVersion, "keyboard scanner version (property 0)"},
};

struct FlagKey {
    const char* name;
    bool WriterSettings::*field;
    const char* help;
};

// Flags stored as booleans; "boot" is numeric on the wire but only 0 and 1 make sense here.
constexpr FlagKey kFlagKeys[] = {
    {"report-scanner-version", &WriterSettings::reportScannerVersion,
     "1: identification carries the scanner version record; 0: it does not"},
};

bool ParseNumber(std::string_view text, uint32_t& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

}  // namespace

bool ParseWriterSettings(std::string_view text, WriterSettings& settings, std::string& error) {
    while (!text.empty()) {
        const size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.empty()) continue;
        const size_t equals = item.find('=');
        if (equals == std::string_view::npos) {
            error = "setting '" + std::string(item) + "' has no value (expected key=value)";
            return false;
        }
        const std::string_view key = item.substr(0, equals);
        const std::string_view valueText = item.substr(equals + 1);
        uint32_t value = 0;
        if (!ParseNumber(valueText, value)) {
            error = "setting '" + std::string(key) + "' has a bad value '" + std::string(valueText) +
                    "' (expected a decimal number or one with a 0x prefix)";
            return false;
        }
        bool known = false;
        for (const NumericKey& k : kNumericKeys) {
            if (key == k.name) {
                settings.*k.field = value;
                known = true;
            }
        }
        if (key == "boot") {
            if (value > 1) {
                error = "setting 'boot' must be 0 or 1, not '" + std::string(valueText) + "'";
                return false;
            }
            settings.bootFlag = value;
            known = true;
        }
        for (const FlagKey& k : kFlagKeys) {
            if (key == k.name) {
                if (value > 1) {
                    error = "setting '" + std::string(key) + "' must be 0 or 1, not '" + std::string(valueText) + "'";
                    return false;
                }
                settings.*k.field = value != 0;
                known = true;
            }
        }
        if (!known) {
            error = "unknown setting '" + std::string(key) + "'";
            return false;
        }
    }
    return true;
}

std::string WriterSettingsHelp() {
    std::string help;
    auto line = [&help](const char* name, const char* text) {
        help += "  ";
        help += name;
        help.append(name[0] != 0 && std::strlen(name) < 24 ? 24 - std::strlen(name) : 1, ' ');
        help += text;
        help += '\n';
    };
    for (const NumericKey& k : kNumericKeys) line(k.name, k.help);
    line("boot", "1: the writer runs its boot code; 0: its application");
    for (const FlagKey& k : kFlagKeys) line(k.name, k.help);
    return help;
}

}  // namespace brevant
