// Writes the containers the program carries, one per resource id, for the build to link in.
//   make_standin_images OUT               generated stand-ins: OUT/raw/<id>.bin and OUT/<id>.lzari
//   make_standin_images --from DIR OUT    the real decoded images DIR/<id>.bin packed instead
// The stand-ins come from a fixed seed, so every build carries the same bytes.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "images/crc32.h"
#include "images/lzari_encoder.h"
#include "tools/standin_content.h"

namespace {

using namespace brevant;
using namespace brevant::standin;

struct Expected {
    uint32_t id;
    size_t size;   // decoded size of the real image, which the stand-in must match
};
constexpr Expected kImages[] = {{169, 3580492}, {170, 475388}, {171, 768064}, {172, 496448}, {173, 505152},
                                {174, 122152},  {189, 32256},  {190, 280280}, {191, 916}};

constexpr uint32_t kFirmwareHeaderSize = 292;

// Application and boot code: the header the writer checks, then the code.
std::vector<uint8_t> MakeFirmwareImage(Random& rng, const CodeStyle& style, size_t size, const char* name,
                                       uint32_t version, uint32_t build) {
    std::vector<uint8_t> image(kFirmwareHeaderSize, 0);
    AppendFirmware(rng, style, size - kFirmwareHeaderSize, image);
    const uint32_t payload = uint32_t(size - kFirmwareHeaderSize);
    Crc32 crc;
    crc.Add(image.data() + kFirmwareHeaderSize, payload);
    StoreLe32(&image[0x000], kFirmwareHeaderSize);
    std::strncpy(reinterpret_cast<char*>(&image[0x004]), name, 255);
    StoreLe32(&image[0x104], payload);
    StoreLe32(&image[0x108], style.loadAddress);
    StoreLe32(&image[0x10C], style.loadAddress + 0x40);
    StoreLe32(&image[0x110], crc.Value());
    StoreLe32(&image[0x114], 0x7u << 18);   // machine types 18 to 20
    StoreLe32(&image[0x11C], version);
    StoreLe32(&image[0x120], build);
    return image;
}

std::vector<uint8_t> WithLengthOfRest(std::vector<uint8_t> image) {
    StoreLe32(image.data(), uint32_t(image.size() - 4));
    return image;
}

std::vector<uint8_t> MakeXLoader(Random& rng, size_t size) {
    const CodeStyle style{32, 7, 0, 4, 5, 0x40200800};
    std::vector<uint8_t> image(8, 0);
    StoreLe32(&image[4], style.loadAddress);
    AppendFirmware(rng, style, size * 3 / 4 - 8, image);
    AppendStrings(rng, 1024, image);
    // The version text the X-Loader step compares; nothing before it may spell its marker.
    static const char kVersion[] = "X-Loader 6.00 (";
    image.insert(image.end(), kVersion, kVersion + sizeof kVersion);   // with its NUL
    AppendStrings(rng, 512, image);
    AppendFirmware(rng, style, size - image.size(), image);
    return WithLengthOfRest(std::move(image));
}

std::vector<uint8_t> MakeWifiNvs(Random& rng, size_t size) {
    std::vector<uint8_t> image(4, 0);
    static const char* const kKeys[] = {"country", "ssid", "channel", "txpower", "mac", "cal_data", "rf_trim"};
    for (const char* key : kKeys) {
        const size_t keyLength = std::strlen(key);
        image.push_back(uint8_t(keyLength));
        image.insert(image.end(), key, key + keyLength);
        const uint32_t valueLength = std::strcmp(key, "cal_data") == 0 ? 300u : std::strcmp(key, "rf_trim") == 0 ? 64u : 4u + rng.Below(12);
        image.push_back(uint8_t(valueLength));
        for (uint32_t i = 0; i < valueLength; ++i) image.push_back(uint8_t(rng.Below(256)));
    }
    image.resize(size, 0xFF);   // erased flash after the records
    return WithLengthOfRest(std::move(image));
}

// The scanner's flat image holds data from offset 0 to 0xAB07; its last four bytes are 0xFF,
// so the last byte that is not lies at 0xAB03. Ten gaps of two blocks each, with the record
// before each gap cut short, give 2717 data records: with the three other records, 2720 lines
// and 122152 bytes of text.
std::string MakeScannerHex(Random& rng) {
    constexpr size_t kExtent = 0xAB08;
    std::vector<uint8_t> code;
    AppendFirmware(rng, CodeStyle{80, 45, 4, 10, 1, 0x80000000}, 0x2000, code);
    AppendFirmware(rng, CodeStyle{85, 50, 3, 3, 1, 0x80002000}, kExtent - 0x2000, code);
    std::memset(&code[0xAB04], 0xFF, 4);
    if (code[0xAB03] == 0xFF) code[0xAB03] = 0xE1;

    HexPlan plan;
    static constexpr uint32_t kTrims[] = {4, 8, 12, 6, 10, 2, 8, 4, 14, 6};
    for (uint32_t g = 0; g < 10; ++g) {
        const uint32_t gap = 150 + g * 255;
        plan.skippedBlocks.push_back(gap);
        plan.skippedBlocks.push_back(gap + 1);
        plan.trims.emplace_back(gap - 1, kTrims[g]);
    }
    plan.startAddress = 0x80002000;
    return MakeHexText(code, plan);
}

std::vector<uint8_t> MakeStandin(uint32_t id) {
    Random rng(0x42726576616E7400ull + id);   // fixed per image, so each can change alone
    switch (id) {
        case 169: return MakeFirmwareImage(rng, CodeStyle{30, 6, 6, 5, 5, 0x80100000}, 3580492,
                                           "Brevant application", 0x02000000, 35675);
        case 170: return MakeFirmwareImage(rng, CodeStyle{15, 3, 5, 6, 12, 0x80000000}, 475388,
                                           "Brevant boot code", 0x01000000, 35673);
        case 171: return MakeBitmap(rng, 800, 480);
        case 172: return MakeFont(rng, 496448, 24, 32);
        case 173: return MakeFont(rng, 505152, 28, 32);
        case 174: {
            const std::string text = MakeScannerHex(rng);
            return std::vector<uint8_t>(text.begin(), text.end());
        }
        case 189: return MakeXLoader(rng, 32256);
        case 190: {
            std::vector<uint8_t> image(4, 0);
            AppendFirmware(rng, CodeStyle{12, 2, 8, 8, 14, 0x40080000}, 280280 - 4, image);
            return WithLengthOfRest(std::move(image));
        }
        case 191: return MakeWifiNvs(rng, 916);
    }
    return {};
}

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

bool ReadFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path from;
    std::filesystem::path out;
    if (argc == 2) {
        out = argv[1];
    } else if (argc == 4 && std::strcmp(argv[1], "--from") == 0) {
        from = argv[2];
        out = argv[3];
    } else {
        std::fprintf(stderr, "usage: make_standin_images [--from RAW_DIR] OUT_DIR\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(out / "raw", error);
    if (error) {
        std::fprintf(stderr, "make_standin_images: cannot create %s: %s\n", out.c_str(), error.message().c_str());
        return 1;
    }

    for (const auto [id, size] : kImages) {
        const std::string name = std::to_string(id);
        std::vector<uint8_t> raw;
        if (from.empty()) {
            raw = MakeStandin(id);
            if (raw.size() != size) {
                std::fprintf(stderr, "make_standin_images: stand-in %u has %zu bytes, not %zu\n", id, raw.size(), size);
                return 1;
            }
            if (!WriteFile(out / "raw" / (name + ".bin"), raw)) {
                std::fprintf(stderr, "make_standin_images: cannot write the raw image %u\n", id);
                return 1;
            }
        } else if (!ReadFile(from / (name + ".bin"), raw)) {
            std::fprintf(stderr, "make_standin_images: cannot read %s\n", (from / (name + ".bin")).c_str());
            return 1;
        }
        std::vector<uint8_t> container;
        if (raw.size() > UINT32_MAX || !PackImageContainer(raw.data(), uint32_t(raw.size()), container) ||
            !WriteFile(out / (name + ".lzari"), container)) {
            std::fprintf(stderr, "make_standin_images: cannot pack image %u\n", id);
            return 1;
        }
    }
    return 0;
}
