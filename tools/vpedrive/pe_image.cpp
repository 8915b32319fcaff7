#include "tools/vpedrive/pe_image.h"

#include "base/file_handle.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Corvinex {
namespace Vpedrive {

namespace {

const DWORD kMaxFileSize = 256u * 1024u * 1024u;
// A version resource is one block of at most 64 KiB (its length is a WORD).
const DWORD kMaxVersionBytes = 65536;
const WORD kVersionResourceType = 16; // RT_VERSION

// Maps the image's section layout back to file offsets. Every answer lies inside the section's
// bytes in the file: a table or a name that runs past them is not there.
class CImageView {
public:
    CImageView(const std::vector<BYTE>& bytes, const std::vector<IMAGE_SECTION_HEADER>& sections)
        : m_bytes(bytes), m_sections(sections) {}

    // The file offset of `size` bytes at `rva` and the end of its section's bytes in the file;
    // false when they are not all there.
    bool Offset(DWORD rva, DWORD size, size_t* offset, size_t* sectionEnd = nullptr) const {
        for (const IMAGE_SECTION_HEADER& s : m_sections) {
            if (rva < s.VirtualAddress || rva - s.VirtualAddress >= s.SizeOfRawData)
                continue;
            const uint64_t rawEnd = static_cast<uint64_t>(s.PointerToRawData) + s.SizeOfRawData;
            const uint64_t end = rawEnd < m_bytes.size() ? rawEnd : m_bytes.size();
            const uint64_t at =
                static_cast<uint64_t>(s.PointerToRawData) + (rva - s.VirtualAddress);
            if (at > end || end - at < size)
                return false;
            *offset = static_cast<size_t>(at);
            if (sectionEnd != nullptr)
                *sectionEnd = static_cast<size_t>(end);
            return true;
        }
        return false;
    }

    // The zero-terminated ASCII text at `rva`; false when its terminator is not inside its
    // section's bytes.
    bool Text(DWORD rva, std::string* text) const {
        size_t at = 0, end = 0;
        if (!Offset(rva, 1, &at, &end))
            return false;
        const void* zero = memchr(&m_bytes[at], 0, end - at);
        if (zero == nullptr)
            return false;
        text->assign(reinterpret_cast<const char*>(&m_bytes[at]),
                     static_cast<const char*>(zero) - reinterpret_cast<const char*>(&m_bytes[at]));
        return true;
    }

    template <class T> bool Read(DWORD rva, T* value) const {
        size_t at = 0;
        if (!Offset(rva, sizeof(T), &at))
            return false;
        memcpy(value, &m_bytes[at], sizeof(T));
        return true;
    }

private:
    const std::vector<BYTE>& m_bytes;
    const std::vector<IMAGE_SECTION_HEADER>& m_sections;
};

// Reads a T at `offset` of `bytes` when it lies inside the first `limit` bytes.
template <class T>
bool ReadAt(const std::vector<BYTE>& bytes, uint64_t offset, T* value, uint64_t limit) {
    if (limit > bytes.size() || offset > limit || limit - offset < sizeof(T))
        return false;
    memcpy(value, &bytes[static_cast<size_t>(offset)], sizeof(T));
    return true;
}

// Reads the names of the imported libraries; false with *damage set when the table or a name
// lies outside the file.
bool ReadImports(const CImageView& view, const IMAGE_DATA_DIRECTORY& directory,
                 std::vector<std::string>* imports, std::wstring* damage) {
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return true;
    for (DWORD rva = directory.VirtualAddress;; rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!view.Read(rva, &descriptor) || imports->size() >= 4096) {
            *damage = L"its import table lies outside the file";
            return false;
        }
        if (descriptor.Name == 0)
            return true;
        std::string name;
        if (!view.Text(descriptor.Name, &name)) {
            *damage = L"a name in its import table has no end inside the file";
            return false;
        }
        imports->push_back(name);
    }
}

// Reads the exported names; false with *damage set when the table or a name lies outside the
// file.
bool ReadExports(const CImageView& view, const IMAGE_DATA_DIRECTORY& directory,
                 std::vector<std::string>* exports, std::wstring* damage) {
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return true;
    IMAGE_EXPORT_DIRECTORY table;
    if (!view.Read(directory.VirtualAddress, &table) || table.NumberOfNames > 65536) {
        *damage = L"its export table lies outside the file";
        return false;
    }
    for (DWORD i = 0; i < table.NumberOfNames; ++i) {
        DWORD nameRva = 0;
        std::string name;
        if (!view.Read(table.AddressOfNames + i * sizeof(DWORD), &nameRva)) {
            *damage = L"its export table lies outside the file";
            return false;
        }
        if (!view.Text(nameRva, &name)) {
            *damage = L"a name in its export table has no end inside the file";
            return false;
        }
        exports->push_back(name);
    }
    return true;
}

// The resource tree as it lies in the file: `size` bytes from `base`, offsets relative to base.
struct ResourceTree {
    const std::vector<BYTE>& bytes;
    uint64_t base;
    uint64_t size;

