#pragma once
// Shared by the update step and whole-run tests: a virtual writer on a virtual clock, the
// recording dialog services and log, an engine over them, and a readable form of the
// writer's transcript.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "images/image_resources.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_writer.h"
#include "tests/support/recording_ui.h"
#include "update/update_run.h"

namespace brevant::testing {

inline constexpr const char* kTitle = "Brevant Update";
inline constexpr const char* kWelcome = "welcome text";
inline constexpr const char* kBrevant = "Brevant/Brevant II";

inline std::string CommandName(const SimRequest& r) {
    switch (r.header.code) {
        case CMD_MACHINE_INFO: return "MACHINE_INFO";
        case CMD_PROGRAM_APP: return "PROGRAM_APP";
        case CMD_SHOW_TEXT: return r.header.length == 0 ? "PROBE" : "SHOW_TEXT";
        case CMD_FILE_CHECK: return "FILE_CHECK";
        case CMD_FILE_RELEASE: return "FILE_RELEASE";
        case CMD_IMAGE_CRC: return "IMAGE_CRC";
        case CMD_READ_REGION: return "READ_REGION";
        case CMD_PROGRAM_BOOT: return "PROGRAM_BOOT";
        case CMD_PROGRAM_MODE: return "PROGRAM_MODE";
        case CMD_PROGRAM_XLOADER: return "PROGRAM_XLOADER";
        case CMD_REGION_PREPARE: return "REGION_PREPARE";
        case CMD_REGION_WRITE: return "REGION_WRITE";
        case CMD_REGION_QUERY: return "REGION_QUERY";
        case CMD_CLOCK: return r.header.params[1] == 0 ? "CLOCK_READ" : "CLOCK_SET";
        case CMD_BOOT_VERSIONS: return "BOOT_VERSIONS";
        case CMD_FLASH_GEOMETRY: return "FLASH_GEOMETRY";
        case CMD_SENSOR_BOARD:
            switch (r.header.params[0]) {
                case 0x18: return r.payload.empty() || r.payload[0] == 0 ? "SENSOR_ENTER" : "SENSOR_LEAVE";
                case 0x19: return "SENSOR_CHECKSUM";
                case 0x15: return "SENSOR_WRITE";
                default: return "SENSOR_OTHER";
            }
        default: {
            char text[16];
            std::snprintf(text, sizeof text, "0x%04X", unsigned(r.header.code));
            return text;
        }
    }
}

// The transcript as command names, a run of the same command folded into "NAME xN"; a
// text with no payload (the readiness probe and the closing clear) shows as PROBE.
inline std::vector<std::string> Exchanges(const std::vector<SimRequest>& transcript) {
    std::vector<std::string> out;
    std::string last;
    int count = 0;
    auto flush = [&] {
        if (count == 0) return;
        out.push_back(count == 1 ? last : last + " x" + std::to_string(count));
    };
    for (const SimRequest& r : transcript) {
        const std::string name = CommandName(r);
        if (name == last) {
            ++count;
            continue;
        }
        flush();
        last = name;
        count = 1;
    }
    flush();
    return out;
}

// Pauses folded like the exchanges: {100, 100, 200} reads {"100 x2", "200"}.
inline std::vector<std::string> Pauses(const std::vector<uint32_t>& sleeps) {
    std::vector<std::string> out;
    for (size_t i = 0; i < sleeps.size();) {
        size_t j = i;
        while (j < sleeps.size() && sleeps[j] == sleeps[i]) ++j;
        out.push_back(std::to_string(sleeps[i]) + (j - i > 1 ? " x" + std::to_string(j - i) : ""));
        i = j;
    }
    return out;
}

// Stands between the engine and the virtual writer and lets a test change an answer (its
// code and payload) before the host sees it, for answers no writer habit produces.
class AnswerEditor final : public Transport {
public:
    using Edit = std::function<void(const SimRequest& request, CommandCode& code, std::vector<uint8_t>& payload)>;

    AnswerEditor(VirtualWriter& writer, Edit edit) : writer_(writer), edit_(std::move(edit)) {}

    int Open() override { return writer_.Open(); }
    bool IsOpen() const override { return writer_.IsOpen(); }
    uint32_t Write(const uint8_t* buffer, uint32_t n) override { return writer_.Write(buffer, n); }
    int Close() override {
        pending_.clear();
        return writer_.Close();
    }
    uint32_t Read(uint8_t* buffer, uint32_t n) override {
        if (pending_.empty()) {
            std::vector<uint8_t> packet(kPacketBufferSize);
            const uint32_t got = writer_.Read(packet.data(), uint32_t(packet.size()));
            if (got < kPacketHeaderSize) return got == 0 ? 0 : CopyOut(packet, got, buffer, n);
            packet.resize(got);
            CommandCode code = LoadLe16(&packet[packet_offset::kCode]);
            std::vector<uint8_t> payload(packet.begin() + kPacketHeaderSize, packet.end());
            edit_(writer_.transcript().back(), code, payload);
            packet.resize(kPacketHeaderSize);
            StoreLe16(&packet[packet_offset::kCode], code);
            StoreLe32(&packet[packet_offset::kLength], uint32_t(payload.size()));
            packet.insert(packet.end(), payload.begin(), payload.end());
            pending_ = std::move(packet);
        }
        const uint32_t count = std::min<uint32_t>(n, uint32_t(pending_.size()));
        std::copy(pending_.begin(), pending_.begin() + count, buffer);
        pending_.erase(pending_.begin(), pending_.begin() + count);
        return count;
    }

private:
    static uint32_t CopyOut(const std::vector<uint8_t>& packet, uint32_t got, uint8_t* buffer, uint32_t n) {
        const uint32_t count = std::min(got, n);
        std::copy(packet.begin(), packet.begin() + count, buffer);
        return count;
    }

