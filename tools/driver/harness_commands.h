// The harness's window and menu commands by name: "Install", "Analyse Check Log", ...
#pragma once

#include <windows.h>

#include <string>

namespace Corvinex {
namespace Driver {

// Class and initial title of the harness's main window.
extern const wchar_t kHarnessWindowClass[];
extern const wchar_t kHarnessInitialTitle[];

// One menu command: its name as the menu shows it (ampersands removed) and its id.
struct HarnessCommand {
    const wchar_t* name;
    WORD id;
};

// The menu's commands in menu order; count in *count.
const HarnessCommand* HarnessCommands(size_t* count);

// Finds the command a user typed: a menu name compared case-insensitively with ampersands,
// dots and blanks ignored ("analyse check log", "&About ...", "ANALYSECHECKLOG"), or a decimal
// id from 1 to 65535. False, with *id untouched, for anything else.
bool FindHarnessCommand(const std::wstring& text, WORD* id);

// The menu name of the id, or "#<id>" for an id that is not on the menu.
std::wstring HarnessCommandName(WORD id);

} // namespace Driver
} // namespace Corvinex
