#include "tools/vpedrive/validate_result.h"

namespace Corvinex {
namespace Vpedrive {

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
