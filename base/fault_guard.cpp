#include "base/fault_guard.h"

#include <windows.h>

namespace Corvinex {

namespace {

// C++ exceptions of this compiler do not travel as structured exceptions; they are stopped here.
void CallCatchingLanguageExceptions(GuardedFunc fn, void* context, volatile bool* completed) {
    try {
        fn(context);
        *completed = true;
    } catch (...) {
        *completed = false;
    }
}

} // namespace

#if defined(_MSC_VER)

namespace {

int RecordCode(unsigned long code, volatile unsigned long* recorded) {
    *recorded = code;
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

bool RunGuarded(GuardedFunc fn, void* context, unsigned long* exceptionCode) {
    volatile bool completed = false;
    volatile unsigned long code = 0;
    __try {
        CallCatchingLanguageExceptions(fn, context, &completed);
    } __except (RecordCode(_exception_code(), &code)) {
        completed = false;
    }
    if (exceptionCode != nullptr) {
        *exceptionCode = code;
    }
    return completed;
}

#else

namespace {

// GCC has no __try: an exception registration of our own is pushed onto the thread's handler
// chain (fs:[0]), so handlers registered by the code inside (the loader's among them) see the
// exception first, exactly as with __except. The record must live on the stack.
struct GuardFrame {
    EXCEPTION_REGISTRATION_RECORD registration;
    void* jumpBuffer[5];
    unsigned long code;
};

EXCEPTION_DISPOSITION NTAPI GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT*,
                                         void*) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
        return ExceptionContinueSearch;
    }
    // Kept in memory: the x86 RtlUnwind of some Windows versions does not preserve ebx, esi, edi.
    GuardFrame* volatile guard = static_cast<GuardFrame*>(establisherFrame);
    guard->code = record->ExceptionCode;
    // Let the inner frames run their unwind handlers and drop them from the chain; afterwards
    // our frame is the head of the chain again.
    RtlUnwind(establisherFrame, nullptr, record, nullptr);
    __builtin_longjmp(guard->jumpBuffer, 1);
}

// The head of the thread's handler chain lives at fs:[0] on x86. Read directly: the header's
// NtCurrentTeb trips GCC's array-bounds check.
EXCEPTION_REGISTRATION_RECORD* ChainHead() {
    EXCEPTION_REGISTRATION_RECORD* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(EXCEPTION_REGISTRATION_RECORD* head) {
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

} // namespace

bool RunGuarded(GuardedFunc fn, void* context, unsigned long* exceptionCode) {
    GuardFrame frame;
    frame.code = 0;
    volatile bool completed = false;
    frame.registration.Next = ChainHead();
    frame.registration.Handler = &GuardHandler;
    if (__builtin_setjmp(frame.jumpBuffer) == 0) {
        SetChainHead(&frame.registration);
        CallCatchingLanguageExceptions(fn, context, &completed);
    } else {
        completed = false;
    }
    SetChainHead(frame.registration.Next);
    if (exceptionCode != nullptr) {
        *exceptionCode = frame.code;
    }
    return completed;
}

#endif

} // namespace Corvinex