    // The entry of the directory at `offset`: the one with `id` (any entry when id is 0).
    // False when the directory or its entries lie outside the tree; *found false when it has
    // no such entry.
    bool Find(DWORD offset, WORD id, IMAGE_RESOURCE_DIRECTORY_ENTRY* entry, bool* found) const {
        *found = false;
        IMAGE_RESOURCE_DIRECTORY directory;
        if (!ReadAt(bytes, base + offset, &directory, base + size))
            return false;
        const DWORD count =
            static_cast<DWORD>(directory.NumberOfNamedEntries) + directory.NumberOfIdEntries;
        const uint64_t entries = static_cast<uint64_t>(offset) + sizeof(directory);
        for (DWORD i = 0; i < count; ++i) {
            if (!ReadAt(bytes, base + entries + i * sizeof(*entry), entry, base + size))
                return false;
            const bool named = (entry->Name & IMAGE_RESOURCE_NAME_IS_STRING) != 0;
            if (id == 0 || (!named && (entry->Name & 0xFFFF) == id)) {
                *found = true;
                return true;
            }
        }
        return true;
    }
};

// Reads the first version resource (type, then its first name, then its first language) into
// *block. False with *damage set when the tree, or the resource it leads to, lies outside the
// file; true with an empty block when the image has none.
bool ReadVersionResource(const std::vector<BYTE>& bytes, const CImageView& view,
                         const IMAGE_DATA_DIRECTORY& directory, std::vector<BYTE>* block,
                         std::wstring* damage) {
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return true;
    size_t base = 0;
    if (!view.Offset(directory.VirtualAddress, directory.Size, &base)) {
        *damage = L"its resource table lies outside the file";
        return false;
    }
    const ResourceTree tree = {bytes, base, directory.Size};
    *damage = L"its resource table points outside itself";
    // The type's directory, its first name's directory, then the first language's data entry.
    const WORD levels[] = {kVersionResourceType, 0, 0};
    IMAGE_RESOURCE_DIRECTORY_ENTRY entry = {};
    DWORD offset = 0;
    for (int level = 0; level < 3; ++level) {
        bool found = false;
        if (!tree.Find(offset, levels[level], &entry, &found))
            return false;
        if (!found) {
            damage->clear();
            return true;
        }
        const bool isDirectory = (entry.OffsetToData & IMAGE_RESOURCE_DATA_IS_DIRECTORY) != 0;
        if (isDirectory != (level < 2))
            return false;
        offset = entry.OffsetToData & ~IMAGE_RESOURCE_DATA_IS_DIRECTORY;
    }
    IMAGE_RESOURCE_DATA_ENTRY data;
    if (!ReadAt(bytes, tree.base + offset, &data, tree.base + tree.size))
        return false;
    size_t at = 0;
    if (data.Size > kMaxVersionBytes || !view.Offset(data.OffsetToData, data.Size, &at)) {
        *damage = L"its version resource lies outside the file";
        return false;
    }
    damage->clear();
    block->assign(bytes.begin() + at, bytes.begin() + at + data.Size);
    return true;
}

// The data directories of the optional header at `optionalAt` (PE32 or PE32+): how many there
// are and where they start; false when the header is cut off.
bool DataDirectories(const std::vector<BYTE>& bytes, size_t optionalAt, bool pe32Plus,
                     WORD optionalSize, size_t* at, DWORD* count) {
    const size_t offset = pe32Plus ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                   : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    const size_t countAt = pe32Plus ? offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes)
                                    : offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes);
    const size_t whole =
        pe32Plus ? sizeof(IMAGE_OPTIONAL_HEADER64) : sizeof(IMAGE_OPTIONAL_HEADER32);
    if (optionalSize < offset + 2 * sizeof(IMAGE_DATA_DIRECTORY) ||
        !ReadAt(bytes, optionalAt + countAt, count, bytes.size()) ||
        bytes.size() - optionalAt < whole)
        return false;
    const DWORD room = static_cast<DWORD>((optionalSize - offset) / sizeof(IMAGE_DATA_DIRECTORY));
    *count = *count < room ? *count : room;
    *count = *count < IMAGE_NUMBEROF_DIRECTORY_ENTRIES ? *count : IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    *at = optionalAt + offset;
    return true;
}

PeReadResult Damaged(PeImage* image, const wchar_t* what) {
    image->damage = what;
    return PeReadResult::Damaged;
}

} // namespace

