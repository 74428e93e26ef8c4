#include "tools/standin_content.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"

namespace brevant::standin {

uint64_t Random::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

namespace {

void AppendWord(std::vector<uint8_t>& out, uint32_t word) {
    uint8_t bytes[4];
    StoreLe32(bytes, word);
    out.insert(out.end(), bytes, bytes + 4);
}

// Draws index i with weight proportional to weights[i].
template <size_t N>
uint32_t Pick(Random& rng, const uint32_t (&weights)[N]) {
    uint32_t total = 0;
    for (uint32_t w : weights) total += w;
    uint32_t x = rng.Below(total);
    for (uint32_t i = 0; i < N; ++i) {
        if (x < weights[i]) return i;
        x -= weights[i];
    }
    return N - 1;
}

// A 32-bit load/store machine with condition codes: low registers, small immediates and the
// "always" condition dominate, as in compiled code.
class InstructionSource {
public:
    InstructionSource(Random& rng, const CodeStyle& style) : rng_(rng), style_(style) {}

    uint32_t Register() {
        static constexpr uint32_t kWeights[16] = {20, 16, 12, 10, 8, 6, 5, 4, 2, 2, 2, 2, 2, 8, 3, 1};
        return Noisy() ? rng_.Below(16) : Pick(rng_, kWeights);
    }
    uint32_t Condition() {
        static constexpr uint32_t kConditions[] = {0x0, 0x1, 0xA, 0xB, 0xC, 0xD, 0x2, 0x3, 0x8, 0x9};
        return rng_.Chance(85) ? 0xEu : kConditions[rng_.Below(10)];
    }
    uint32_t SmallImmediate() { return Noisy() ? rng_.Below(256) : (rng_.Chance(70) ? rng_.Below(16) : rng_.Below(64)); }

    uint32_t Next(uint32_t here, const std::vector<uint32_t>& routines) {
        static constexpr uint32_t kClasses[] = {25, 15, 28, 6, 10, 8, 2, 2};
        static constexpr uint32_t kOps[] = {13, 4, 2, 10, 0, 12, 1, 14};
        static constexpr uint32_t kOpWeights[] = {30, 22, 14, 16, 6, 6, 3, 3};
        const uint32_t cond = Condition() << 28;
        switch (Pick(rng_, kClasses)) {
            case 0: {   // data processing, immediate operand
                const uint32_t op = kOps[Pick(rng_, kOpWeights)];
                const uint32_t s = op == 10 ? 1u : (rng_.Chance(10) ? 1u : 0u);
                return cond | 0x02000000u | op << 21 | s << 20 | Register() << 16 | Register() << 12 |
                       (rng_.Chance(80) ? 0u : rng_.Below(16)) << 8 | SmallImmediate();
            }
            case 1: {   // data processing, register operand
                const uint32_t op = kOps[Pick(rng_, kOpWeights)];
                const uint32_t shift = rng_.Chance(75) ? 0u : (rng_.Below(32) << 7 | rng_.Below(4) << 5);
                return cond | op << 21 | (op == 10 ? 1u : 0u) << 20 | Register() << 16 | Register() << 12 |
                       shift | Register();
            }
            case 2: {   // load/store with a small word offset
                const uint32_t load = rng_.Chance(60) ? 1u : 0u;
                const uint32_t byte = rng_.Chance(15) ? 1u : 0u;
                return cond | 0x05800000u | byte << 22 | load << 20 | Register() << 16 | Register() << 12 |
                       (byte ? SmallImmediate() : SmallImmediate() * 4);
            }
            case 3:   // literal pool load
                return 0xE59F0000u | Register() << 12 | (rng_.Below(64) * 4);
            case 4: {   // short branch
                const int32_t offset = int32_t(rng_.Below(64)) - 40;
                return cond | 0x0A000000u | (uint32_t(offset) & 0x00FFFFFFu);
            }
            case 5: {   // call of an earlier routine, hot ones more often
                if (routines.empty()) return 0xE1A00000u;   // no-op move
                const size_t pick = rng_.Chance(50) ? rng_.Below(uint32_t(std::min<size_t>(routines.size(), 12)))
                                                    : rng_.Below(uint32_t(routines.size()));
                const int32_t offset = (int32_t(routines[pick]) - int32_t(here) - 8) / 4;
                return 0xEB000000u | (uint32_t(offset) & 0x00FFFFFFu);
            }
            case 6:   // multiply
                return cond | 0x00000090u | Register() << 16 | Register() << 8 | Register();
            default:   // return
                return 0xE12FFF1Eu;
        }
    }

private:
    bool Noisy() { return rng_.Chance(style_.noisePercent); }

