#include "tools/vpedrive/validate_checks.h"

namespace Corvinex {
namespace Vpedrive {

const std::vector<CheckInfo>& CheckCatalogue() {
    static const std::vector<CheckInfo> catalogue(Check::kCheckCatalogue,
                                                  Check::kCheckCatalogue + Check::kCheckCount);
    return catalogue;
}

const CheckInfo* FindCheck(const std::wstring& name) {
    const int index = Check::FindCheck(name.c_str());
    return index < 0 ? nullptr : &Check::kCheckCatalogue[index];
}

} // namespace Vpedrive
} // namespace Corvinex
