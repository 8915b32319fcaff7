#include "tools/vpedrive/file_version.h"

#include "tools/vpedrive/console_output.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

namespace Corvinex {
namespace Vpedrive {

namespace {

const DWORD kFixedSignature = 0xFEEF04BD;

size_t Align4(size_t at) {
    return (at + 3) & ~static_cast<size_t>(3);
}

// One node of a version resource (wLength, wValueLength, wType, key, value, children), read
// from the bytes [at, limit) of the block. Every offset lies inside the node.
struct VersionNode {
    size_t end = 0;
    std::wstring key;
    size_t valueAt = 0;
    size_t valueBytes = 0;
    size_t childrenAt = 0;
};

bool ReadNode(const std::vector<BYTE>& block, size_t at, size_t limit, VersionNode* node) {
    WORD header[3];
    if (limit > block.size() || at > limit || limit - at < sizeof(header))
        return false;
    memcpy(header, &block[at], sizeof(header));
    const size_t length = header[0];
    if (length < sizeof(header) || limit - at < length)
        return false;
    node->end = at + length;
    node->key.clear();
    size_t keyAt = at + sizeof(header);
    for (;; keyAt += sizeof(wchar_t)) {
        if (node->end - keyAt < sizeof(wchar_t))
            return false;
        wchar_t c;
        memcpy(&c, &block[keyAt], sizeof(c));
        if (c == 0)
            break;
        node->key += c;
    }
    node->valueAt = Align4(keyAt + sizeof(wchar_t));
    if (node->valueAt > node->end)
        node->valueAt = node->end;
    // A text's length counts characters (wType 1), a binary value's bytes; writers differ on
    // texts, so a text is cut at its node's end rather than refused.
    const bool text = header[2] == 1;
    node->valueBytes = text ? header[1] * sizeof(wchar_t) : header[1];
    if (node->end - node->valueAt < node->valueBytes) {
        if (!text)
            return false;
        node->valueBytes = node->end - node->valueAt;
    }
    node->childrenAt = Align4(node->valueAt + node->valueBytes);
    if (node->childrenAt > node->end)
        node->childrenAt = node->end;
    return true;
}

// Calls visit(child) for each child of `parent`; false when one of them cannot be read.
template <class F>
bool EachChild(const std::vector<BYTE>& block, const VersionNode& parent, F visit) {
    for (size_t at = parent.childrenAt; parent.end - at >= 3 * sizeof(WORD);) {
        WORD length;
        memcpy(&length, &block[at], sizeof(length));
        if (length == 0)
            break; // padding after the last child
        VersionNode child;
        if (!ReadNode(block, at, parent.end, &child) || !visit(child))
            return false;
        at = Align4(child.end);
        if (at > parent.end)
            break;
    }
    return true;
}

// The text value of a node, up to its terminator.
std::wstring TextOf(const std::vector<BYTE>& block, const VersionNode& node) {
    std::wstring text(node.valueBytes / sizeof(wchar_t), L'\0');
    if (!text.empty())
        memcpy(&text[0], &block[node.valueAt], text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

std::wstring Numbers(DWORD high, DWORD low) {
    wchar_t text[48];
    swprintf(text, 48, L"%u.%u.%u.%u", HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low));
    return text;
}

} // namespace

bool ParseVersionBlock(const std::vector<BYTE>& block, FileVersionInfo* info) {
    *info = FileVersionInfo();
    VersionNode root;
    if (!ReadNode(block, 0, block.size(), &root) || root.key != L"VS_VERSION_INFO")
        return false;
    FileVersionInfo found;
    VS_FIXEDFILEINFO fixed;
    if (root.valueBytes >= sizeof(fixed)) {
        memcpy(&fixed, &block[root.valueAt], sizeof(fixed));
        if (fixed.dwSignature == kFixedSignature)
            found.fixedVersion = Numbers(fixed.dwFileVersionMS, fixed.dwFileVersionLS);
    }
    // The first translation names the string table: language and code page as 8 hex digits.
    wchar_t language[9] = L"040904b0";
    struct Text {
        const wchar_t* name;
        std::wstring* value;
    } texts[] = {{L"FileVersion", &found.fileVersion},
                 {L"ProductVersion", &found.productVersion},
                 {L"ProductName", &found.productName},
                 {L"FileDescription", &found.fileDescription},
                 {L"OriginalFilename", &found.originalFilename}};
    std::vector<std::pair<std::wstring, VersionNode>> tables;
    const bool read = EachChild(block, root, [&](const VersionNode& part) {
        if (part.key == L"StringFileInfo")
            return EachChild(block, part, [&](const VersionNode& table) {
                tables.emplace_back(table.key, table);
                return true;
            });
        if (part.key == L"VarFileInfo")
            return EachChild(block, part, [&](const VersionNode& var) {
                WORD pair[2];
                if (var.key == L"Translation" && var.valueBytes >= sizeof(pair)) {
                    memcpy(pair, &block[var.valueAt], sizeof(pair));
                    swprintf(language, 9, L"%04x%04x", pair[0], pair[1]);
                }
                return true;
            });
        return true;
    });
    if (!read)
        return false;
    for (const auto& table : tables) {
        if (_wcsicmp(table.first.c_str(), language) != 0)
            continue;
        const bool strings = EachChild(block, table.second, [&](const VersionNode& entry) {
            for (Text& text : texts) {
                if (_wcsicmp(entry.key.c_str(), text.name) == 0 && text.value->empty())
                    *text.value = TextOf(block, entry);
            }
            return true;
        });
        if (!strings)
            return false;
        break;
    }
    if (found.fileVersion.empty())
        found.fileVersion = found.fixedVersion;
    *info = found;
    return true;
}

bool ReadFileVersion(const std::wstring& path, FileVersionInfo* info) {
    PeImage image;
    *info = FileVersionInfo();
    return ReadPeImage(path, &image) == PeReadResult::Ok &&
           ParseVersionBlock(image.versionBlock, info);
}

void PrintFileVersion(const std::wstring& path, COutput& out) {
    FileVersionInfo info;
    if (!ReadFileVersion(path, &info) || info.fileVersion.empty())
        return;
    std::wstring line = L"File version: " + info.fileVersion;
    if (!info.productName.empty())
        line += L" (" + info.productName +
                (info.productVersion.empty() ? L"" : L" " + info.productVersion) + L")";
    out.Line(line);
}

std::wstring DescribeLibraryFile(PeReadResult result, const PeImage& image) {
    FileVersionInfo info;
    std::wstring version = L"no version resource";
    if (!image.versionBlock.empty())
        version = ParseVersionBlock(image.versionBlock, &info) ? L"no version resource"
                                                               : L"damaged version resource";
    if (!info.fixedVersion.empty())
        version = L"file version " + info.fixedVersion;
    std::wstring built = L"no image time stamp";
    // Seconds since 1970 to a FILETIME (100 ns since 1601).
    ULARGE_INTEGER time;
    time.QuadPart = (static_cast<ULONGLONG>(image.timeStamp) + 11644473600ULL) * 10000000ULL;
    FILETIME file = {time.LowPart, time.HighPart};
    SYSTEMTIME utc;
    if ((result == PeReadResult::Ok || result == PeReadResult::Damaged) &&
        FileTimeToSystemTime(&file, &utc)) {
        wchar_t text[48];
        swprintf(text, 48, L"built %04u-%02u-%02u %02u:%02u:%02u UTC", utc.wYear, utc.wMonth,
                 utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
        built = text;
    }
    return version + L", " + built;
}

} // namespace Vpedrive
} // namespace Corvinex
