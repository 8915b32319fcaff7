// Runs a function so that a processor fault or any other structured exception that it does not
// handle itself ends the call instead of the process, like
// __try/__except(EXCEPTION_EXECUTE_HANDLER).
#pragma once

namespace Corvinex {

typedef void (*GuardedFunc)(void* context);

// Calls fn(context). True when it returned normally; false when an exception left it: inner
// handlers have run their unwinding, the rest of fn was abandoned, and the caller carries on.
// Whatever fn was doing when it faulted stays half done (for a library load: the loader's state is
// whatever the system leaves after unwinding). *exceptionCode (when given) receives the code of
// the structured exception that left fn, 0 when fn returned or a C++ exception of this
// compiler left it.
bool RunGuarded(GuardedFunc fn, void* context, unsigned long* exceptionCode = nullptr);

} // namespace Corvinex
