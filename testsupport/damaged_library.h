// Damaged copies of a good library (PE32 or PE32+), one shape of damage each: what a truncated
// download, a broken build step or a hostile file hands to vpedrive. Each shape changes only what
// it names and keeps the rest of the file intact.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace VpeTest {

typedef std::vector<unsigned char> LibraryBytes;

namespace DamageDetail {

inline DWORD Dword(const LibraryBytes& bytes, size_t at) {
    DWORD value = 0;
    if (at + sizeof(value) <= bytes.size())
        memcpy(&value, &bytes[at], sizeof(value));
    return value;
}

inline void SetDword(LibraryBytes& bytes, size_t at, DWORD value) {
    if (at + sizeof(value) <= bytes.size())
        memcpy(&bytes[at], &value, sizeof(value));
}

inline WORD Word(const LibraryBytes& bytes, size_t at) {
    WORD value = 0;
    if (at + sizeof(value) <= bytes.size())
        memcpy(&value, &bytes[at], sizeof(value));
    return value;
}

// Where the headers of a PE32 or PE32+ image lie.
struct Layout {
    size_t nt = 0;
    size_t directories = 0; // IMAGE_DATA_DIRECTORY[16]
    size_t sections = 0;    // IMAGE_SECTION_HEADER[count]
    WORD count = 0;
};

inline Layout LayoutOf(const LibraryBytes& bytes) {
    Layout layout;
    layout.nt = Dword(bytes, 0x3C);
    layout.count = Word(bytes, layout.nt + 6);
    const size_t optional = layout.nt + 4 + sizeof(IMAGE_FILE_HEADER);
    layout.directories = optional + (Word(bytes, optional) == IMAGE_NT_OPTIONAL_HDR64_MAGIC
                                         ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                         : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    layout.sections = optional + Word(bytes, layout.nt + 20);
    return layout;
}

// One section: where its header lies, its RVA and its bytes in the file.
struct Section {
    size_t header;
    DWORD rva;
    DWORD rawSize;
    DWORD rawAt;
};

inline std::vector<Section> Sections(const LibraryBytes& bytes) {
    const Layout layout = LayoutOf(bytes);
    std::vector<Section> sections;
    for (WORD i = 0; i < layout.count; ++i) {
        const size_t header = layout.sections + i * sizeof(IMAGE_SECTION_HEADER);
        sections.push_back(
            {header, Dword(bytes, header + offsetof(IMAGE_SECTION_HEADER, VirtualAddress)),
             Dword(bytes, header + offsetof(IMAGE_SECTION_HEADER, SizeOfRawData)),
             Dword(bytes, header + offsetof(IMAGE_SECTION_HEADER, PointerToRawData))});
    }
    return sections;
}

// The section header whose bytes in the file hold `offset`; 0 when none does.
inline size_t SectionHolding(const LibraryBytes& bytes, size_t offset) {
    for (const Section& section : Sections(bytes)) {
        if (offset >= section.rawAt && offset < section.rawAt + section.rawSize)
            return section.header;
    }
    return 0;
}

// The file offset of an RVA, mapped through the section table; 0 when no section holds it.
inline size_t FileOffsetOf(const LibraryBytes& bytes, DWORD rva) {
    for (const Section& section : Sections(bytes)) {
        if (rva >= section.rva && rva - section.rva < section.rawSize)
            return section.rawAt + (rva - section.rva);
    }
    return 0;
}

inline size_t FileOffsetOfDirectory(const LibraryBytes& bytes, int entry) {
    return FileOffsetOf(
        bytes, Dword(bytes, LayoutOf(bytes).directories + entry * sizeof(IMAGE_DATA_DIRECTORY)));
}

inline size_t Find(const LibraryBytes& bytes, const void* what, size_t length) {
    for (size_t at = 0; at + length <= bytes.size(); ++at) {
        if (memcmp(&bytes[at], what, length) == 0)
            return at;
    }
    return 0;
}

inline void SetDirectory(LibraryBytes& bytes, int entry, DWORD rva, DWORD size) {
    const size_t at = LayoutOf(bytes).directories + entry * sizeof(IMAGE_DATA_DIRECTORY);
    SetDword(bytes, at, rva);
    SetDword(bytes, at + 4, size);
}

} // namespace DamageDetail

// One shape of damage; apply() changes the bytes and returns false when the library does not
// have what the shape damages.
struct DamageShape {
    const char* name;
    bool (*apply)(LibraryBytes& bytes);
};

// Every shape: e_lfanew past the end or near 4 GiB, cut off inside the headers or the section
// table, a section, the import, export or resource table outside the file, a version resource
// whose lengths lie, an export name without its terminator.
inline const std::vector<DamageShape>& DamageShapes() {
    using namespace DamageDetail;
    static const std::vector<DamageShape> shapes = {
        {"lfanew_past_end",
         [](LibraryBytes& b) {
             SetDword(b, 0x3C, static_cast<DWORD>(b.size() + 16));
             return true;
         }},
        {"lfanew_near_4GiB",
         [](LibraryBytes& b) {
             SetDword(b, 0x3C, 0xFFFFFFF8u);
             return true;
         }},
        {"cut_in_optional_header",
         [](LibraryBytes& b) {
             b.resize(LayoutOf(b).nt + 4 + sizeof(IMAGE_FILE_HEADER) + 64);
             return true;
         }},
        {"cut_in_section_table",
         [](LibraryBytes& b) {
             b.resize(LayoutOf(b).sections + 20);
             return true;
         }},
        {"import_section_outside",
         [](LibraryBytes& b) {
             const size_t header =
                 SectionHolding(b, FileOffsetOfDirectory(b, IMAGE_DIRECTORY_ENTRY_IMPORT));
             SetDword(b, header + offsetof(IMAGE_SECTION_HEADER, PointerToRawData), 0x7FFFFFF0u);
             return header != 0;
         }},
        {"imports_outside",
         [](LibraryBytes& b) {
             SetDirectory(b, IMAGE_DIRECTORY_ENTRY_IMPORT, 0x7FFFFFF0u, 0x100);
             return true;
         }},
        {"exports_outside",
         [](LibraryBytes& b) {
             SetDirectory(b, IMAGE_DIRECTORY_ENTRY_EXPORT, 0x7FFFFFF0u, 0x100);
             return true;
         }},
        {"resources_outside",
         [](LibraryBytes& b) {
             SetDirectory(b, IMAGE_DIRECTORY_ENTRY_RESOURCE, 0x7FFFFFF0u, 0x7FFFFFFFu);
             return true;
         }},
        {"version_lengths_lie",
         [](LibraryBytes& b) {
             // The StringFileInfo node claims more bytes than its parent, the whole resource,
             // has.
             const wchar_t key[] = L"StringFileInfo";
             const size_t at = Find(b, key, sizeof(key));
             if (at < 6)
                 return false;
             const WORD length = 0xFFF0;
             memcpy(&b[at - 6], &length, sizeof(length));
             return true;
         }},
        {"export_name_unterminated",
         [](LibraryBytes& b) {
             // The last exported name, and everything after it to its section's end, without a
             // zero byte.
             const size_t table = FileOffsetOfDirectory(b, IMAGE_DIRECTORY_ENTRY_EXPORT);
             const DWORD count = Dword(b, table + offsetof(IMAGE_EXPORT_DIRECTORY, NumberOfNames));
             const size_t names = FileOffsetOf(
                 b, Dword(b, table + offsetof(IMAGE_EXPORT_DIRECTORY, AddressOfNames)));
             const size_t at =
                 count == 0 ? 0 : FileOffsetOf(b, Dword(b, names + (count - 1) * sizeof(DWORD)));
             const size_t header = SectionHolding(b, at);
             if (table == 0 || at == 0 || header == 0)
                 return false;
             const size_t end =
                 Dword(b, header + offsetof(IMAGE_SECTION_HEADER, PointerToRawData)) +
                 Dword(b, header + offsetof(IMAGE_SECTION_HEADER, SizeOfRawData));
             for (size_t i = at; i < end && i < b.size(); ++i) {
                 if (b[i] == 0)
                     b[i] = 'A';
             }
             return true;
         }},
    };
    return shapes;
}

} // namespace VpeTest
