// The console of a GUI program, observed through a probe program that uses CConsole as
// vpetest.exe does (a test program's own standard output belongs to ctest).
#include "testsupport/probe_process.h"

#include <gtest/gtest.h>

TEST(Console, HoldersOpenTheConsoleShowStandardOutputAndTheLastOneClosesIt) {
    // Bits: 1, 2 wrong holder counts; 4 no console window; 8 printed text not on the console
    // screen; 16 console still open after the last holder went.
    EXPECT_EQ(0u, VpeTest::RunProbe(L"console_probe.exe"));
}
