// The checks of vpedrive validate as the runner and the reports see them: the helper's
// catalogue (check/check_catalogue.h) as a list.
#pragma once

#include "check/check_catalogue.h"

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

using Check::CheckInfo;

// Every check, in the order a run without --shuffle takes them.
const std::vector<CheckInfo>& CheckCatalogue();

} // namespace Vpedrive
} // namespace Corvinex
