#include "tools/vpedrive/validate_result.h"

namespace Corvinex {
namespace Vpedrive {

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

bool ParseStatusWord(const std::wstring& word, CheckStatus* status) {
    for (const StatusName& name : kStatusNames) {
        if (word == name.word) {
            *status = name.status;
            return true;
        }
    }
    return false;
}

bool IsFailure(CheckStatus status) {
    return status == CheckStatus::Failed || status == CheckStatus::Crashed ||
           status == CheckStatus::TimedOut;
}

RunSummary Summarize(const std::vector<CheckResult>& results, bool strict) {
    RunSummary summary;
    for (const CheckResult& result : results) {
        ++summary.counts[static_cast<int>(result.status)];
        ++summary.total;
        summary.seconds += result.seconds;
        const bool lenient =
            result.status == CheckStatus::Warning || result.status == CheckStatus::Skipped;
        if (IsFailure(result.status) || (strict && lenient))
            summary.success = false;
    }
    return summary;
}

} // namespace Vpedrive
} // namespace Corvinex
