// What the harness is busy with, from the lines it sends to its debugger (diag/call_trace.h).
#pragma once

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

class CHarnessActivity {
public:
    // Takes the harness's debug-output lines in order; lines of other senders are ignored.
    void Feed(const std::vector<std::wstring>& lines);

    // True while a status update has begun and not ended (the innermost activity).
    bool InStatusUpdate() const;
    // The status query last begun in the open status update; empty when none is open or it has
    // not called the engine yet.
    std::wstring StatusQuery() const;
    // The command id of the innermost open command; -1 when none is open.
    int OpenCommand() const;
    // True once any trace line arrived (the harness announces its calls).
    bool Traced() const { return m_traced; }

private:
    struct Frame {
        bool status = false;
        int command = -1;
        std::wstring lastCall;
    };
    std::vector<Frame> m_open;
    bool m_traced = false;
};

} // namespace Vpedrive
} // namespace Corvinex
