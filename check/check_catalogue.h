// The checks of an engine validation: their names, levels and meanings. One plain table that
// vpedrive (listing, planning, reports) and vpecheck.exe (running) both read.
#pragma once

namespace Corvinex {
namespace Check {

struct CheckInfo {
    const wchar_t* name;
    int level;              // runs at this strictness and above
    const wchar_t* meaning; // one sentence for --list and the reports
};

// Every check, in the order a run without --shuffle takes them.
const int kCheckCount = 11;
extern const CheckInfo kCheckCatalogue[kCheckCount];

// The index of the check of that name in kCheckCatalogue, or -1.
int FindCheck(const wchar_t* name);

} // namespace Check
} // namespace Corvinex
