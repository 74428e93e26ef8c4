// brevant-update: the Linux command-line front end of the update engine.

#include <unistd.h>

#include <iostream>
#include <memory>

#include "app/cli/cli_options.h"
#include "app/cli/terminal_ui.h"
#include "app/documents_folder.h"
#include "app/program_version.h"
#include "app/system_clock.h"
#include "app/update_log.h"
#include "device/transport.h"
#include "sim/virtual_writer.h"
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
    std::unique_ptr<Transport> transport;
    if (options.simulate) {
        WriterSettings settings;
        ParseWriterSettings(options.simulateSettings, settings, error);  // checked while parsing options
        transport = std::make_unique<VirtualWriter>(clock, settings);
    } else {
        // No USB transport on this platform yet: no writer is ever found.
        transport = std::make_unique<NullTransport>();
    }

    const std::string welcome = BuildWelcomeText();
    std::cout << BuildCaption(kProgramTitle, version) << std::endl;
    TerminalUi ui(std::cout, std::cerr, std::cin, isatty(STDIN_FILENO) == 1, options.answers, welcome);
    UpdateLog log(UpdateLogPath, clock, kProgramTitle, version);
    UpdateEngine engine(*transport, ui, clock, log, kProgramTitle, welcome);
    return ExitStatusFor(engine.RunUpdate());
}