    VirtualWriter& writer_;
    Edit edit_;
    std::vector<uint8_t> pending_;
};

// The decoded bytes of a built-in image, exactly as a step sends them; decoded once per
// test program, since expanding the application takes longer than a whole virtual run.
inline const std::vector<uint8_t>& BuiltInImage(uint32_t resourceId) {
    static std::map<uint32_t, std::vector<uint8_t>> decoded;
    auto it = decoded.find(resourceId);
    if (it == decoded.end()) {
        const LoadedImage image = LoadImageResource(resourceId, kImageSlack);
        std::vector<uint8_t> bytes;
        if (image.ok()) bytes.assign(image.bytes.get(), image.bytes.get() + image.length);
        it = decoded.emplace(resourceId, std::move(bytes)).first;
    }
    return it->second;
}

// The scanner memory of a writer whose scanner has been given the built-in code.
inline const std::vector<uint8_t>& ProgrammedScannerMemory() {
    static const std::vector<uint8_t> memory = [] {
        VirtualClock clock;
        VirtualWriter writer(clock);
        RecordingUi ui;
        RecordingLog log;
        UpdateEngine engine(writer, ui, clock, log, kTitle, kWelcome);
        engine.device().Open();
        IdentificationFields& id = engine.identification();
        engine.device().GetMachineInfo(nullptr, &id.appVersion, &id.bootMode, &id.appBuild);
        EXPECT_EQ(engine.UpdateKeyboardScanner(), 0);
        return writer.storage().scanner.memory;
    }();
    return memory;
}

// A writer that holds every component at the built-in version: nothing older on it.
inline WriterSettings CurrentWriterSettings() {
    WriterSettings s;
    s.appVersion = 0x02000000;
    s.appBuild = 35675;
    s.mainBootVersion = 0x01000000;
    s.mainBootBuild = 35673;
    s.secondaryBootVersion = 0x01000000;
    s.secondaryBootBuild = 35673;
    s.scannerVersion = 14760;
    return s;
}

class RunFixture : public ::testing::Test {
protected:
    void Start(const WriterSettings& settings = {}) {
        engine.reset();
        editor.reset();
        writer = std::make_unique<VirtualWriter>(clock, settings);
        engine = std::make_unique<UpdateEngine>(*writer, ui, clock, log, kTitle, kWelcome);
    }
    // As Start, with every answer passing through `edit` first.
    void StartEdited(const WriterSettings& settings, AnswerEditor::Edit edit) {
        engine.reset();
        editor.reset();
        writer = std::make_unique<VirtualWriter>(clock, settings);
        editor = std::make_unique<AnswerEditor>(*writer, std::move(edit));
        engine = std::make_unique<UpdateEngine>(*editor, ui, clock, log, kTitle, kWelcome);
    }
    // Puts the built-in images into the writer's WiFi and X-Loader regions.
    void PreloadRegionsWithImages() {
        ASSERT_TRUE(writer->LoadRegion(kRegionXLoader, BuiltInImage(189)));
        ASSERT_TRUE(writer->LoadRegion(kRegionWifiApp, BuiltInImage(190)));
        ASSERT_TRUE(writer->LoadRegion(kRegionWifiNvs, BuiltInImage(191)));
    }
    RunOutcome Run() {
        if (!engine) Start();
        return engine->RunUpdate();
    }
    // What the run does before its steps, for tests of one step: open the log and the link,
    // identify; the log and transcript start empty after that.
    void Identify() {
        if (!engine) Start();
        if (!log.IsOpen()) log.Open();
        log.lines.clear();
        ASSERT_EQ(engine->device().Open(), 0);
        IdentificationFields& id = engine->identification();
        ASSERT_EQ(engine->device().GetMachineInfo(nullptr, &id.appVersion, &id.bootMode, &id.appBuild), 0);
        writer->ClearTranscript();
        clock.ClearSleeps();
    }
    std::vector<std::string> Exchanges() const { return testing::Exchanges(writer->transcript()); }
    // The bytes at the start of a region, as many as the image has.
    std::vector<uint8_t> RegionStart(uint32_t regionId, size_t count) const {
        const Region* r = writer->storage().FindRegion(regionId);
        if (r == nullptr || r->bytes.size() < count) return {};
        return std::vector<uint8_t>(r->bytes.begin(), r->bytes.begin() + std::ptrdiff_t(count));
    }

    VirtualClock clock;
    RecordingUi ui;
    RecordingLog log;
    std::unique_ptr<VirtualWriter> writer;
    std::unique_ptr<AnswerEditor> editor;
    std::unique_ptr<UpdateEngine> engine;
};

}  // namespace brevant::testing
