#include "tools/vpedrive/pe_image.h"

#include "base/file_handle.h"

#include <cstddef>
#include <cstring>

namespace Corvinex {
namespace Vpedrive {

namespace {

// Maps the image's section layout back to file offsets.
class CImageView {
public:
    CImageView(const std::vector<BYTE>& bytes, const IMAGE_SECTION_HEADER* sections, WORD count)
        : m_bytes(bytes), m_sections(sections), m_count(count) {}

    // The file offset of `size` bytes at `rva`; false when they are not all inside the file.
    bool Offset(DWORD rva, DWORD size, size_t* offset) const {
        for (WORD i = 0; i < m_count; ++i) {
            const IMAGE_SECTION_HEADER& s = m_sections[i];
            DWORD extent =
                s.Misc.VirtualSize > s.SizeOfRawData ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva < s.VirtualAddress || rva - s.VirtualAddress >= extent)
                continue;
            size_t at = static_cast<size_t>(s.PointerToRawData) + (rva - s.VirtualAddress);
            if (at > m_bytes.size() || m_bytes.size() - at < size)
                return false;
            *offset = at;
            return true;
        }
        return false;
    }

    // The zero-terminated ASCII text at `rva`; false when it runs past the file.
    bool Text(DWORD rva, std::string* text) const {
        size_t at = 0;
        if (!Offset(rva, 1, &at))
            return false;
        size_t end = at;
        while (end < m_bytes.size() && m_bytes[end] != 0)
            ++end;
        if (end == m_bytes.size())
            return false;
        text->assign(reinterpret_cast<const char*>(&m_bytes[at]), end - at);
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
    const IMAGE_SECTION_HEADER* m_sections;
    WORD m_count;
};

bool ReadImports(const CImageView& view, const IMAGE_DATA_DIRECTORY& directory,
                 std::vector<std::string>* imports) {
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return true;
    for (DWORD rva = directory.VirtualAddress;; rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!view.Read(rva, &descriptor))
            return false;
        if (descriptor.Name == 0)
            return true;
        std::string name;
        if (!view.Text(descriptor.Name, &name))
            return false;
        imports->push_back(name);
        if (imports->size() > 4096)
            return false;
    }
}

bool ReadExports(const CImageView& view, const IMAGE_DATA_DIRECTORY& directory,
                 std::vector<std::string>* exports) {
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return true;
    IMAGE_EXPORT_DIRECTORY table;
    if (!view.Read(directory.VirtualAddress, &table))
        return false;
    if (table.NumberOfNames > 65536)
        return false;
    for (DWORD i = 0; i < table.NumberOfNames; ++i) {
        DWORD nameRva = 0;
        std::string name;
        if (!view.Read(table.AddressOfNames + i * sizeof(DWORD), &nameRva) ||
            !view.Text(nameRva, &name))
            return false;
        exports->push_back(name);
    }
    return true;
}

const DWORD kMaxFileSize = 256u * 1024u * 1024u;

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

PeReadResult ReadPeImage(const std::wstring& path, PeImage* image) {
    *image = PeImage();
    std::vector<BYTE> bytes;
    if (!ReadLibraryFile(path, &bytes))
        return PeReadResult::CannotRead;
    IMAGE_DOS_HEADER dos;
    if (bytes.size() < sizeof(dos))
        return PeReadResult::NotPe;
    memcpy(&dos, bytes.data(), sizeof(dos));
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
        return PeReadResult::NotPe;
    const size_t ntAt = static_cast<size_t>(dos.e_lfanew);
    const size_t headerSize = sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    if (ntAt > bytes.size() || bytes.size() - ntAt < headerSize)
        return PeReadResult::NotPe;
    DWORD signature = 0;
    memcpy(&signature, &bytes[ntAt], sizeof(signature));
    if (signature != IMAGE_NT_SIGNATURE)
        return PeReadResult::NotPe;
    IMAGE_FILE_HEADER file;
    memcpy(&file, &bytes[ntAt + sizeof(DWORD)], sizeof(file));
    image->machine = file.Machine;
    image->isDll = (file.Characteristics & IMAGE_FILE_DLL) != 0;

    const size_t optionalAt = ntAt + headerSize;
    WORD magic = 0;
    if (bytes.size() - optionalAt < sizeof(magic))
        return PeReadResult::Damaged;
    memcpy(&magic, &bytes[optionalAt], sizeof(magic));
    image->isPe32Plus = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    if (file.Machine != IMAGE_FILE_MACHINE_I386 || magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return PeReadResult::Ok;

    IMAGE_OPTIONAL_HEADER32 optional;
    if (file.SizeOfOptionalHeader <
            offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) + 2 * sizeof(IMAGE_DATA_DIRECTORY) ||
        bytes.size() - optionalAt < sizeof(optional))
        return PeReadResult::Damaged;
    memcpy(&optional, &bytes[optionalAt], sizeof(optional));
    const size_t sectionsAt = optionalAt + file.SizeOfOptionalHeader;
    if (sectionsAt > bytes.size() ||
        (bytes.size() - sectionsAt) / sizeof(IMAGE_SECTION_HEADER) < file.NumberOfSections)
        return PeReadResult::Damaged;
    const IMAGE_SECTION_HEADER* sections =
        reinterpret_cast<const IMAGE_SECTION_HEADER*>(&bytes[sectionsAt]);
    CImageView view(bytes, sections, file.NumberOfSections);
    if (optional.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_IMPORT &&
        !ReadImports(view, optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT], &image->imports))
        return PeReadResult::Damaged;
    if (optional.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_EXPORT &&
        !ReadExports(view, optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT], &image->exports))
        return PeReadResult::Damaged;
    return PeReadResult::Ok;
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
