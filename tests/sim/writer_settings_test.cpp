// Parsing the virtual writer's settings list.

#include <gtest/gtest.h>

#include "sim/writer_settings.h"

namespace brevant {
namespace {

TEST(WriterSettingsParse, ReadsEveryKindOfValue) {
    WriterSettings s;
    std::string error;
    ASSERT_TRUE(ParseWriterSettings(
        "type=20,version=0x02000000,file-open=1,realtime=1,clock-offset=-301,restart-seconds=0,"
        "stay-away=1,probe-busy=forever,scanner-checksum-wrong=2,refuse-xloader=1,corrupt-wifi-app=forever,"
        "sector-size=0x10000,boot=1",
        s, error))
        << error;
    EXPECT_EQ(s.machineType, 20u);
    EXPECT_EQ(s.appVersion, 0x02000000u);
    EXPECT_TRUE(s.fileOpen);
    EXPECT_TRUE(s.realtime);
    EXPECT_EQ(s.clockOffset, -301);
    EXPECT_EQ(s.restartSeconds, 0u);
    EXPECT_TRUE(s.stayAway);
    EXPECT_EQ(s.probeBusy, kForever);
    EXPECT_EQ(s.scannerChecksumWrong, 2u);
    EXPECT_EQ(s.knob(WriterComponent::XLoader).refuse, 1u);
    EXPECT_EQ(s.knob(WriterComponent::WifiApp).corrupt, kForever);
    EXPECT_EQ(s.sectorSize, 0x10000u);
    EXPECT_EQ(s.bootFlag, 1u);
    // Keys not named keep their values.
    EXPECT_EQ(s.appBuild, WriterSettings{}.appBuild);
}

TEST(WriterSettingsParse, PositiveClockOffset) {
    WriterSettings s;
    std::string error;
    ASSERT_TRUE(ParseWriterSettings("clock-offset=300", s, error));
    EXPECT_EQ(s.clockOffset, 300);
}

TEST(WriterSettingsParse, ErrorsNameTheKeyAndTheValue) {
    struct {
        const char* text;
        const char* mentions;
        const char* alsoMentions;
    } cases[] = {
        {"nonsense=1", "nonsense", "unknown"},
        {"file-open=2", "file-open", "'2'"},
        {"boot=3", "boot", "'3'"},
        {"clock-offset=--5", "clock-offset", "--5"},
        {"clock-offset=+5", "clock-offset", "+5"},
        {"restart-seconds=-1", "restart-seconds", "-1"},
        {"probe-busy=always", "probe-busy", "always"},
        {"realtime", "realtime", "no value"},
        {"build=12x", "build", "12x"},
    };
    for (const auto& c : cases) {
        WriterSettings s;
        std::string error;
        EXPECT_FALSE(ParseWriterSettings(c.text, s, error)) << c.text;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
        EXPECT_NE(error.find(c.alsoMentions), std::string::npos) << error;
    }
}

TEST(WriterSettingsHelpText, ListsEveryKey) {
    const std::string help = WriterSettingsHelp();
    for (const char* key :
         {"type", "version", "build", "boot", "main-boot-version", "main-boot-build", "secondary-boot-version",
          "secondary-boot-build", "scanner-version", "report-scanner-version", "scanner-programmed-version",
          "file-open", "realtime", "clock-offset", "restart-seconds", "stay-away", "sector-size", "reserved-size",
          "probe-busy", "scanner-checksum-wrong", "refuse-app", "corrupt-app", "refuse-boot", "corrupt-boot",
          "refuse-xloader", "corrupt-xloader", "refuse-wifi-app", "corrupt-wifi-app", "refuse-wifi-nvs",
          "corrupt-wifi-nvs", "refuse-scanner", "corrupt-scanner"}) {
        EXPECT_NE(help.find(std::string("  ") + key + " "), std::string::npos) << key;
        // Every key documented can be set.
        WriterSettings s;
        std::string error;
        EXPECT_TRUE(ParseWriterSettings(std::string(key) + "=1", s, error)) << error;
    }
}

TEST(WriterKnobs, CountsRunDownAndForeverDoesNot) {
    uint32_t twice = 2;
    EXPECT_TRUE(TakeKnob(twice));
    EXPECT_TRUE(TakeKnob(twice));
    EXPECT_FALSE(TakeKnob(twice));
    uint32_t always = kForever;
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(TakeKnob(always));
    EXPECT_EQ(always, kForever);
}

}  // namespace
}  // namespace brevant
