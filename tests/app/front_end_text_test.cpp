// The texts the front ends build: program version, caption, about text, welcome text, the
// documents folder rules, and the command line.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "app/cli/cli_options.h"
#include "app/cli/terminal_ui.h"
#include "app/documents_folder.h"
#include "app/program_version.h"

namespace brevant {
namespace {

TEST(ProgramVersionTest, FormsByWhichFieldsAreSet) {
    struct Case {
        uint32_t ms, ls;
        const char* text;
    } cases[] = {
        {0x00018B5B, 0x00020000, "35675.2.0"},   // 1.35675.2.0
        {0x00078B5B, 0x00000003, "35675 Beta 3"},  // x.35675.0.3: the first field never shows
        {0x00098B5B, 0x00000000, "35675"},
        {0x00018B5B, 0x00020007, "35675 Beta 7"},
        {0, 0, "0"},  // no version information
    };
    for (const Case& c : cases) EXPECT_EQ(FormatProgramVersion(c.ms, c.ls), c.text);
    EXPECT_EQ(BuiltProgramVersionText(), "35675.2.0");
}

TEST(ProgramVersionTest, CaptionAboutAndWelcomeTexts) {
    EXPECT_EQ(BuildCaption(kProgramTitle, "35675.2.0"), "Brevant Update - Build:  35675.2.0");
    EXPECT_EQ(BuildAboutText(kProgramTitle, "35675.2.0"), "Brevant Update Build:  35675.2.0");
    EXPECT_EQ(BuildWelcomeText(),
              "Connect Steno Machine via the USB cable\nand click \"Go!\" to update your machine software.\n\n"
              "Brevant/Brevant II - Build: 35675\n"
              "Brevant Captioner/Student - Build: 35675\n");
}

struct FolderCase {
    const char* name;
    std::map<std::string, std::string> environment;
    std::map<std::string, std::string> files;
    std::set<std::string> directories;
    std::optional<std::string> expected;
};

TEST(DocumentsFolderTest, FollowsTheDesktopRulesInOrder) {
    const std::string dirs = "# written by the desktop\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                             "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    const FolderCase cases[] = {
        {"environment wins", {{"XDG_DOCUMENTS_DIR", "/data/docs"}, {"HOME", "/home/s"}}, {}, {}, "/data/docs"},
        {"user-dirs in ~/.config", {{"HOME", "/home/s"}}, {{"/home/s/.config/user-dirs.dirs", dirs}}, {},
         "/home/s/Dokumente"},
        {"user-dirs in XDG_CONFIG_HOME",
         {{"HOME", "/home/s"}, {"XDG_CONFIG_HOME", "/cfg"}},
         {{"/cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/papers\"\n"}},
         {},
         "/srv/papers"},
        {"relative entry ignored",
         {{"HOME", "/home/s"}},
         {{"/home/s/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"papers\"\n"}},
         {"/home/s/Documents"},
         "/home/s/Documents"},
        {"Documents when present", {{"HOME", "/home/s"}}, {}, {"/home/s/Documents"}, "/home/s/Documents"},
        {"home otherwise", {{"HOME", "/home/s"}}, {}, {}, "/home/s"},
        {"empty variable ignored", {{"HOME", "/home/s"}, {"XDG_DOCUMENTS_DIR", ""}}, {}, {}, "/home/s"},
        {"nothing at all", {}, {}, {}, std::nullopt},
    };
    for (const FolderCase& c : cases) {
        FolderLookup lookup;
        lookup.environment = [&c](const char* name) -> std::optional<std::string> {
            auto it = c.environment.find(name);
            if (it == c.environment.end()) return std::nullopt;
            return it->second;
        };
        lookup.readFile = [&c](const std::string& path) -> std::optional<std::string> {
            auto it = c.files.find(path);
            if (it == c.files.end()) return std::nullopt;
            return it->second;
        };
        lookup.isDirectory = [&c](const std::string& path) { return c.directories.count(path) != 0; };
        EXPECT_EQ(LocateDocumentsFolder(lookup), c.expected) << c.name;
    }
}

TEST(CliOptionsTest, AcceptsTheDocumentedOptions) {
    CliOptions o;
    std::string error;
    ASSERT_TRUE(ParseCliOptions({"--simulate=type=17,version=0x0105", "--yes"}, o, error)) << error;
    EXPECT_TRUE(o.simulate);
    EXPECT_EQ(o.simulateSettings, "type=17,version=0x0105");
    EXPECT_EQ(o.answers, AnswerPolicy::Yes);
}

TEST(CliOptionsTest, UsageErrorsNameTheCulprit) {
    struct Case {
        std::vector<std::string> args;
        const char* mentions;
    } cases[] = {
        {{"--simulate=colour=red"}, "colour"},
        {{"--simulate=type=seventeen"}, "seventeen"},
        {{"--simulate=boot=2"}, "boot"},
        {{"--yes", "--no"}, "--no"},
        {{"--frobnicate"}, "--frobnicate"},
    };
    for (const Case& c : cases) {
        CliOptions o;
        std::string error;
        EXPECT_FALSE(ParseCliOptions(c.args, o, error)) << c.mentions;
        EXPECT_THAT(error, ::testing::HasSubstr(c.mentions));
    }
}

TEST(CliOptionsTest, HelpDocumentsExitStatusesAndSettings) {
    const std::string help = CliHelpText();
    for (const char* needle : {"--simulate", "--yes", "--no", "--version", "main-boot-version", "scanner-version",
                               "0  the writer was updated", "3  not updated"}) {
        EXPECT_THAT(help, ::testing::HasSubstr(needle));
    }
}

TEST(TerminalUiTest, QuestionsNeedExplicitConsent) {
    struct Case {
        AnswerPolicy policy;
        bool terminal;
        const char* typed;
        bool expected;
    } cases[] = {
        {AnswerPolicy::Yes, false, "", true},   {AnswerPolicy::No, true, "y\n", false},
        {AnswerPolicy::Ask, false, "y\n", false}, {AnswerPolicy::Ask, true, "y\n", true},
        {AnswerPolicy::Ask, true, "\n", false},  {AnswerPolicy::Ask, true, "maybe\nyes\n", true},
        {AnswerPolicy::Ask, true, "", false},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        std::istringstream in(c.typed);
        TerminalUi ui(out, err, in, c.terminal, c.policy, "idle");
        EXPECT_EQ(ui.AskYesNo("Proceed?", "Warning"), c.expected) << c.typed;
        EXPECT_THAT(out.str(), ::testing::HasSubstr("Warning: Proceed?"));
    }
}

TEST(TerminalUiTest, ErrorsGoToStderrAndStatusLinesToStdout) {
    std::ostringstream out, err;
    std::istringstream in;
    TerminalUi ui(out, err, in, false, AnswerPolicy::Ask, "idle");
    ui.SetStatusText("\n\nSending Build 35675 to Brevant/Brevant II...");
    ui.SetStatusText("idle");
    ui.ShowError("Unable to program your writer.\nPlease close any open files on your Brevant/Brevant II");
    EXPECT_EQ(out.str(), "Sending Build 35675 to Brevant/Brevant II...\n");
    EXPECT_EQ(err.str(),
              "Error: Unable to program your writer.\n  Please close any open files on your Brevant/Brevant II\n");
}

}  // namespace
}  // namespace brevant
