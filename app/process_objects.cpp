// The process-wide objects of vpetest.exe. C++ orders the initialisation of objects with static
// storage only within one translation unit, so all of them are defined here, in their start-up
// order: the value stream's class registry, the developer settings, the console. They are
// destroyed in reverse order at exit.
#include "app/process_objects.h"

#include "config/class_registry.h"
#include "config/developer_config.h"
#include "diag/console.h"

namespace Corvinex {

namespace {

int g_startupOrder[3];
int g_startupCount = 0;

void RecordStartup(StartupObject object) {
    if (g_startupCount < 3) {
        g_startupOrder[g_startupCount++] = object;
    }
}

// The value stream's class registry; including its header already guarantees it is built before
// this file's objects and ended after them.
class ProcessClassRegistry {
public:
    ProcessClassRegistry() {
        ClassRegistry();
        RecordStartup(kStartupClassRegistry);
    }
};

// The developer settings that ShowInternalMessage asks, registered for the process's life.
class ProcessDeveloperConfig : public CDeveloperConfig {
public:
    ProcessDeveloperConfig() {
        SetProcessDeveloperConfig(this);
        RecordStartup(kStartupDeveloperSettings);
    }
    ~ProcessDeveloperConfig() override { SetProcessDeveloperConfig(nullptr); }
};

class ProcessConsole : public CConsole {
public:
    ProcessConsole() { RecordStartup(kStartupConsole); }
};

ProcessClassRegistry g_ClassRegistry;
ProcessDeveloperConfig g_DeveloperConfig;
ProcessConsole g_Console;

} // namespace

const int* GetStartupOrder(int* count) {
    *count = g_startupCount;
    return g_startupOrder;
}

} // namespace Corvinex
