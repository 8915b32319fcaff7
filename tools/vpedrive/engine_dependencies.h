// The libraries an engine brings along from its own folder.
#pragma once

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// The libraries among `engine`'s imports (and theirs) that lie beside it, as full paths, so a
// run can copy them with the engine. Libraries that cannot be read are skipped.
std::vector<std::wstring> LocalDependencies(const std::wstring& engine);

} // namespace Vpedrive
} // namespace Corvinex
