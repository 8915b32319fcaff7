#include "tools/vpedrive/validate_result.h"

namespace Corvinex {
namespace Vpedrive {

bool IsFailure(CheckStatus status) {
    return status == CheckStatus::Failed || status == CheckStatus::Crashed ||
           status == CheckStatus::TimedOut;
}

bool IsLenient(CheckStatus status) {
    return status == CheckStatus::Warning || status == CheckStatus::Skipped;
}

bool FailsRun(CheckStatus status, bool strict) {
    return IsFailure(status) || (strict && IsLenient(status));
}

RunSummary Summarize(const std::vector<CheckResult>& results, bool strict) {
    RunSummary summary;
    for (const CheckResult& result : results) {
        ++summary.counts[static_cast<int>(result.status)];
        ++summary.total;
        summary.seconds += result.seconds;
        if (FailsRun(result.status, strict))
            summary.success = false;
    }
    return summary;
}

} // namespace Vpedrive
} // namespace Corvinex
