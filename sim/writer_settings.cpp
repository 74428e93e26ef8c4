#include "sim/writer_settings.h"

#include <charconv>
#include <cstring>

namespace brevant {

namespace {

enum class ValueKind {
    Number,  // unsigned, decimal or 0x hex
    Flag,    // 0 or 1
    Count,   // unsigned or "forever"
    Signed,  // decimal with an optional leading '-'
};

struct Key {
    const char* name;
    ValueKind kind;
    uint32_t* (*number)(WriterSettings&);
    bool* (*flag)(WriterSettings&);
    int64_t* (*signedValue)(WriterSettings&);
    const char* help;
};

#define NUMBER(field) [](WriterSettings& s) -> uint32_t* { return &s.field; }, nullptr, nullptr
#define FLAG(field) nullptr, [](WriterSettings& s) -> bool* { return &s.field; }, nullptr
#define KNOB(component, member) \
    [](WriterSettings& s) -> uint32_t* { return &s.knob(WriterComponent::component).member; }, nullptr, nullptr

const Key kKeys[] = {
    {"type", ValueKind::Number, NUMBER(machineType), "machine type code the writer reports"},
    {"version", ValueKind::Number, NUMBER(appVersion), "application version word (e.g. 0x02000000)"},
    {"build", ValueKind::Number, NUMBER(appBuild), "application build"},
    {"boot", ValueKind::Number, NUMBER(bootFlag), "1: the writer runs its boot code (no application); 0: its application"},
    {"main-boot-version", ValueKind::Number, NUMBER(mainBootVersion), "main boot code version word"},
    {"main-boot-build", ValueKind::Number, NUMBER(mainBootBuild), "main boot code build"},
    {"secondary-boot-version", ValueKind::Number, NUMBER(secondaryBootVersion), "secondary boot code version word"},
    {"secondary-boot-build", ValueKind::Number, NUMBER(secondaryBootBuild), "secondary boot code build"},
    {"scanner-version", ValueKind::Number, NUMBER(scannerVersion), "keyboard scanner version (property 0)"},
    {"report-scanner-version", ValueKind::Flag, FLAG(reportScannerVersion),
     "1: identification carries the scanner version record; 0: it does not"},
    {"scanner-programmed-version", ValueKind::Number, NUMBER(scannerProgrammedVersion),
     "scanner version reported once the scanner has been programmed"},
    {"file-open", ValueKind::Flag, FLAG(fileOpen), "1: REALTIME.000 is open on the writer"},
    {"realtime", ValueKind::Flag, FLAG(realtime), "1: real-time translation is active"},
    {"clock-offset", ValueKind::Signed, nullptr, nullptr,
     [](WriterSettings& s) -> int64_t* { return &s.clockOffset; },
     "seconds the writer's clock runs ahead of the PC's local time (negative: behind)"},
    {"restart-seconds", ValueKind::Number, NUMBER(restartSeconds), "seconds a restart keeps the writer off the bus"},
    {"stay-away", ValueKind::Flag, FLAG(stayAway), "1: after a restart the writer never comes back"},
    {"sector-size", ValueKind::Number, NUMBER(sectorSize), "flash geometry: sector size in bytes"},
    {"reserved-size", ValueKind::Number, NUMBER(reservedSize), "flash geometry: reserved size in bytes"},
    {"probe-busy", ValueKind::Count, NUMBER(probeBusy), "readiness probes answered busy (N or forever)"},
    {"scanner-checksum-wrong", ValueKind::Count, NUMBER(scannerChecksumWrong),
     "scanner checksums answered wrongly (N or forever)"},
    {"refuse-app", ValueKind::Count, KNOB(App, refuse), "application chunks refused (N or forever)"},
    {"corrupt-app", ValueKind::Count, KNOB(App, corrupt), "application chunks stored corrupted (N or forever)"},
    {"refuse-boot", ValueKind::Count, KNOB(Boot, refuse), "boot code chunks refused (N or forever)"},
    {"corrupt-boot", ValueKind::Count, KNOB(Boot, corrupt), "boot code chunks stored corrupted (N or forever)"},
    {"refuse-xloader", ValueKind::Count, KNOB(XLoader, refuse), "X-Loader chunks refused (N or forever)"},
    {"corrupt-xloader", ValueKind::Count, KNOB(XLoader, corrupt), "X-Loader chunks stored corrupted (N or forever)"},
    {"refuse-wifi-app", ValueKind::Count, KNOB(WifiApp, refuse), "WiFi application blocks refused (N or forever)"},
    {"corrupt-wifi-app", ValueKind::Count, KNOB(WifiApp, corrupt),
     "WiFi application blocks stored corrupted (N or forever)"},
    {"refuse-wifi-nvs", ValueKind::Count, KNOB(WifiNvs, refuse), "WiFi NVS blocks refused (N or forever)"},
    {"corrupt-wifi-nvs", ValueKind::Count, KNOB(WifiNvs, corrupt), "WiFi NVS blocks stored corrupted (N or forever)"},
    {"refuse-scanner", ValueKind::Count, KNOB(Scanner, refuse), "keyboard scanner blocks refused (N or forever)"},
    {"corrupt-scanner", ValueKind::Count, KNOB(Scanner, corrupt),
     "keyboard scanner blocks stored corrupted (N or forever)"},
};

#undef NUMBER
#undef FLAG
#undef KNOB

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

bool ParseSigned(std::string_view text, int64_t& value) {
    if (text.empty() || text[0] == '+') return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::string BadValue(std::string_view key, std::string_view value, const char* expected) {
    return "setting '" + std::string(key) + "' has a bad value '" + std::string(value) + "' (expected " + expected +
           ")";
}

bool Apply(const Key& key, std::string_view valueText, WriterSettings& settings, std::string& error) {
    switch (key.kind) {
        case ValueKind::Signed: {
            int64_t value = 0;
            if (!ParseSigned(valueText, value)) {
                error = BadValue(key.name, valueText, "a decimal number, optionally negative");
                return false;
            }
            *key.signedValue(settings) = value;
            return true;
        }
        case ValueKind::Count:
            if (valueText == "forever") {
                *key.number(settings) = kForever;
                return true;
            }
            [[fallthrough]];
        case ValueKind::Number:
        case ValueKind::Flag: {
            uint32_t value = 0;
            if (!ParseNumber(valueText, value)) {
                error = BadValue(key.name, valueText,
                                 key.kind == ValueKind::Count
                                     ? "a decimal number, one with a 0x prefix, or forever"
                                     : "a decimal number or one with a 0x prefix");
                return false;
            }
            const bool onlyZeroOrOne = key.kind == ValueKind::Flag || std::strcmp(key.name, "boot") == 0;
            if (onlyZeroOrOne && value > 1) {
                error = "setting '" + std::string(key.name) + "' must be 0 or 1, not '" + std::string(valueText) + "'";
                return false;
            }
            if (key.kind == ValueKind::Flag) {
                *key.flag(settings) = value != 0;
            } else {
                *key.number(settings) = value;
            }
            return true;
        }
    }
    return false;
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
        const Key* found = nullptr;
        for (const Key& k : kKeys) {
            if (key == k.name) found = &k;
        }
        if (found == nullptr) {
            error = "unknown setting '" + std::string(key) + "'";
            return false;
        }
        if (!Apply(*found, valueText, settings, error)) return false;
    }
    return true;
}

std::string WriterSettingsHelp() {
    std::string help;
    for (const Key& k : kKeys) {
        const size_t width = std::strlen(k.name);
        help += "  ";
        help += k.name;
        help.append(width < 28 ? 28 - width : 1, ' ');
        help += k.help;
        help += '\n';
    }
    return help;
}

}  // namespace brevant
