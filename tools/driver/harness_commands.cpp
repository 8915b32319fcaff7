#include "tools/driver/harness_commands.h"

#include "res/resource.h"

#include <cwctype>

namespace Corvinex {
namespace Driver {

const wchar_t kHarnessWindowClass[] = VPETEST_WINDOW_CLASS;
const wchar_t kHarnessInitialTitle[] = VPETEST_WINDOW_TITLE;

namespace {

const HarnessCommand kCommands[] = {
    {L"Test", ID_FILE_TEST},
    {L"Exit", IDM_EXIT},
    {L"IsInstalled", ID_INSTALLATION_ISINSTALLED},
    {L"Install", ID_INSTALLATION_INSTALL},
    {L"Uninstall", ID_INSTALLATION_UNINSTALL},
    {L"SurfCheck", ID_ENGINE_SURFCHECK},
    {L"Start", ID_ENGINE_START},
    {L"Stop", ID_ENGINE_STOP},
    {L"IsEngineRunning", ID_ENGINE_ISENGINERUNNING},
    {L"Activate Anonymity", ID_ENGINE_ACTIVATEANONYMITY},
    {L"Deactivate Anonymity", ID_ENGINE_DEACTIVATEANONYMITY},
    {L"Update Test", ID_UPDATE_UPDATETEST},
    {L"UpdateStart", ID_UPDATE_UPDATESTART},
    {L"UpdateStop", ID_UPDATE_UPDATESTOP},
    {L"IsUpdateRunning", ID_UPDATE_ISUPDATERUNNING},
    {L"Analyse Update Log", ID_UPDATE_ANALYSEUPDATELOG},
    {L"Check Test", ID_CHECK_CHECKTEST},
    {L"CheckStart", ID_CHECK_CHECKSTART},
    {L"CheckStop", ID_CHECK_CHECKSTOP},
    {L"IsCheckRunning", ID_CHECK_ISCHECKRUNNING},
    {L"Analyse Check Log", ID_CHECK_ANALYSECHECKLOG},
    {L"About", IDM_ABOUT},
};

// Lower case ASCII letters and digits only: what is left of a name for comparing.
std::wstring Normalise(const std::wstring& text) {
    std::wstring key;
    for (wchar_t ch : text) {
        if (ch == L'&' || ch == L'.' || ch == L' ' || ch == L'\t')
            continue;
        if (ch >= L'A' && ch <= L'Z')
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
        key += ch;
    }
    return key;
}

} // namespace

const HarnessCommand* HarnessCommands(size_t* count) {
    *count = sizeof(kCommands) / sizeof(kCommands[0]);
    return kCommands;
}

bool FindHarnessCommand(const std::wstring& text, WORD* id) {
    if (!text.empty() && text.size() <= 5 &&
        text.find_first_not_of(L"0123456789") == std::wstring::npos) {
        unsigned long value = wcstoul(text.c_str(), nullptr, 10);
        if (value < 1 || value > 65535)
            return false;
        *id = static_cast<WORD>(value);
        return true;
    }
    const std::wstring key = Normalise(text);
    if (key.empty())
        return false;
    for (const HarnessCommand& command : kCommands) {
        if (Normalise(command.name) == key) {
            *id = command.id;
            return true;
        }
    }
    return false;
}

std::wstring HarnessCommandName(WORD id) {
    for (const HarnessCommand& command : kCommands) {
        if (command.id == id)
            return command.name;
    }
    return L"#" + std::to_wstring(id);
}

} // namespace Driver
} // namespace Corvinex
