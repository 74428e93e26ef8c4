#pragma once
// Command line of brevant-update.

#include <string>
#include <vector>

namespace brevant {

enum class AnswerPolicy {
    Ask,  // prompt on a terminal; without one every question is answered No
    Yes,
    No,
};

struct CliOptions {
    bool simulate = false;
    std::string simulateSettings;
    AnswerPolicy answers = AnswerPolicy::Ask;
    std::string writer;      // "tcp:HOST:PORT": reach the writer over the socket link
    std::string recordPath;  // record every transfer of the run to this trace file
    bool check = false;      // read-only check instead of an update run
    bool json = false;       // one JSON object at the end
    bool showHelp = false;
    bool showVersion = false;
};

// Exit statuses of brevant-update.
inline constexpr int kExitUpdated = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotUpdated = 3;

// Returns false with `error` naming the offending argument.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

std::string CliHelpText();

}  // namespace brevant
