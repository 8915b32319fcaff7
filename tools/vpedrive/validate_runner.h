// vpedrive validate: choosing and ordering the checks, running each in a helper process of
// its own (vpecheck.exe), collecting what it reports, and handing it to the reports.
#pragma once

#include "tools/vpedrive/console_output.h"
#include "tools/vpedrive/validate_checks.h"
#include "tools/vpedrive/validate_result.h"
#include "tools/vpedrive/vpedrive_options.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// Exit statuses of validate: 0 nothing failed, crashed or timed out (with --strict: nor
// warned or skipped); 1 otherwise; 2 bad input or an engine that cannot be bound.
const int kValidateSuccess = 0;
const int kValidateFailure = 1;
const int kValidateBadInput = 2;

struct PlannedCheck {
    const CheckInfo* info;
    int round; // 1-based repetition
};

// The checks at or below the strictness that --only matches and --skip does not, once per
// repetition; with shuffle each repetition is put in an order drawn from the seed (the same
// order on every system for the same seed).
std::vector<PlannedCheck> PlanRun(const ValidateOptions& options, uint32_t seed);

// Reads a child's report (its UTF-8 output) into *result: its status line and details. When
// the child ended (`ended`) without a status line, its exit code decides: crashed for an
// exception code, failed otherwise; a child that ended before the check began (no
// kCheckBeganLine) is a helper that failed at its start (result->helperFailed).
void ReadChildReport(const std::string& output, bool ended, DWORD exitCode, CheckResult* result);

// The helper's command line for one check (check/helper_arguments.h): `check` with the engine,
// strictness, timeout and dump folder of the options and the check's own seed.
std::wstring HelperCheckArguments(const ValidateOptions& options, const std::wstring& check,
                                  uint32_t checkSeed);

// The whole command: plans the run (the library diagnosed first, as doctor does, then the checks
// chosen and ordered), runs each check in the vpecheck.exe of the engine's ABI (or of --abi) that
// a vpedrive.exe in `folder` finds, and hands every result to the reports the options ask for.
// Returns the exit status.
int RunValidate(const ValidateOptions& options, const std::wstring& folder, COutput& out,
                COutput& err);

} // namespace Vpedrive
} // namespace Corvinex
