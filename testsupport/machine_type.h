// The machine type (the PE header's Machine field) of the modules this build makes, and the other
// one this project builds for: x86 (i386, 0x014C) and x64 (AMD64, 0x8664).
#pragma once

#include <windows.h>

namespace VpeTest {

#if defined(_WIN64)
const WORD kThisMachine = IMAGE_FILE_MACHINE_AMD64;
const WORD kOtherBuiltMachine = IMAGE_FILE_MACHINE_I386;
#else
const WORD kThisMachine = IMAGE_FILE_MACHINE_I386;
const WORD kOtherBuiltMachine = IMAGE_FILE_MACHINE_AMD64;
#endif

} // namespace VpeTest
