// brevant-image: packs, unpacks and inspects image containers, and checks Intel HEX texts the
// way the keyboard scanner step loads them. Exit codes: 0 done, 1 failed, 2 usage error.

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "images/crc32.h"
#include "images/image_resources.h"
#include "images/intel_hex.h"
#include "images/lzari_encoder.h"

namespace {

using namespace brevant;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: brevant-image COMMAND ...\n"
    "  pack RAW OUT            write a container (length word + LZARI stream) of RAW\n"
    "  unpack IN OUT           decode the container IN; prints the decoded byte count\n"
    "  crc FILE                print the CRC-32 register (no final inversion) of FILE\n"
    "  hex IN OUT [--base ADDR] [--size N]\n"
    "                          load Intel HEX text IN into a 0xFF-filled image at ADDR\n"
    "                          (default 0x80000000, 0x80000 bytes), write it to OUT and\n"
    "                          print the loader's result\n"
    "  list                    show the images this program carries\n"
    "  extract ID OUT [--raw]  write carried image ID decoded, or its container with --raw\n";

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "brevant-image: %s\n", problem);
    std::fputs(kUsageText, stderr);
    return kUsage;
}

bool ReadFile(const char* path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "brevant-image: cannot open %s: %s\n", path, std::strerror(errno));
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad() || bytes.size() > UINT32_MAX) {
        std::fprintf(stderr, "brevant-image: cannot read %s\n", path);
        return false;
    }
    return true;
}

bool WriteFile(const char* path, const uint8_t* data, size_t length) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(length));
    out.close();
    if (!out) {
        std::fprintf(stderr, "brevant-image: cannot write %s\n", path);
        return false;
    }
    return true;
}

bool ParseNumber(const char* text, uint32_t& value) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || parsed > UINT32_MAX) return false;
    value = uint32_t(parsed);
    return true;
}

uint32_t CrcOf(const uint8_t* data, size_t length) {
    Crc32 crc;
    crc.Add(data, length);
    return crc.Value();
}

int Pack(const char* rawPath, const char* outPath) {
    std::vector<uint8_t> raw;
    if (!ReadFile(rawPath, raw)) return kFailed;
    std::vector<uint8_t> container;
    if (!PackImageContainer(raw.data(), uint32_t(raw.size()), container)) {
        std::fprintf(stderr, "brevant-image: out of memory while packing %s\n", rawPath);
        return kFailed;
    }
    if (!WriteFile(outPath, container.data(), container.size())) return kFailed;
    std::printf("%zu\n", container.size());
    return 0;
}

int Unpack(const char* inPath, const char* outPath) {
    std::vector<uint8_t> container;
    if (!ReadFile(inPath, container)) return kFailed;
    const LoadedImage image = LoadImageFromContainer(container.data(), uint32_t(container.size()), 0);
    if (!image.ok()) {
        std::fprintf(stderr, "brevant-image: %s: %s\n", inPath, ImageLoadErrorText(image.error));
        return kFailed;
    }
    if (!WriteFile(outPath, image.bytes.get(), image.length)) return kFailed;
    std::printf("%" PRIu32 "\n", image.length);
    return 0;
}

int Crc(const char* path) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, bytes)) return kFailed;
    std::printf("%08" PRIX32 "\n", CrcOf(bytes.data(), bytes.size()));
    return 0;
}

int Hex(int argc, char** argv) {
    if (argc < 2) return Usage("hex needs IN and OUT");
    uint32_t base = 0x80000000;
    uint32_t size = 0x80000;
    for (int i = 2; i < argc; i += 2) {
        uint32_t* target = std::strcmp(argv[i], "--base") == 0 ? &base
                           : std::strcmp(argv[i], "--size") == 0 ? &size
                                                                 : nullptr;
        if (target == nullptr) return Usage("hex takes only --base and --size");
        if (i + 1 >= argc || !ParseNumber(argv[i + 1], *target)) return Usage("--base and --size need a number");
    }
    if (size == 0) return Usage("--size must not be 0");
    std::vector<uint8_t> text;
    if (!ReadFile(argv[0], text)) return kFailed;
    std::vector<uint8_t> image(size, 0xFF);
    const int32_t result = IntelHexLoader(text.data(), uint32_t(text.size()), image.data(), size, base);
    if (!WriteFile(argv[1], image.data(), image.size())) return kFailed;
    std::printf("%" PRId32 "\n", result);
    if (result > 0) return 0;
    const char* why = result == kHexNotHex         ? "not HEX text, or no end-of-file record"
                      : result == kHexOutsideImage ? "a data byte lies outside the image"
                      : result == kHexBadRecord    ? "a record is broken or has a wrong checksum"
                                                   : "no data before the end-of-file record";
    std::fprintf(stderr, "brevant-image: %s: %s\n", argv[0], why);
    return kFailed;
}

int List() {
    std::printf("%-4s %-30s %10s %10s %-8s\n", "id", "image", "decoded", "stored", "crc");
    int status = 0;
    for (const CarriedImage& carried : CarriedImages()) {
        const LoadedImage image = LoadImageFromContainer(carried.data, carried.size, 0);
        if (!image.ok()) {
            std::printf("%-4" PRIu32 " %-30s %10s %10" PRIu32 " %s\n", carried.id, carried.what, "-", carried.size,
                        ImageLoadErrorText(image.error));
            status = kFailed;
            continue;
        }
        std::printf("%-4" PRIu32 " %-30s %10" PRIu32 " %10" PRIu32 " %08" PRIX32 "\n", carried.id, carried.what,
                    image.length, carried.size, CrcOf(image.bytes.get(), image.length));
    }
    return status;
}

int Extract(int argc, char** argv) {
    if (argc < 2 || argc > 3) return Usage("extract needs ID and OUT");
    const bool raw = argc == 3;
    if (raw && std::strcmp(argv[2], "--raw") != 0) return Usage("extract takes only --raw");
    uint32_t id = 0;
    if (!ParseNumber(argv[0], id)) return Usage("ID must be a number");
    const CarriedImage* carried = FindCarriedImage(id);
    if (carried == nullptr) {
        std::fprintf(stderr, "brevant-image: no carried image has id %" PRIu32 "\n", id);
        return kFailed;
    }
    if (raw) return WriteFile(argv[1], carried->data, carried->size) ? 0 : kFailed;
    const LoadedImage image = LoadImageResource(id, 0);
    if (!image.ok()) {
        std::fprintf(stderr, "brevant-image: image %" PRIu32 ": %s\n", id, ImageLoadErrorText(image.error));
        return kFailed;
    }
    return WriteFile(argv[1], image.bytes.get(), image.length) ? 0 : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command");
    const std::string command = argv[1];
    const int rest = argc - 2;
    char** args = argv + 2;
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (command == "pack") return rest == 2 ? Pack(args[0], args[1]) : Usage("pack needs RAW and OUT");
    if (command == "unpack") return rest == 2 ? Unpack(args[0], args[1]) : Usage("unpack needs IN and OUT");
    if (command == "crc") return rest == 1 ? Crc(args[0]) : Usage("crc needs FILE");
    if (command == "hex") return Hex(rest, args);
    if (command == "list") return rest == 0 ? List() : Usage("list takes no arguments");
    if (command == "extract") return Extract(rest, args);
    return Usage(("unknown command " + command).c_str());
}
