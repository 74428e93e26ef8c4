// brevant-update: the Linux command-line front end of the update engine.

#include <unistd.h>

#include <iostream>
#include <memory>

#include "app/cli/check_report.h"
#include "app/cli/cli_options.h"
#include "app/cli/progress_display.h"
#include "app/cli/terminal_ui.h"
#include "app/cli/writer_link.h"
#include "app/documents_folder.h"
#include "app/program_version.h"
#include "app/system_clock.h"
#include "app/update_log.h"
#include "device/transport.h"
#include "update/update_check.h"
#include "update/update_run.h"

namespace {

int ExitStatusFor(brevant::RunOutcome outcome) {
    switch (outcome) {
        case brevant::RunOutcome::Updated:
            return brevant::kExitUpdated;
        case brevant::RunOutcome::NotUpdated:
            return brevant::kExitNotUpdated;
        case brevant::RunOutcome::Failed:
            break;
    }
    return brevant::kExitFailed;
}

const char* ResultName(brevant::RunOutcome outcome) {
    switch (outcome) {
        case brevant::RunOutcome::Updated:
            return "updated";
        case brevant::RunOutcome::NotUpdated:
            return "not-updated";
        case brevant::RunOutcome::Failed:
            break;
    }
    return "failed";
}

// A run that ended with the writer restarting leaves it off the bus for a while; look for
// it as the restart step does before checking what it holds now.
brevant::CheckReport CheckAfterRun(brevant::Transport& transport, brevant::Clock& clock) {
    for (int attempt = 0; attempt < 15 && transport.Open() != 0; ++attempt) clock.Sleep(1000);
    brevant::UpdateCheck check(transport, clock);
    return check.Run();
}

// Reports a trace that could not be written completely; the run's own status stands.
void FinishTrace(brevant::WriterLink& link) {
    std::string error;
    if (!link.Finish(error)) std::cerr << "brevant-update: the trace is incomplete: " << error << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace brevant;
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "brevant-update: " << error << "\nTry 'brevant-update --help'." << std::endl;
        return kExitUsage;
    }
    if (options.showHelp) {
        std::cout << CliHelpText();
        return kExitUpdated;
    }
    const std::string version = BuiltProgramVersionText();
    if (options.showVersion) {
        std::cout << version << std::endl;
        return kExitUpdated;
    }

    SystemClock clock;
    WriterLink link;
    if (!link.Build(options, clock, error)) {
        std::cerr << "brevant-update: " << error << std::endl;
        return kExitFailed;
    }
    Transport& transport = link.transport();

    const std::string welcome = BuildWelcomeText();
    std::cout << BuildCaption(kProgramTitle, version) << std::endl;
    if (options.check) {
        UpdateCheck check(transport, clock);
        const CheckReport report = check.Run();
        PrintCheckReport(std::cout, report);
        const int status = CheckExitStatus(report);
        if (options.json) std::cout << CheckJson(report, status) << std::endl;
        FinishTrace(link);
        return status;
    }
    CheckReport before;
    if (options.json) {
        UpdateCheck check(transport, clock);
        before = check.Run();
    }
    RunOutcome outcome;
    {
        TerminalUi ui(std::cout, std::cerr, std::cin, isatty(STDIN_FILENO) == 1, options.answers, welcome);
        ProgressDisplay progress(std::cout, isatty(STDOUT_FILENO) == 1, clock);
        ui.SetProgressDisplay(&progress);
        UpdateLog log(UpdateLogPath, clock, kProgramTitle, version);
        UpdateEngine engine(transport, ui, clock, log, kProgramTitle, welcome);
        outcome = engine.RunUpdate();
    }
    const int status = ExitStatusFor(outcome);
    if (options.json) std::cout << RunJson(before, CheckAfterRun(transport, clock), ResultName(outcome), status) << std::endl;
    FinishTrace(link);
    return status;
}