    Random& rng_;
    const CodeStyle& style_;
};

constexpr uint32_t kPushMasks[] = {0x4010, 0x4030, 0x40F0, 0x41F0, 0x4FF0, 0x4070};

void AppendTable(Random& rng, size_t size, std::vector<uint8_t>& out) {
    const size_t end = out.size() + size;
    while (out.size() < end) {
        const uint32_t kind = rng.Below(4);
        const uint32_t entries = 16 + rng.Below(112);
        const uint32_t base = rng.Below(4096);
        const uint32_t step = rng.Below(64);
        for (uint32_t i = 0; i < entries && out.size() < end; ++i) {
            uint32_t v;
            if (kind == 0) v = base + i * step;                                        // ramps
            else if (kind == 1) v = uint32_t(2048 + 2047 * std::sin(i * 0.0981747704)); // waveforms
            else if (kind == 2) v = rng.Below(16) * 0x101u;                            // small codes
            else v = uint32_t(rng.Next());                                             // keys, seeds
            if (kind < 3) {
                out.push_back(uint8_t(v));
                out.push_back(uint8_t(v >> 8));
            } else {
                AppendWord(out, v);
            }
        }
    }
    out.resize(end);
}

}  // namespace

void AppendStrings(Random& rng, size_t size, std::vector<uint8_t>& out) {
    static const char* const kWords[] = {
        "Error",   "Failed to", "open",     "file",    "steno",   "writer",  "keyboard", "battery",  "low",
        "memory",  "update",    "firmware", "version", "invalid", "data",    "realtime", "session",  "saved",
        "deleted", "card",      "SD",       "USB",     "link",    "ready",   "busy",     "timeout",  "retry",
        "press",   "key",       "to",       "the",     "is",      "not",     "found",    "%d",       "%s",
        "%08X",    "dictionary", "job",     "stroke",  "paper",   "display", "WiFi",     "network",  "signal",
        "clock",   "set",       "date",     "time",    "check",   "sum",     "mismatch", "loading",  "done",
    };
    constexpr uint32_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
    const size_t end = out.size() + size;
    while (out.size() < end) {
        const uint32_t words = 2 + rng.Below(6);
        std::string message;
        for (uint32_t w = 0; w < words; ++w) {
            if (w) message += ' ';
            message += kWords[rng.Chance(60) ? rng.Below(12) : rng.Below(kWordCount)];
        }
        if (rng.Chance(30)) message += rng.Chance(50) ? "\r\n" : "...";
        out.insert(out.end(), message.begin(), message.end());
        do out.push_back(0);
        while (out.size() % 4 != 0);
    }
    out.resize(end);
}

void AppendFirmware(Random& rng, const CodeStyle& style, size_t size, std::vector<uint8_t>& out) {
    const size_t start = out.size();
    const size_t end = start + size;
    InstructionSource source(rng, style);

    // Idioms: short instruction sequences the compiler emits again and again.
    std::vector<std::vector<uint32_t>> idioms(320);
    std::vector<uint32_t> none;
    for (auto& idiom : idioms) {
        idiom.resize(2 + rng.Below(7));
        for (uint32_t& word : idiom) word = source.Next(0, none);
    }

    std::vector<uint32_t> routines;               // addresses, for calls
    std::vector<std::pair<size_t, size_t>> bodies;   // offset and length of each routine, for near copies
    // Code comes in modules that lean on a handful of idioms of their own, which is what makes
    // it repeat within the coder's 4 KiB window.
    uint32_t module = 0;
    while (out.size() < end) {
        const uint32_t roll = rng.Below(100);
        if (roll < style.stringPercent) {
            AppendStrings(rng, 64 + rng.Below(512), out);
            continue;
        }
        if (roll < style.stringPercent + style.tablePercent) {
            AppendTable(rng, 64 + rng.Below(768), out);
            continue;
        }
        const size_t here = out.size();
        const uint32_t address = style.loadAddress + uint32_t(here - start);
        if (rng.Chance(10)) module = rng.Below(uint32_t(idioms.size()));
        if (!bodies.empty() && rng.Chance(style.repeatPercent)) {
            // An inlined helper or a template instance: a recent routine with a few changes.
            const uint32_t recent = uint32_t(std::min<size_t>(bodies.size(), 6));
            const auto [from, length] = bodies[bodies.size() - 1 - rng.Below(recent)];
            for (size_t i = 0; i + 4 <= length; i += 4) {
                uint32_t word = LoadLe32(&out[from + i]);
                if (rng.Chance(8)) word = source.Next(address + uint32_t(i), routines);
                AppendWord(out, word);
            }
        } else {
            const uint32_t mask = kPushMasks[rng.Below(6)];
            AppendWord(out, 0xE92D0000u | mask);   // push
            const uint32_t length = 6 + rng.Below(70);
            for (uint32_t i = 0; i < length;) {
                if (rng.Chance(style.idiomPercent)) {
                    // Within a module a few idioms are everywhere.
                    const uint32_t which = (module + rng.Below(1 + rng.Below(24))) % uint32_t(idioms.size());
                    for (uint32_t word : idioms[which]) AppendWord(out, word);
                    i += uint32_t(idioms[which].size());
                } else {
                    AppendWord(out, source.Next(address + 4 * i, routines));
                    ++i;
                }
            }
            AppendWord(out, 0xE8BD0000u | (mask & ~0x4000u) | 0x8000u);   // pop into pc
            const uint32_t pool = rng.Below(6);
            for (uint32_t i = 0; i < pool; ++i)
                AppendWord(out, rng.Chance(70) ? style.loadAddress + rng.Below(uint32_t(size)) / 4 * 4
                                               : rng.Below(65536));
        }
        routines.push_back(address);
        bodies.emplace_back(here, out.size() - here);
    }
    out.resize(end);
}

std::vector<uint8_t> MakeBitmap(Random& rng, uint32_t width, uint32_t height) {
    std::vector<uint8_t> image(64, 0);
    std::memcpy(image.data(), "BVBM", 4);
    StoreLe16(&image[4], uint16_t(width));
    StoreLe16(&image[6], uint16_t(height));
    StoreLe16(&image[8], 16);
    StoreLe16(&image[10], 0x565);
    StoreLe32(&image[12], width * height * 2);

    std::vector<uint16_t> pixels(size_t(width) * height);
    const auto rgb = [](uint32_t r, uint32_t g, uint32_t b) {
        return uint16_t((std::min(r, 31u) << 11) | (std::min(g, 63u) << 5) | std::min(b, 31u));
    };
    static constexpr uint32_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            // A dithered vertical gradient, the classic splash background.
            const uint32_t level = y * 16 * 24 / height + kBayer[y & 3][x & 3];
            pixels[size_t(y) * width + x] = rgb(2 + level / 32, 8 + level / 12, 12 + level / 24);
        }
    const auto fill = [&](uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, uint16_t colour) {
        for (uint32_t y = y0; y < std::min(y0 + h, height); ++y)
            for (uint32_t x = x0; x < std::min(x0 + w, width); ++x) pixels[size_t(y) * width + x] = colour;
    };
    fill(0, 0, width, 40, rgb(4, 10, 20));
    // A photo-like panel: smooth value noise, the least compressible part of a real splash.
    const uint32_t px = width / 4, py = 50, pw = width * 3 / 4 - 20, ph = height * 5 / 6;
    std::vector<uint32_t> lattice(17 * 17);
    for (uint32_t& v : lattice) v = rng.Below(64);
    for (uint32_t y = 0; y < ph; ++y)
        for (uint32_t x = 0; x < pw; ++x) {
            const uint32_t gx = x * 16 / pw, gy = y * 16 / ph;
            const uint32_t fx = x * 16 % pw * 64 / pw, fy = y * 16 % ph * 64 / ph;
            const uint32_t top = lattice[gy * 17 + gx] * (64 - fx) + lattice[gy * 17 + gx + 1] * fx;
            const uint32_t bottom = lattice[(gy + 1) * 17 + gx] * (64 - fx) + lattice[(gy + 1) * 17 + gx + 1] * fx;
            const uint32_t v = (top * (64 - fy) + bottom * fy) / 4096 + rng.Below(12);
            pixels[size_t(py + y) * width + px + x] = rgb(v / 2, v, v / 3 + 4);
        }
    // Buttons and a caption made of a small blocky glyph set.
    for (uint32_t b = 0; b < 4; ++b) {
        fill(40, 90 + b * 80, 260, 56, rgb(28, 56, 28));
        fill(44, 94 + b * 80, 252, 48, rgb(6, 20, 14));
    }
    uint8_t glyphs[26][7];
    for (auto& glyph : glyphs)
        for (uint8_t& row : glyph) row = uint8_t(rng.Below(32));
    for (uint32_t line = 0; line < 6; ++line)
        for (uint32_t c = 0; c < 40; ++c) {
            const uint32_t g = rng.Below(26);
            for (uint32_t row = 0; row < 7; ++row)
                for (uint32_t col = 0; col < 5; ++col)
                    if (glyphs[g][row] >> col & 1)
                        fill(20 + c * 12 + col * 2, 400 + line * 12 + row * 2 - 60 * (line / 3), 2, 2, 0xFFFF);
        }
    for (uint16_t p : pixels) {
        image.push_back(uint8_t(p));
        image.push_back(uint8_t(p >> 8));
    }
    return image;
}

