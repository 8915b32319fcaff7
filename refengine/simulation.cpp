#include "refengine/simulation.h"

namespace Corvinex {
namespace VeilpathEngine {

bool PauseUnlessStopped(HANDLE hStop, int ms) {
    DWORD wait = ms > 0 ? static_cast<DWORD>(ms) : 0;
    if (hStop == nullptr) {
        Sleep(wait);
        return true;
    }
    return WaitForSingleObject(hStop, wait) != WAIT_OBJECT_0;
}

} // namespace VeilpathEngine
} // namespace Corvinex
