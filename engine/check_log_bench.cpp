// How long one whole fake check run takes beside the 5517 ms of pauses it must contain. Writes
// to the real check log when its folder exists, as fake-check mode does. Argument: number of
// runs (default 1).
#include "engine/check_log.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const double kPauses = Corvinex::kFakeCheckPausesMs;
    int runs = argc > 1 ? std::atoi(argv[1]) : 1;
    if (runs < 1) {
        runs = 1;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        Corvinex::WriteFakeCheckLog();
        QueryPerformanceCounter(&end);
        double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart);
        std::printf("\nrun %d: %.1f ms wall, %.0f ms of pauses, ratio %.4f, overhead %.1f ms\n",
                    i + 1, ms, kPauses, ms / kPauses, ms - kPauses);
        // The line bench.sh collects: figure, value, baseline, ratio.
        std::printf("BENCH|fake-check run %d (wall vs its pauses)|%.1f ms|%.0f ms|%.4f\n", i + 1,
                    ms, kPauses, ms / kPauses);
        std::fflush(stdout);
    }
    return 0;
}
