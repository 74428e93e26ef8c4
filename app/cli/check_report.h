#pragma once
// How brevant-update shows the read-only check: lines for a person, and the one JSON
// object of --json for a check and for a whole run (the check before and after it).

#include <iosfwd>
#include <string>

#include "update/update_check.h"

namespace brevant {

// Exit status of --check: 0 nothing to update, 1 no writer, no answer or the writer stopped
// answering during the check, 3 the run would not update (machine type refused, a file
// open), 4 the run would update something.
inline constexpr int kExitCheckWouldUpdate = 4;
int CheckExitStatus(const CheckReport& report);

void PrintCheckReport(std::ostream& out, const CheckReport& report);

// {"mode":"check", "writer":{...}, "components":[{"name":..., "before":{...}}], "result":..., "exitStatus":N}
std::string CheckJson(const CheckReport& report, int exitStatus);

// {"mode":"update", "writer":{...}, "components":[{"name":..., "before":{...}, "after":{...}}],
//  "result":"updated"|"failed"|"not-updated", "exitStatus":N}
std::string RunJson(const CheckReport& before, const CheckReport& after, const char* result, int exitStatus);

}  // namespace brevant
