// vpedrive validate: choosing and ordering the checks, running each in a helper process of
// its own (vpecheck.exe), collecting what it reports, and printing the reports.
#pragma once

#include "tools/vpedrive/console_output.h"
#include "tools/vpedrive/validate_checks.h"
#include "tools/vpedrive/validate_options.h"
#include "tools/vpedrive/validate_result.h"

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

// The whole command, from the arguments after the program name (`self` is vpedrive.exe's own
// path: the vpecheck.exe of the engine's ABI, or of --abi, found from its folder as doctor
// finds it, is started for each check). Returns the exit status.
int RunValidate(const std::vector<std::wstring>& args, const std::wstring& self, COutput& out,
                COutput& err);

} // namespace Vpedrive
} // namespace Corvinex
