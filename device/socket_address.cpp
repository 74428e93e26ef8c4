// "tcp:HOST:PORT", the way a person types a socket link on the command line.

#include <charconv>

#include "device/socket_transport.h"

namespace brevant {

bool ParseSocketAddress(std::string_view text, SocketAddress& address, std::string& error) {
    constexpr std::string_view kScheme = "tcp:";
    if (text.substr(0, kScheme.size()) != kScheme) {
        error = "writer address '" + std::string(text) + "' must start with tcp: (tcp:HOST:PORT)";
        return false;
    }
    std::string_view rest = text.substr(kScheme.size());
    std::string_view host;
    std::string_view portText;
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            error = "writer address '" + std::string(text) + "' has an unclosed [IPv6] host or no :PORT";
            return false;
        }
        host = rest.substr(1, close - 1);
        portText = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            error = "writer address '" + std::string(text) + "' has no :PORT (tcp:HOST:PORT)";
            return false;
        }
        host = rest.substr(0, colon);
        portText = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) {
            error = "writer address '" + std::string(text) + "': write an IPv6 host in brackets, [::1]";
            return false;
        }
    }
    if (host.empty()) {
        error = "writer address '" + std::string(text) + "' has no host";
        return false;
    }
    unsigned value = 0;
    const auto parsed = std::from_chars(portText.data(), portText.data() + portText.size(), value);
    if (portText.empty() || parsed.ec != std::errc() || parsed.ptr != portText.data() + portText.size() ||
        value == 0 || value > 65535) {
        error = "writer address '" + std::string(text) + "' has a bad port '" + std::string(portText) +
                "' (1 to 65535)";
        return false;
    }
    address.host = std::string(host);
    address.port = uint16_t(value);
    return true;
}

}  // namespace brevant
