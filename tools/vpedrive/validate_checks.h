// The checks of vpedrive validate: their names, levels and meanings, and running one of them
// in the current process (the child the runner starts for each check, or --in-process).
#pragma once

#include "tools/vpedrive/validate_options.h"

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

struct CheckInfo {
    const wchar_t* name;
    int level;              // runs at this strictness and above
    const wchar_t* meaning; // one sentence for --list and the reports
};

// Every check, in the order a run without --shuffle takes them.
const std::vector<CheckInfo>& CheckCatalogue();
// The check of that name, or null.
const CheckInfo* FindCheck(const std::wstring& name);

// Runs options.check against options.engine in this process and prints its report lines
// ("detail ...", "crash ...", "status <word>") to the standard output. Returns the status
// number (CheckStatus) as the exit code. A crash or a hang ends the process from inside with
// the crashed or timed-out status.
int RunValidateCheck(const ValidateOptions& options);

} // namespace Vpedrive
} // namespace Corvinex
