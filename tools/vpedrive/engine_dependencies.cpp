#include "tools/vpedrive/engine_dependencies.h"

#include "tools/driver/scratch_folder.h"
#include "tools/vpedrive/pe_image.h"

#include <windows.h>

#include <set>

namespace Corvinex {
namespace Vpedrive {

std::vector<std::wstring> LocalDependencies(const std::wstring& engine) {
    std::vector<std::wstring> found;
    std::set<std::wstring> seen;
    std::vector<std::wstring> pending = {engine};
    const std::wstring folder = Driver::FolderOf(engine);
    while (!pending.empty()) {
        std::wstring library = pending.back();
        pending.pop_back();
        PeImage image;
        if (ReadPeImage(library, &image) != PeReadResult::Ok)
            continue;
        for (const std::string& import : image.imports) {
            std::wstring name(import.begin(), import.end());
            std::wstring key = name;
            CharLowerW(&key[0]);
            std::wstring path = folder + name;
            if (seen.count(key) != 0 || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
                continue;
            seen.insert(key);
            found.push_back(path);
            pending.push_back(path);
        }
    }
    return found;
}

} // namespace Vpedrive
} // namespace Corvinex
