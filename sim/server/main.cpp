// brevant-writer-sim: the virtual writer as a program at the far end of a socket link, or
// a recorded run answering an updater the way its writer did.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/system_clock.h"
#include "sim/server/server_socket.h"
#include "sim/server/writer_server.h"
#include "sim/virtual_writer.h"
#include "sim/writer_settings.h"

namespace {

using namespace brevant;

void Usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: brevant-writer-sim --listen [HOST:]PORT [--settings SETTINGS]\n"
                 "       brevant-writer-sim --replay FILE --listen [HOST:]PORT\n"
                 "\n"
                 "Serves one updater at a time over tcp:HOST:PORT (HOST defaults to 127.0.0.1; port 0\n"
                 "picks a free one, printed as \"listening on HOST:PORT\").\n"
                 "  --listen     the address to accept the updater on\n"
                 "  --settings   the writer as with --simulate: key=value,key=value...\n"
                 "  --replay     answer with a recorded run's responses and report the first\n"
                 "               request that differs (exit 1); exit 0 when all matched\n"
                 "SIGINT or SIGTERM ends serving with a summary of the writer's storage.\n"
                 "\nSettings:\n%s",
                 WriterSettingsHelp().c_str());
}

bool ParseListen(std::string_view text, ServerAddress& address, std::string& error) {
    std::string_view portText = text;
    const size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) {
        std::string_view host = text.substr(0, colon);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
        if (host.empty()) {
            error = "--listen '" + std::string(text) + "' has an empty host";
            return false;
        }
        address.host = std::string(host);
        portText = text.substr(colon + 1);
    }
    unsigned port = 0;
    const auto parsed = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || parsed.ec != std::errc() || parsed.ptr != portText.data() + portText.size() ||
        port > 65535) {
        error = "--listen '" + std::string(text) + "' has a bad port (0 to 65535)";
        return false;
    }
    address.port = uint16_t(port);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ServerAddress address;
    bool haveListen = false;
    const char* settingsText = nullptr;
    const char* replayPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--listen" && hasValue) {
            std::string error;
            if (!ParseListen(argv[++i], address, error)) {
                std::fprintf(stderr, "brevant-writer-sim: %s\n", error.c_str());
                return 2;
            }
            haveListen = true;
        } else if (arg == "--settings" && hasValue) {
            settingsText = argv[++i];
        } else if (arg == "--replay" && hasValue) {
            replayPath = argv[++i];
        } else {
            std::fprintf(stderr, "brevant-writer-sim: unexpected argument '%s'\n", argv[i]);
            Usage(stderr);
            return 2;
        }
    }
    if (!haveListen) {
        std::fprintf(stderr, "brevant-writer-sim: --listen [HOST:]PORT is required\n");
        Usage(stderr);
        return 2;
    }
    if (replayPath != nullptr && settingsText != nullptr) {
        std::fprintf(stderr, "brevant-writer-sim: --settings has no meaning with --replay\n");
        return 2;
    }
    WriterSettings settings;
    if (settingsText != nullptr) {
        std::string error;
        if (!ParseWriterSettings(settingsText, settings, error)) {
            std::fprintf(stderr, "brevant-writer-sim: %s\n", error.c_str());
            return 2;
        }
    }
    StopSignals signals;
    if (!signals.ok()) {
        std::fprintf(stderr, "brevant-writer-sim: cannot watch for stop signals\n");
        return 2;
    }
    SystemClock clock;
    if (replayPath != nullptr) return ReplayTrace(replayPath, address, clock, signals, stdout);
    VirtualWriter writer(clock, settings);
    return ServeWriter(writer, address, signals, stdout);
}
