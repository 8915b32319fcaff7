#include "tools/vpedrive/validate_checks.h"

namespace Corvinex {
namespace Vpedrive {

const std::vector<CheckInfo>& CheckCatalogue() {
    static const std::vector<CheckInfo> catalogue(Check::kCheckCatalogue,
                                                  Check::kCheckCatalogue + Check::kCheckCount);
    return catalogue;
}

} // namespace Vpedrive
} // namespace Corvinex
