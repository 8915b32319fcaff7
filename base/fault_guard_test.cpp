#include "base/fault_guard.h"

#include <gtest/gtest.h>

#include <windows.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif

#include <stdexcept>

using Corvinex::RunGuarded;

namespace {

int* volatile g_nowhere = nullptr;

void WriteThroughNull(void*) {
    *g_nowhere = 7;
}

void CountUp(void* context) {
    ++*static_cast<int*>(context);
}

void RaiseCustom(void*) {
    RaiseException(0xE0564545u, 0, 0, nullptr);
}

void ThrowLanguageException(void*) {
    throw std::runtime_error("thrown inside");
}

void DivideByZero(void* context) {
    volatile int zero = *static_cast<int*>(context);
    volatile int result = 10 / zero;
    (void)result;
}

struct Nested {
    bool innerCompleted = true;
    int afterInner = 0;
};

void FaultInsideInnerGuard(void* context) {
    Nested* nested = static_cast<Nested*>(context);
    nested->innerCompleted = RunGuarded(&WriteThroughNull, nullptr);
    nested->afterInner = 1;
}

#if defined(_M_IX86) || defined(__i386__)
// The head of the thread's exception handler chain (fs:[0] on x86; x64 has no such chain).
void* HandlerChainHead() {
#if defined(_MSC_VER)
    return reinterpret_cast<void*>(__readfsdword(0));
#else
    void* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
#endif
}
#endif

} // namespace

TEST(FaultGuard, NormalCallRunsAndReportsCompletion) {
    int count = 0;
    EXPECT_TRUE(RunGuarded(&CountUp, &count));
    EXPECT_EQ(1, count);
}

TEST(FaultGuard, NullDereferenceIsInterceptedAndTheProcessCarriesOn) {
    EXPECT_FALSE(RunGuarded(&WriteThroughNull, nullptr));
    // The thread is usable afterwards, and a second fault is intercepted just the same.
    EXPECT_FALSE(RunGuarded(&WriteThroughNull, nullptr));
    int count = 0;
    EXPECT_TRUE(RunGuarded(&CountUp, &count));
    EXPECT_EQ(1, count);
}

#if defined(_M_IX86) || defined(__i386__)
TEST(FaultGuard, HandlerChainIsRestoredAfterFaultAndAfterSuccess) {
    void* before = HandlerChainHead();
    EXPECT_FALSE(RunGuarded(&WriteThroughNull, nullptr));
    EXPECT_EQ(before, HandlerChainHead());
    int count = 0;
    EXPECT_TRUE(RunGuarded(&CountUp, &count));
    EXPECT_EQ(before, HandlerChainHead());
}
#endif

TEST(FaultGuard, RaisedExceptionsOfAnyCodeAreInterceptedWithTheirCode) {
    unsigned long code = 1;
    EXPECT_FALSE(RunGuarded(&RaiseCustom, nullptr, &code));
    EXPECT_EQ(0xE0564545ul, code);
    int zero = 0;
    EXPECT_FALSE(RunGuarded(&DivideByZero, &zero, &code));
    // EXCEPTION_INT_DIVIDE_BY_ZERO natively; under qemu's emulation Wine reports a floating
    // point code for the same trap.
    EXPECT_GE(code, 0xC0000000ul);
    int one = 1;
    EXPECT_TRUE(RunGuarded(&DivideByZero, &one, &code));
    EXPECT_EQ(0ul, code);
}

TEST(FaultGuard, LanguageExceptionEndsTheCallAsFailureWithoutACode) {
    unsigned long code = 1;
    EXPECT_FALSE(RunGuarded(&ThrowLanguageException, nullptr, &code));
    EXPECT_EQ(0ul, code);
}

TEST(FaultGuard, InnermostGuardHandlesTheFaultFirst) {
    Nested nested;
    EXPECT_TRUE(RunGuarded(&FaultInsideInnerGuard, &nested));
    EXPECT_FALSE(nested.innerCompleted);
    EXPECT_EQ(1, nested.afterInner);
}

// A fault that nobody intercepts ends the process: this proves the guard is what saves the
// other tests, not something around them.
TEST(FaultGuardDeathTest, UnguardedFaultEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(WriteThroughNull(nullptr), "");
}
