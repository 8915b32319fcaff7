#include "check/check_status.h"

#include <wchar.h>

namespace Corvinex {
namespace Check {

namespace {

struct StatusName {
    CheckStatus status;
    const wchar_t* word;
};

const StatusName kStatusNames[] = {
    {CheckStatus::Passed, L"passed"},      {CheckStatus::Failed, L"failed"},
    {CheckStatus::Warning, L"warning"},    {CheckStatus::Skipped, L"skipped"},
    {CheckStatus::TimedOut, L"timed out"}, {CheckStatus::Crashed, L"crashed"},
};

} // namespace

const wchar_t* StatusWord(CheckStatus status) {
    for (const StatusName& name : kStatusNames) {
        if (name.status == status)
            return name.word;
    }
    return L"failed";
}

bool ParseStatusWord(const wchar_t* word, CheckStatus* status) {
    for (const StatusName& name : kStatusNames) {
        if (wcscmp(word, name.word) == 0) {
            *status = name.status;
            return true;
        }
    }
    return false;
}

} // namespace Check
} // namespace Corvinex
