#include "app/cli/cli_options.h"

#include "device/socket_transport.h"
#include "sim/writer_settings.h"

#include <sstream>

namespace brevant {

namespace {

// Every line of a block moved right, for nesting a list under an option.
std::string IndentText(const std::string& block, const char* indent) {
    std::istringstream lines(block);
    std::string line;
    std::string result;
    while (std::getline(lines, line)) result += indent + line + "\n";
    return result;
}

}  // namespace

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error) {
    bool answerGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // --writer and --record take their value either after '=' or as the next argument.
        const bool linkOption = arg == "--writer" || arg == "--record";
        if (linkOption && i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const bool linkOptionJoined = arg.rfind("--writer=", 0) == 0 || arg.rfind("--record=", 0) == 0;
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
        } else if (linkOption || linkOptionJoined) {
            const bool writer = arg[2] == 'w';
            const std::string value = linkOption ? args[++i] : arg.substr(9);
            if (writer) {
                SocketAddress address;
                if (!ParseSocketAddress(value, address, error)) return false;
                options.writer = value;
            } else {
                if (value.empty()) {
                    error = "--record needs a file name";
                    return false;
                }
                options.recordPath = value;
            }
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--help" || arg == "-h") {
            options.showHelp = true;
        } else if (arg == "--version") {
            options.showVersion = true;
        } else {
            error = "unknown argument '" + arg + "'";
            return false;
        }
    }
    if (options.simulate && !options.writer.empty()) {
        error = "--simulate and --writer cannot be given together";
        return false;
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
           IndentText(WriterSettingsHelp(), "    ") +
           "  --writer tcp:HOST:PORT reach the writer over a socket link (for instance a\n"
           "                         brevant-writer-sim) instead of USB\n"
           "  --record FILE          record every transfer of the run (direction, bytes,\n"
           "                         milliseconds since start) to a trace file that\n"
           "                         brevant-writer-sim --replay can answer an updater with\n"
           "  --check                read-only check: identify the writer and say for each\n"
           "                         component whether a run would update it and why;\n"
           "                         programs, writes and restarts nothing\n"
           "  --json                 end with one JSON object on its own line: the writer,\n"
           "                         each component's state (before and after a run; a run\n"
           "                         then also checks before and after), result, exit status\n"
           "  --yes                  answer Yes to every question\n"
           "  --no                   answer No to every question\n"
           "                         Without --yes or --no the questions are asked on the\n"
           "                         terminal; without a terminal every answer is No.\n"
           "  --version              print the program version and exit\n"
           "  --help                 print this help and exit\n"
           "\n"
           "Exit status of an update run:\n"
           "  0  the writer was updated\n"
           "  1  the run failed (an error was shown)\n"
           "  2  usage error\n"
           "  3  not updated: the machine type was refused or a question was answered No\n"
           "Exit status of --check:\n"
           "  0  nothing to update\n"
           "  1  no writer found, or it stopped answering\n"
           "  2  usage error\n"
           "  3  a run would update nothing: the machine type is refused or a file is open\n"
           "  4  a run would update at least one component\n";
}

}  // namespace brevant
