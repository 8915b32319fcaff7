// Test helper: a GUI program with vpetest.exe's start-up objects. Reports through its exit code
// whether they were constructed, in their order, before the entry point ran.
#include "app/process_objects.h"
#include "config/developer_config.h"
#include "diag/console.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int failures = 0;
    int count = 0;
    const int* order = Corvinex::GetStartupOrder(&count);
    const int expected[] = {Corvinex::kStartupClassRegistry, Corvinex::kStartupDeveloperSettings,
                            Corvinex::kStartupConsole};
    if (count != 3) {
        failures |= 1;
    } else {
        for (int i = 0; i < count; ++i) {
            if (order[i] != expected[i]) {
                failures |= 2;
            }
        }
    }
    if (Corvinex::GetProcessDeveloperConfig() == nullptr) {
        failures |= 4;
    }
    if (Corvinex::CConsole::GetHolderCount() != 1) {
        failures |= 8;
    }
    return failures;
}
