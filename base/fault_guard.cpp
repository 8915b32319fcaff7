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

#elif defined(__x86_64__)

// GCC has no __try, and on x64 exception handlers are found through the unwind tables, not a
// chain on the stack: VpeGuardedCall (below) calls a function inside a frame whose unwind
// information names VpeGuardHandler as its handler, so handlers of the code inside (the
// loader's among them) see an exception first, exactly as with __except.
extern "C" {
int VpeGuardedCall(void (*call)(void*), void* context);
void VpeGuardedCallResume();

EXCEPTION_DISPOSITION VpeGuardHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT*,
                                      DISPATCHER_CONTEXT* dispatch) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
        return ExceptionContinueSearch;
    }
    // VpeGuardedCall keeps its context at 32(%rsp), above the callee's home area; the
    // establisher frame is its rsp after the prologue. The context begins with the code's slot.
    unsigned long* code =
        *reinterpret_cast<unsigned long**>(static_cast<char*>(establisherFrame) + 32);
    *code = record->ExceptionCode;
    // Let the inner frames run their unwind handlers, then go on at VpeGuardedCallResume in
    // VpeGuardedCall's frame with 0 in rax. A fresh unwind record (no record passed): GCC's
    // frames inside would take a C++ throw's own record for an unwind of their own and never end.
    RtlUnwindEx(establisherFrame, reinterpret_cast<void*>(&VpeGuardedCallResume), nullptr, nullptr,
                dispatch->ContextRecord, dispatch->HistoryTable);
    return ExceptionContinueSearch;
}
}

// VpeGuardedCall(call, context): calls call(context); 1 when it returned, 0 when an exception
// left it. 40 bytes of stack: the callee's 32-byte home area, and at 32(%rsp) the context for
// the handler (which also keeps rsp aligned to 16 at the call).
__asm__(".text\n"
        ".globl VpeGuardedCall\n"
        ".def VpeGuardedCall; .scl 2; .type 32; .endef\n"
        ".seh_proc VpeGuardedCall\n"
        "VpeGuardedCall:\n"
        "    subq $40, %rsp\n"
        "    .seh_stackalloc 40\n"
        "    .seh_endprologue\n"
        "    movq %rdx, 32(%rsp)\n"
        "    movq %rcx, %rax\n"
        "    movq %rdx, %rcx\n"
        "    call *%rax\n"
        "    movl $1, %eax\n"
        ".globl VpeGuardedCallResume\n"
        "VpeGuardedCallResume:\n"
        "    addq $40, %rsp\n"
        "    ret\n"
        "    .seh_handler VpeGuardHandler, @except\n"
        "    .seh_endproc\n");

namespace {

// The handler writes the exception's code into the first member.
struct GuardedCall {
    unsigned long code;
    GuardedFunc fn;
    void* context;
    volatile bool* completed;
};

void CallInsideTheGuard(void* argument) {
    GuardedCall* call = static_cast<GuardedCall*>(argument);
    CallCatchingLanguageExceptions(call->fn, call->context, call->completed);
}

} // namespace

bool RunGuarded(GuardedFunc fn, void* context, unsigned long* exceptionCode) {
    volatile bool completed = false;
    GuardedCall call = {0, fn, context, &completed};
    if (VpeGuardedCall(&CallInsideTheGuard, &call) == 0) {
        completed = false;
    }
    if (exceptionCode != nullptr) {
        *exceptionCode = call.code;
    }
    return completed;
}

#else // GCC on x86

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
