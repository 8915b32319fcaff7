#include "base/global_heap.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

using namespace Corvinex;

namespace {

bool Refuse(size_t, void*) {
    return false;
}

} // namespace

TEST(GlobalHeap, BlockForCopyIsAWholeReleasableBlock) {
    const size_t n = 100000;
    auto* block = static_cast<unsigned char*>(AllocGlobalBlockForCopy(n));
    ASSERT_NE(nullptr, block);
    EXPECT_GE(GlobalSize(GlobalHandle(block)), n);
    memset(block, 0xAB, n);
    EXPECT_EQ(0xAB, block[n - 1]);
    EXPECT_EQ(nullptr, FreeGlobalBlock(block));
    EXPECT_EQ(nullptr, AllocGlobalBlockForCopy(0));
}

TEST(GlobalHeap, HooksRefuseBlocksForCopyToo) {
    GlobalHeapHooks hooks = {nullptr, &Refuse, nullptr};
    SetGlobalHeapHooks(&hooks);
    void* forCopy = AllocGlobalBlockForCopy(16);
    void* zeroed = AllocGlobalBlock(16);
    SetGlobalHeapHooks(nullptr);
    EXPECT_EQ(nullptr, forCopy);
    EXPECT_EQ(nullptr, zeroed);
}

// The ordinary block stays zero-filled, also where the heap hands back memory a copy used.
TEST(GlobalHeap, OrdinaryBlocksStayZeroFilled) {
    for (int round = 0; round < 8; ++round) {
        const size_t n = 4096;
        void* used = AllocGlobalBlockForCopy(n);
        ASSERT_NE(nullptr, used);
        memset(used, 0xCD, n);
        FreeGlobalBlock(used);
        auto* block = static_cast<unsigned char*>(AllocGlobalBlock(n));
        ASSERT_NE(nullptr, block);
        for (size_t i = 0; i < n; ++i) {
            ASSERT_EQ(0, block[i]) << "byte " << i;
        }
        FreeGlobalBlock(block);
    }
}
