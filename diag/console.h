// CConsole: the process console, open while at least one holder lives.
#pragma once

namespace Corvinex {

class CConsole {
public:
    // The first live holder allocates a console for the process and reopens the C runtime's
    // standard output onto it ("CONOUT$", append mode). Failures are not detected: output is
    // then lost.
    CConsole();
    // The last holder to go releases the console.
    ~CConsole();
    CConsole(const CConsole&) = delete;
    CConsole& operator=(const CConsole&) = delete;

    // Live holders in the process.
    static int GetHolderCount();
};

} // namespace Corvinex