std::vector<uint8_t> MakeFont(Random& rng, size_t size, uint32_t cellWidth, uint32_t cellHeight) {
    const size_t glyphBytes = size_t(cellWidth) * cellHeight;
    constexpr size_t kHeader = 32, kEntry = 8;
    const uint32_t glyphCount = uint32_t((size - kHeader) / (glyphBytes + kEntry));
    std::vector<uint8_t> font(kHeader, 0);
    std::memcpy(font.data(), "BVFT", 4);
    StoreLe16(&font[4], uint16_t(cellWidth));
    StoreLe16(&font[6], uint16_t(cellHeight));
    StoreLe32(&font[8], glyphCount);
    StoreLe32(&font[12], uint32_t(kHeader));
    StoreLe32(&font[16], uint32_t(kHeader + kEntry * glyphCount));
    for (uint32_t g = 0; g < glyphCount; ++g) {
        uint8_t entry[kEntry] = {};
        StoreLe32(entry, 0x20 + g);
        StoreLe16(entry + 4, uint16_t(cellWidth - rng.Below(cellWidth / 3)));
        font.insert(font.end(), entry, entry + kEntry);
    }

    // Glyphs are built from a stock of strokes, as characters share their parts.
    struct Stroke { float x0, y0, x1, y1; };
    std::vector<Stroke> strokes(96);
    for (Stroke& s : strokes) {
        s = {float(rng.Below(5)) / 4, float(rng.Below(7)) / 6, float(rng.Below(5)) / 4, float(rng.Below(7)) / 6};
    }
    const float thickness = float(cellWidth) / 11.0f;
    for (uint32_t g = 0; g < glyphCount; ++g) {
        std::vector<uint8_t> cell(glyphBytes, 0);
        const uint32_t count = 2 + rng.Below(4);
        for (uint32_t k = 0; k < count; ++k) {
            const Stroke& s = strokes[rng.Below(1 + rng.Below(96))];
            const float ax = 2 + s.x0 * float(cellWidth - 5), ay = 3 + s.y0 * float(cellHeight - 7);
            const float bx = 2 + s.x1 * float(cellWidth - 5), by = 3 + s.y1 * float(cellHeight - 7);
            for (uint32_t y = 0; y < cellHeight; ++y)
                for (uint32_t x = 0; x < cellWidth; ++x) {
                    const float dx = bx - ax, dy = by - ay;
                    const float len2 = dx * dx + dy * dy;
                    float t = len2 > 0 ? ((float(x) - ax) * dx + (float(y) - ay) * dy) / len2 : 0;
                    t = std::clamp(t, 0.0f, 1.0f);
                    const float ex = float(x) - (ax + t * dx), ey = float(y) - (ay + t * dy);
                    const float coverage = std::clamp(thickness - std::sqrt(ex * ex + ey * ey), 0.0f, 1.0f);
                    uint8_t& pixel = cell[size_t(y) * cellWidth + x];
                    pixel = std::max(pixel, uint8_t(coverage * 255.0f));
                }
        }
        font.insert(font.end(), cell.begin(), cell.end());
    }
    font.resize(size, 0);
    return font;
}

