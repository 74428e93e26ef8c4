// A writer that answers the first request wrongly, for the end-to-end test of the socket
// link: listens on 127.0.0.1 at a free port, prints "listening on 127.0.0.1:PORT", takes
// one connection, reads one frame and answers it as the mode says, then leaves.
//   garbage    a frame of bytes that are not a packet
//   oversized  a frame announcing 70,000 bytes (above the largest a writer may send)
//   midframe   a frame announcing 100 bytes, 10 of them, then the connection closes
//   noframe    bytes that are no frame at all (text), then the connection closes

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

bool SendAll(int s, const std::vector<unsigned char>& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(s, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}

bool ReceiveAll(int s, unsigned char* bytes, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = recv(s, bytes + got, n - got, 0);
        if (r <= 0) return false;
        got += size_t(r);
    }
    return true;
}

std::vector<unsigned char> Frame(uint32_t announced, const std::vector<unsigned char>& body) {
    std::vector<unsigned char> bytes(4 + body.size());
    for (int i = 0; i < 4; ++i) bytes[size_t(i)] = uint8_t(announced >> (8 * i));
    std::copy(body.begin(), body.end(), bytes.begin() + 4);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: broken_peer garbage|oversized|midframe|noframe\n");
        return 2;
    }
    const std::string_view mode = argv[1];
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::perror("broken_peer");
        return 2;
    }
    std::printf("listening on 127.0.0.1:%u\n", unsigned(ntohs(address.sin_port)));
    std::fflush(stdout);
    const int s = accept(listener, nullptr, nullptr);
    unsigned char prefix[4];
    std::vector<unsigned char> request(65568);
    if (s < 0 || !ReceiveAll(s, prefix, 4)) return 2;
    const uint32_t length = uint32_t(prefix[0]) | uint32_t(prefix[1]) << 8 | uint32_t(prefix[2]) << 16 |
                            uint32_t(prefix[3]) << 24;
    if (length > request.size() || !ReceiveAll(s, request.data(), length)) return 2;
    bool ok = true;
    if (mode == "garbage") {
        std::vector<unsigned char> junk(40);
        for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<unsigned char>(i * 37 + 11);
        ok = SendAll(s, Frame(uint32_t(junk.size()), junk));
        // Stay until the updater has given up on us.
        unsigned char byte;
        while (recv(s, &byte, 1, 0) > 0) {
        }
    } else if (mode == "oversized") {
        ok = SendAll(s, Frame(70000, std::vector<unsigned char>(70000, 0x51)));
    } else if (mode == "midframe") {
        ok = SendAll(s, Frame(100, std::vector<unsigned char>(10, 0x51)));
    } else if (mode == "noframe") {
        const char* text = "HTTP/1.0 400 Bad Request\r\n\r\n";
        ok = SendAll(s, std::vector<unsigned char>(text, text + std::strlen(text)));
    } else {
        std::fprintf(stderr, "broken_peer: unknown mode '%s'\n", argv[1]);
        return 2;
    }
    close(s);
    close(listener);
    return ok ? 0 : 1;
}
