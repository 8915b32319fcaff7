// Where the reference engine keeps its installation and its logs.
//
// The engine's folder is "<Program Files>\Veilpath Engine\" with the logs in its "log\" folder,
// the place where vpetest.exe's fake-check mode appends its check log. The environment variable
// VPE_ENGINE_HOME, when set and not empty, names another folder instead (tests use it so they
// do not depend on the machine's Program Files). It is read on every call.
#pragma once

#include "base/wide_string.h"

namespace Corvinex {
namespace VeilpathEngine {

// The Program Files folder with a trailing backslash: the registry value ProgramFilesDir (what
// the shell reports too), or the shell's folder (CSIDL 38) without it; empty when neither.
CWideString GetProgramFilesFolder();

// The engine's folder with a trailing backslash (see above); empty when it cannot be found.
CWideString GetEngineHome();

// The log folder, the install marker and the two logs inside the engine's folder; empty when
// the engine's folder cannot be found.
CWideString GetLogFolder();
CWideString GetInstallMarkerPath();
CWideString GetCheckLogPath();
CWideString GetUpdateLogPath();

} // namespace VeilpathEngine
} // namespace Corvinex