namespace {

void AppendRecord(std::string& text, uint32_t type, uint32_t address, const uint8_t* data, uint32_t count) {
    char field[16];
    uint32_t sum = count + (address >> 8) + (address & 0xFF) + type;
    std::snprintf(field, sizeof field, ":%02X%04X%02X", count, address & 0xFFFF, type);
    text += field;
    for (uint32_t i = 0; i < count; ++i) {
        std::snprintf(field, sizeof field, "%02X", data[i]);
        text += field;
        sum += data[i];
    }
    std::snprintf(field, sizeof field, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
    text += field;
}

}  // namespace

std::string MakeHexText(const std::vector<uint8_t>& code, const HexPlan& plan) {
    std::string text;
    const uint8_t upper[2] = {0x80, 0x00};
    AppendRecord(text, 4, 0, upper, 2);
    const uint32_t blocks = uint32_t((code.size() + 15) / 16);
    for (uint32_t b = 0; b < blocks; ++b) {
        if (std::find(plan.skippedBlocks.begin(), plan.skippedBlocks.end(), b) != plan.skippedBlocks.end()) continue;
        uint32_t count = uint32_t(std::min<size_t>(16, code.size() - size_t(b) * 16));
        for (const auto& [block, cut] : plan.trims)
            if (block == b) count -= cut;
        AppendRecord(text, 0, b * 16, &code[size_t(b) * 16], count);
    }
    uint8_t start[4];
    StoreBe32(start, plan.startAddress);
    AppendRecord(text, 5, 0, start, 4);
    AppendRecord(text, 1, 0, nullptr, 0);
    return text;
}

}  // namespace brevant::standin
