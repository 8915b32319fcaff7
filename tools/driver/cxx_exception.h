// The C++ exception that ended a program, as its runtime shows it from outside: the line a
// GCC-ABI runtime prints before abort(), or the exception an MSVC-ABI runtime raises for a throw.
#pragma once

#include <windows.h>

#include <string>

namespace Corvinex {
namespace Driver {

// The exception code of every throw in the MSVC ABI ("msc" in ASCII behind 0xE0).
const DWORD kMsvcCxxExceptionCode = 0xE06D7363u;

// The exit code abort() gives a process (the C runtimes of both ABIs).
const DWORD kAbortExitCode = 3;

// Looks through a program's output for the line a GCC-ABI runtime prints when an exception ends
// it ("terminate called after throwing an instance of 'T'", or "terminate called without an
// active exception"). True when there is one; *type is then T, or empty when none was named.
bool FindTerminateLine(const std::string& output, std::string* type);

// Reads the thrown type of an MSVC-ABI C++ exception raised in `process` (its handle needs
// PROCESS_VM_READ): the record's throw information names it, for example "std::runtime_error".
// An x86 throw holds pointers; an x64 one (four parameters, the fourth the image base of the
// module that threw) holds offsets from that base, and is read only where this process can
// address that image. False when the record is no such exception; true with *type empty when it
// is one whose type cannot be read.
bool ReadMsvcThrownType(HANDLE process, const EXCEPTION_RECORD& record, std::wstring* type);

// "std::runtime_error" for the MSVC type descriptor name ".?AVruntime_error@std@@"; a name this
// reading does not cover (templates, non-class types) is given back as it is.
std::wstring ReadableMsvcTypeName(const std::string& decorated);

} // namespace Driver
} // namespace Corvinex
