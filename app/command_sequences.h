// The scripted command sequences of the main menu. Every step reports through
// ShowInternalMessage with the format "%s" and one finished text.
#pragma once

#include "engine/engine_interface.h"

namespace Corvinex {

// File > Test: Update, Start (reported), surf check, a pause box, Stop (reported), surf check.
// Returns 0.
int RunTestSequence(VeilpathEngine::IVeilpathEngine* engine);

// Update > Update Test: the engine's Update between a BEGIN and an END message. Returns 0.
int RunUpdateTest(VeilpathEngine::IVeilpathEngine* engine);

// The installation commands bind the engine library anew for their own duration and release it
// at the end. Each returns the Init code when that is non-zero, otherwise the operation's result
// (QueryInstalled: 0).
int InstallEngine();
int UninstallEngine();
int QueryInstalled();

} // namespace Corvinex
