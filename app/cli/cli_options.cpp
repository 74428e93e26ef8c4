#include "app/cli/cli_options.h"

#include "sim/writer_settings.h"

namespace brevant {

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error) {
    bool answerGiven = false;
    for (const std::string& arg : args) {
        if (arg == "--simulate") {
            options.simulate = true;
        } else if (arg.rfind("--simulate=", 0) == 0) {
            options.simulate = true;
            options.simulateSettings = arg.substr(11);
            // Catch a bad key or value before anything is opened.
            WriterSettings probe;
            if (!ParseWriterSettings(options.simulateSettings, probe, error)) return false;
        } else if (arg == "--yes" || arg == "--no") {
            const AnswerPolicy policy = arg == "--yes" ? AnswerPolicy::Yes : AnswerPolicy::No;
            if (answerGiven && options.answers != policy) {
                error = "--yes and --no cannot be given together";
                return false;
            }
            options.answers = policy;
            answerGiven = true;
        } else if (arg == "--help" || arg == "-h") {
            options.showHelp = true;
        } else if (arg == "--version") {
            options.showVersion = true;
        } else {
            error = "unknown argument '" + arg + "'";
            return false;
        }
    }
    return true;
}

std::string CliHelpText() {
    return "Usage: brevant-update [OPTIONS]\n"
           "\n"
           "Brings the firmware of a Brevant steno writer connected by USB up to the images\n"
           "built into this program: identifies the writer, refuses models it is not for,\n"
           "asks before a downgrade, checks that no file is open, sets the writer's clock and\n"
           "updates every component, logging everything to QZUpdate.log in your documents\n"
           "folder.\n"
           "\n"
           "Options:\n"
           "  --simulate[=SETTINGS]  update the built-in virtual writer instead of a real one.\n"
           "                         SETTINGS is a comma-separated list of key=value (numbers\n"
           "                         in decimal or with a 0x prefix). Without SETTINGS: a\n"
           "                         Brevant (type 19) whose every component is older than\n"
           "                         the built-in images. Keys:\n" +
           WriterSettingsHelp() +
           "  --yes                  answer Yes to every question\n"
           "  --no                   answer No to every question\n"
           "                         Without --yes or --no the questions are asked on the\n"
           "                         terminal; without a terminal every answer is No.\n"
           "  --version              print the program version and exit\n"
           "  --help                 print this help and exit\n"
           "\n"
           "Exit status:\n"
           "  0  the writer was updated\n"
           "  1  the run failed (an error was shown)\n"
           "  2  usage error\n"
           "  3  not updated: the machine type was refused or a question was answered No\n";
}

}  // namespace brevant
