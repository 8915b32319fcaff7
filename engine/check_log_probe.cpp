// Test helper: one whole fake check run with the pauses taken out, so a test can read what the
// run echoes to the standard output it hands this program.
#include "engine/check_log.h"
#include "engine/endpoint_check.h"

namespace {

void NoPause(int) {}

} // namespace

int main() {
    Corvinex::SetEndpointCheckPauseForTests(NoPause);
    Corvinex::WriteFakeCheckLog();
    return 0;
}
