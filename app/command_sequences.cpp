#include "app/command_sequences.h"

#include "app/report.h"
#include "diag/internal_message.h"
#include "engine/engine_binding.h"
#include "engine/surf_check.h"

namespace Corvinex {

namespace {

// An engine operation run by an installation command on an engine of its own binding.
typedef CWideString (*InstallStep)(VeilpathEngine::IVeilpathEngine* engine, int* result);

int RunWithOwnBinding(const wchar_t* marker, InstallStep step) {
    ShowText(marker);
    VeilpathEngine::CEngineVeilpathDLLAPI binding;
    int err = binding.Init();
    ShowText(FormatString(L"Init returned %i", err));
    if (err != kBindDone) {
        return err;
    }
    int result = 0;
    ShowText(step(binding.pVeilpathEngine, &result));
    return result;
}

CWideString InstallStepBody(VeilpathEngine::IVeilpathEngine* engine, int* result) {
    *result = engine->Install();
    return FormatString(L"Install returned %i", *result);
}

CWideString UninstallStepBody(VeilpathEngine::IVeilpathEngine* engine, int* result) {
    *result = engine->Uninstall();
    return FormatString(L"Uninstall returned %i", *result);
}

CWideString IsInstalledStepBody(VeilpathEngine::IVeilpathEngine* engine, int* result) {
    *result = 0;
    return FormatString(L"IsInstalled returned %s", TruthText(engine->IsInstalled()));
}

} // namespace

int RunTestSequence(VeilpathEngine::IVeilpathEngine* engine) {
    engine->Update();
    ShowText(FormatString(L"Start returned %i", engine->Start()));
    LaunchSurfCheck(engine);
    ShowText(L"Want to stop the engine?");
    ShowText(FormatString(L"Stop returned %i", engine->Stop()));
    LaunchSurfCheck(engine);
    return 0;
}

int RunUpdateTest(VeilpathEngine::IVeilpathEngine* engine) {
    ShowText(L"Corvinex::VeilpathEngine::VeilpathEngine_Update BEGIN");
    engine->Update();
    ShowText(L"Corvinex::VeilpathEngine::VeilpathEngine_Update END");
    return 0;
}

int InstallEngine() {
    return RunWithOwnBinding(L"Corvinex::VeilpathEngine::VeilpathEngine_Install", &InstallStepBody);
}

int UninstallEngine() {
    return RunWithOwnBinding(L"Corvinex::VeilpathEngine::VeilpathEngine_Uninstall",
                             &UninstallStepBody);
}

int QueryInstalled() {
    return RunWithOwnBinding(L"Corvinex::VeilpathEngine::VeilpathEngine_IsInstalled",
                             &IsInstalledStepBody);
}

} // namespace Corvinex
