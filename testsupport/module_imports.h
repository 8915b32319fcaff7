// Preparing an .exe that the loader mapped as a module without fixing it up.
#pragma once

#include <windows.h>

namespace VpeTest {

// Resolves every import of `module` (by name or ordinal) and writes the addresses into its
// import address table. Wine 8 maps an .exe loaded with LoadLibrary without resolving its
// imports (Windows resolves them; doing it again there changes nothing). False when a library
// or function cannot be found.
inline bool BindModuleImports(HMODULE module) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return true;
    }
    auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        HMODULE library = LoadLibraryA(reinterpret_cast<const char*>(base + descriptor->Name));
        if (library == nullptr) {
            return false;
        }
        DWORD lookupRva = descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk
                                                              : descriptor->FirstThunk;
        auto* lookup = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookupRva);
        auto* address = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; lookup->u1.AddressOfData != 0; ++lookup, ++address) {
            FARPROC function = nullptr;
            if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal)) {
                function = GetProcAddress(
                    library, reinterpret_cast<LPCSTR>(IMAGE_ORDINAL(lookup->u1.Ordinal)));
            } else {
                auto* byName =
                    reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
                function = GetProcAddress(library, reinterpret_cast<LPCSTR>(byName->Name));
            }
            if (function == nullptr) {
                return false;
            }
            DWORD oldProtection = 0;
            VirtualProtect(&address->u1.Function, sizeof(address->u1.Function), PAGE_READWRITE,
                           &oldProtection);
            address->u1.Function = reinterpret_cast<ULONG_PTR>(function);
            VirtualProtect(&address->u1.Function, sizeof(address->u1.Function), oldProtection,
                           &oldProtection);
        }
    }
    return true;
}

// True when the import table of the mapped `module` names the library `name` (case ignored).
inline bool ImportsLibrary(HMODULE module, const char* name) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return false;
    }
    auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + descriptor->Name), name) == 0) {
            return true;
        }
    }
    return false;
}

// Applies the base relocations of `module` when the loader mapped it away from its preferred
// base without applying them: Wine 8 does so for an .exe loaded with LoadLibrary (Windows
// applies them; then this finds them applied and changes nothing). Call before anything in the
// module runs.
inline void ApplyModuleRelocations(HMODULE module) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const ULONG_PTR preferred = nt->OptionalHeader.ImageBase;
    const ULONG_PTR size = nt->OptionalHeader.SizeOfImage;
    const ULONG_PTR delta = reinterpret_cast<ULONG_PTR>(base) - preferred;
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    if (delta == 0 || directory.VirtualAddress == 0) {
        return;
    }
    BYTE* start = base + directory.VirtualAddress;
    BYTE* end = start + directory.Size;
    bool checked = false;
    for (BYTE* p = start; p + sizeof(IMAGE_BASE_RELOCATION) <= end;) {
        auto* block = reinterpret_cast<IMAGE_BASE_RELOCATION*>(p);
        if (block->SizeOfBlock < sizeof(IMAGE_BASE_RELOCATION)) {
            break;
        }
        auto* entries = reinterpret_cast<WORD*>(block + 1);
        DWORD count = (block->SizeOfBlock - sizeof(IMAGE_BASE_RELOCATION)) / sizeof(WORD);
        for (DWORD i = 0; i < count; ++i) {
            if ((entries[i] >> 12) != IMAGE_REL_BASED_HIGHLOW) {
                continue;
            }
            auto* target =
                reinterpret_cast<DWORD*>(base + block->VirtualAddress + (entries[i] & 0xFFF));
            if (!checked) {
                // Already applied when the first address points into the image where it lies.
                if (*target < preferred || *target >= preferred + size) {
                    return;
                }
                checked = true;
            }
            DWORD oldProtection = 0;
            VirtualProtect(target, sizeof(DWORD), PAGE_READWRITE, &oldProtection);
            *target += static_cast<DWORD>(delta);
            VirtualProtect(target, sizeof(DWORD), oldProtection, &oldProtection);
        }
        p += block->SizeOfBlock;
    }
}

} // namespace VpeTest
