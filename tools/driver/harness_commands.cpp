#include "tools/driver/harness_commands.h"

#include <cwctype>

namespace Corvinex {
namespace Driver {

const wchar_t kHarnessWindowClass[] = L"ENGINEVEILPATHTESTENV";
const wchar_t kHarnessInitialTitle[] = L"EngineVeilpathTestEnv";

namespace {

const HarnessCommand kCommands[] = {
    {L"Test", 32782},
    {L"Exit", 105},
    {L"IsInstalled", 32787},
    {L"Install", 32788},
    {L"Uninstall", 32790},
    {L"SurfCheck", 32816},
    {L"Start", 32811},
    {L"Stop", 32812},
    {L"IsEngineRunning", 32817},
    {L"Activate Anonymity", 32813},
    {L"Deactivate Anonymity", 32814},
    {L"Update Test", 32796},
    {L"UpdateStart", 32797},
    {L"UpdateStop", 32798},
    {L"IsUpdateRunning", 32799},
    {L"Analyse Update Log", 32801},
    {L"Check Test", 32792},
    {L"CheckStart", 32802},
    {L"CheckStop", 32804},
    {L"IsCheckRunning", 32803},
    {L"Analyse Check Log", 32806},
    {L"About", 104},
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
