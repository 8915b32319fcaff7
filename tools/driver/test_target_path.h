// Where the driver's tests find the window program they drive.
#pragma once

#include "testsupport/test_paths.h"

#include <string>

namespace VpeTest {

inline std::wstring TestTargetPath() {
    return ProgramFolder() + L"test_target.exe";
}

} // namespace VpeTest
