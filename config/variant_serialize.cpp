// CVariant::Serialize until the value stream joins the library: no stream exists yet that a
// value could be stored into, so every call answers failure. The value stream replaces this file.
#include "config/variant.h"

namespace Corvinex {

int32_t CVariant::Serialize(CDataContainer& container) {
    (void)container;
    return 1;
}

} // namespace Corvinex
