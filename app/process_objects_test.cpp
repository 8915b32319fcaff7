#include "testsupport/probe_process.h"

#include <gtest/gtest.h>

TEST(ProcessObjects, ExistBeforeTheEntryPointInTheirStartupOrder) {
    // Bits: 1 wrong number of start-up objects, 2 wrong order, 4 no process-wide developer
    // settings, 8 no console holder.
    EXPECT_EQ(0u, VpeTest::RunProbe(L"startup_probe.exe"));
}
