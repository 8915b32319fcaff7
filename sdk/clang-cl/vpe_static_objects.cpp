// The static objects of a module of the MSVC-ABI build: its constructors (the compiler lists them
// between .CRT$XCA and .CRT$XCZ) and a table of the module's own for the destructors the
// compiler registers through atexit, as Visual Studio's static runtime keeps them. The entry
// points (vpe_program_startup.cpp, vpe_library_startup.cpp) run both.
// No Windows or C runtime header here: they declare atexit as an import of msvcrt.dll.
#include "vpe_module_startup.h"

typedef void(__cdecl* VpeInitializer)();

// Wine's msvcrt.lib carries these as code of its own (its headers declare them as imports of
// msvcrt.dll, which they are not), so they are declared here without the import.
extern "C" {
struct VpeExitTable {
    VpeInitializer* pFirst;
    VpeInitializer* pLast;
    VpeInitializer* pEnd;
};
int __cdecl _initialize_onexit_table(VpeExitTable* table);
int __cdecl _register_onexit_function(VpeExitTable* table, int(__cdecl* function)());
int __cdecl _execute_onexit_table(VpeExitTable* table);
void __cdecl _initterm(VpeInitializer* first, VpeInitializer* last);
}

#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
__declspec(allocate(".CRT$XCA")) static VpeInitializer s_firstInitializer[1] = {nullptr};
__declspec(allocate(".CRT$XCZ")) static VpeInitializer s_lastInitializer[1] = {nullptr};

static VpeExitTable s_exitTable;

extern "C" void __cdecl VpeRunStaticConstructors() {
    _initialize_onexit_table(&s_exitTable);
    _initterm(s_firstInitializer + 1, s_lastInitializer);
}

extern "C" int __cdecl VpeRunStaticDestructors() {
    return _execute_onexit_table(&s_exitTable);
}

// What the compiler calls to register a static object's destructor.
extern "C" int __cdecl atexit(void(__cdecl* function)()) {
    return _register_onexit_function(&s_exitTable, reinterpret_cast<int(__cdecl*)()>(function));
}