bool ReadLibraryFile(const std::wstring& path, std::vector<BYTE>* bytes) {
    CFileHandle file;
    if (!file.Open(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING))
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file.Get(), &size) && size.QuadPart <= kMaxFileSize;
    if (ok) {
        bytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes->empty() || (ReadFile(file.Get(), bytes->data(),
                                         static_cast<DWORD>(bytes->size()), &read, nullptr) &&
                                read == bytes->size());
    }
    return ok;
}

PeReadResult ParsePeImage(const std::vector<BYTE>& bytes, PeImage* image) {
    *image = PeImage();
    IMAGE_DOS_HEADER dos;
    if (!ReadAt(bytes, 0, &dos, bytes.size()) || dos.e_magic != IMAGE_DOS_SIGNATURE)
        return PeReadResult::NotPe;
    // e_lfanew is read unsigned: a "negative" offset lies near 4 GiB, far outside any file.
    const uint64_t ntAt = static_cast<uint32_t>(dos.e_lfanew);
    DWORD signature = 0;
    if (!ReadAt(bytes, ntAt, &signature, bytes.size()))
        return Damaged(image, L"its PE header lies outside the file");
    IMAGE_FILE_HEADER file;
    if (signature != IMAGE_NT_SIGNATURE)
        return PeReadResult::NotPe;
    if (!ReadAt(bytes, ntAt + sizeof(DWORD), &file, bytes.size()))
        return Damaged(image, L"its headers are cut off");
    image->machine = file.Machine;
    image->isDll = (file.Characteristics & IMAGE_FILE_DLL) != 0;
    image->timeStamp = file.TimeDateStamp;

    const size_t optionalAt = static_cast<size_t>(ntAt) + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    WORD magic = 0;
    if (!ReadAt(bytes, optionalAt, &magic, bytes.size()))
        return Damaged(image, L"its headers are cut off");
    image->isPe32Plus = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    if (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return PeReadResult::Ok;
    // x86 images carry the 32-bit optional header and x64 images the 64-bit one; the loader
    // refuses any other pairing.
    if ((file.Machine == IMAGE_FILE_MACHINE_I386 && image->isPe32Plus) ||
        (file.Machine == IMAGE_FILE_MACHINE_AMD64 && !image->isPe32Plus))
        return Damaged(image, L"its optional header is not the one of its machine type");
    size_t directoriesAt = 0;
    DWORD directoryCount = 0;
    if (!DataDirectories(bytes, optionalAt, image->isPe32Plus, file.SizeOfOptionalHeader,
                         &directoriesAt, &directoryCount))
        return Damaged(image, L"its headers are cut off");
    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    memcpy(directories, &bytes[directoriesAt], directoryCount * sizeof(IMAGE_DATA_DIRECTORY));

    const uint64_t sectionsAt = static_cast<uint64_t>(optionalAt) + file.SizeOfOptionalHeader;
    if (sectionsAt > bytes.size() ||
        (bytes.size() - sectionsAt) / sizeof(IMAGE_SECTION_HEADER) < file.NumberOfSections)
        return Damaged(image, L"its section table runs past the end of the file");
    std::vector<IMAGE_SECTION_HEADER> sections(file.NumberOfSections);
    if (!sections.empty())
        memcpy(sections.data(), &bytes[static_cast<size_t>(sectionsAt)],
               sections.size() * sizeof(IMAGE_SECTION_HEADER));
    const CImageView view(bytes, sections);

    // The import descriptors and the export table have one layout in PE32 and PE32+ images
    // (only the import thunks differ, and no name is read from them).
    if (!ReadImports(view, directories[IMAGE_DIRECTORY_ENTRY_IMPORT], &image->imports,
                     &image->damage) ||
        !ReadExports(view, directories[IMAGE_DIRECTORY_ENTRY_EXPORT], &image->exports,
                     &image->damage))
        return PeReadResult::Damaged;
    if (!ReadVersionResource(bytes, view, directories[IMAGE_DIRECTORY_ENTRY_RESOURCE],
                             &image->versionBlock, &image->damage))
        return PeReadResult::Damaged;
    return PeReadResult::Ok;
}

PeReadResult ReadPeImage(const std::wstring& path, PeImage* image) {
    std::vector<BYTE> bytes;
    if (!ReadLibraryFile(path, &bytes)) {
        *image = PeImage();
        return PeReadResult::CannotRead;
    }
    return ParsePeImage(bytes, image);
}

std::wstring MachineName(WORD machine) {
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386:
        return L"x86";
    case IMAGE_FILE_MACHINE_AMD64:
        return L"x64";
    case 0xAA64:
        return L"ARM64";
    case IMAGE_FILE_MACHINE_ARMNT:
        return L"ARM";
    case IMAGE_FILE_MACHINE_IA64:
        return L"Itanium";
    }
    wchar_t text[16];
    wsprintfW(text, L"0x%04X", machine);
    return text;
}

} // namespace Vpedrive
} // namespace Corvinex
