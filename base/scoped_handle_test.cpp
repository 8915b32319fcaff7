#include "base/scoped_handle.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using Corvinex::CKernelHandle;
using Corvinex::CScopedHandle;

namespace {

std::vector<void*> g_closed;
bool g_closeSucceeds = true;

bool RecordClose(void* handle) {
    g_closed.push_back(handle);
    return g_closeSucceeds;
}

typedef CScopedHandle<void*, RecordClose> CRecorded;

void* Fake(int n) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(n));
}

class ScopedHandle : public ::testing::Test {
protected:
    void SetUp() override {
        g_closed.clear();
        g_closeSucceeds = true;
    }
};

} // namespace

TEST_F(ScopedHandle, ClosesItsHandleOnceWhenDestroyed) {
    { CRecorded handle(Fake(10)); }
    EXPECT_EQ(std::vector<void*>{Fake(10)}, g_closed);
}

TEST_F(ScopedHandle, NeverClosesNullOrTheInvalidValue) {
    {
        CRecorded none;
        CRecorded null(nullptr);
        CRecorded invalid(INVALID_HANDLE_VALUE);
        EXPECT_FALSE(invalid.IsOpen());
        EXPECT_TRUE(invalid.Close());
    }
    EXPECT_TRUE(g_closed.empty());
}

TEST_F(ScopedHandle, MoveHandsTheHandleOverAndEmptiesTheSource) {
    CRecorded first(Fake(1));
    CRecorded second(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(Fake(1), second.Get());

    CRecorded third(Fake(3));
    third = std::move(second);
    EXPECT_EQ(std::vector<void*>{Fake(3)}, g_closed);
    EXPECT_EQ(Fake(1), third.Get());
    EXPECT_FALSE(second.IsOpen());
}

TEST_F(ScopedHandle, CloseReportsTheClosingFunctionsFailureAndHoldsNone) {
    CRecorded handle(Fake(5));
    g_closeSucceeds = false;
    EXPECT_FALSE(handle.Close());
    EXPECT_FALSE(handle.IsOpen());
    EXPECT_TRUE(handle.Close());
    EXPECT_EQ(1u, g_closed.size());
}

TEST_F(ScopedHandle, ReceiveClosesTheOldHandleAndAttachTakesTheNew) {
    CRecorded handle(Fake(7));
    *handle.Receive() = Fake(8);
    EXPECT_EQ(std::vector<void*>{Fake(7)}, g_closed);
    handle.Attach(Fake(9));
    EXPECT_EQ((std::vector<void*>{Fake(7), Fake(8)}), g_closed);
    EXPECT_EQ(Fake(9), handle.Release());
    EXPECT_FALSE(handle.IsOpen());
    EXPECT_EQ(2u, g_closed.size());
}

TEST_F(ScopedHandle, KernelHandleClosesARealEvent) {
    CKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.IsOpen());
    HANDLE raw = event.Get();
    EXPECT_TRUE(event.Close());
    // The handle is gone: the system no longer knows it.
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
}
