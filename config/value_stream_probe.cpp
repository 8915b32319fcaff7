// value_stream_probe.exe: the value stream between machine types and ABIs. Built by every build
// (x86 and x64, GCC and MSVC ABI, no C++ standard library), it writes a fixed set of values to a
// stream file, or reads such a file and compares what it holds with the same set; the builds run
// it on each other's files (config/value_stream_machines_test.sh).
//
//   value_stream_probe write STREAM [FOLDER]       the values, then FOLDER's tree as file objects
//   value_stream_probe read STREAM [RESTORE_ROOT]  compares the values; restores the tree below
//                                                  RESTORE_ROOT
//
// Exit code 0 when written, or read without an error and equal; 1 otherwise (the standard error
// says what differs); 2 for a wrong command line.
#include "base/ansi_string.h"
#include "base/file_data_container.h"
#include "base/paths.h"
#include "base/wide_string.h"
#include "config/file_tree.h"
#include "config/variant.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <windows.h>

using namespace Corvinex;

namespace {

CVariant Value(uint16_t id, CVariant value) {
    value.SetId(id);
    return value;
}

// Every type the stream stores, at the edges of their ranges, with ids of one and two bytes.
CVariant FixedValues() {
    CVariant all;
    all.SetType(vtList);
    CVariantList& list = *all.GetList();
    list.Add(Value(1, CVariant()));
    list.Add(Value(2, CVariant().SetByte(0xA5)));
    list.Add(Value(3, CVariant().SetWord(0xBEEF)));
    list.Add(Value(4, CVariant().SetLong(-2147483647 - 1)));
    list.Add(Value(5, CVariant().SetDword(0xFEDCBA98u)));
    list.Add(Value(6, CVariant().SetDouble(-1234.5625e100)));
    // A pointer travels as its type alone: it means nothing in another process.
    list.Add(Value(7, CVariant().SetPointer(nullptr)));
    uint8_t bytes[300];
    for (int i = 0; i < 300; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7);
    }
    list.Add(Value(8, CVariant().SetBinary(bytes, 300)));
    list.Add(Value(9, CVariant().SetAnsiText("Gr\xFC\xDF Gott")));
    list.Add(
        Value(10, CVariant().SetUtf8Text(CAnsiString("\xC3\x84 \xE2\x82\xAC \xF0\x9F\x98\x80"))));
    list.Add(Value(11, CVariant().SetWideText(L"wide \x00E9t\x00E9")));
    // A text longer than 254 bytes takes the long length form.
    char longText[600];
    memset(longText, 'x', sizeof(longText) - 1);
    longText[sizeof(longText) - 1] = '\0';
    list.Add(Value(12, CVariant().SetAnsiText(longText)));
    CVariant inner;
    inner.SetType(vtList);
    inner.GetList()->Add(Value(0x1234, CVariant().SetLong(42)));
    CVariant empty;
    empty.SetType(vtList);
    inner.GetList()->Add(Value(0xFFFF, empty));
    list.Add(Value(13, inner));
    return all;
}

// Type, id and content equal, lists element by element; says where they differ.
bool Same(const CVariant& expected, const CVariant& actual, const wchar_t* where, int index) {
    if (expected.GetType() != actual.GetType() || expected.GetId() != actual.GetId()) {
        fwprintf(stderr, L"%ls element %d: type %u id %u, expected type %u id %u\n", where, index,
                 actual.GetType(), actual.GetId(), expected.GetType(), expected.GetId());
        return false;
    }
    if (expected.GetType() != vtList) {
        if (Compare(&expected, &actual) != 0) {
            fwprintf(stderr, L"%ls element %d (type %u): another value\n", where, index,
                     expected.GetType());
            return false;
        }
        return true;
    }
    const CVariantList* want = expected.GetList();
    const CVariantList* got = actual.GetList();
    if (want->GetCount() != got->GetCount()) {
        fwprintf(stderr, L"%ls element %d: %d elements, expected %d\n", where, index,
                 got->GetCount(), want->GetCount());
        return false;
    }
    for (int32_t i = 0; i < want->GetCount(); ++i) {
        if (!Same(want->ElementAt(i), got->ElementAt(i), L"list", i)) {
            return false;
        }
    }
    return true;
}

// A folder argument as the file objects take it: forward slashes, trailing slash.
CWideString FolderArgument(const wchar_t* path) {
    return EnsureTrailingSlash(ToForwardSlashes(CWideString(path)));
}

int Write(const wchar_t* streamPath, const wchar_t* folder) {
    CVariant values = FixedValues();
    CWideString root = folder != nullptr ? FolderArgument(folder) : CWideString(L"");
    if (folder != nullptr) {
        CVariant tree;
        if (!CollectFileTree(root, tree)) {
            fwprintf(stderr, L"cannot gather the tree of %ls\n", folder);
            return 1;
        }
        values.GetList()->Add(tree);
    }
    CDataTarget target = {root.c_str(), 0, 0};
    CFileDataContainer file;
    if (file.OpenFile(CWideString(streamPath), kModeStoring, &target) != 0) {
        fwprintf(stderr, L"cannot create %ls\n", streamPath);
        return 1;
    }
    values.Serialize(file);
    uint32_t error = file.GetError() != 0 ? file.GetError() : file.Close();
    if (error != 0) {
        fwprintf(stderr, L"storing ended with error %u\n", error);
        return 1;
    }
    return 0;
}

int Read(const wchar_t* streamPath, const wchar_t* restoreRoot) {
    CWideString root = restoreRoot != nullptr ? FolderArgument(restoreRoot) : CWideString(L"");
    CDataTarget target = {root.c_str(), 0, 0};
    CFileDataContainer file;
    if (file.OpenFile(CWideString(streamPath), kModeLoading, &target) != 0) {
        fwprintf(stderr, L"cannot open %ls\n", streamPath);
        return 1;
    }
    CVariant values;
    values.SetType(vtList);
    values.Serialize(file);
    if (file.GetError() != 0) {
        fwprintf(stderr, L"loading ended with error %u\n", file.GetError());
        return 1;
    }
    if (file.GetRemaining() != 0) {
        fwprintf(stderr, L"%u bytes left after the values\n", file.GetRemaining());
        return 1;
    }
    CVariant expected = FixedValues();
    CVariantList* got = values.GetList();
    const int32_t fixed = expected.GetList()->GetCount();
    const int32_t withTree = restoreRoot != nullptr ? fixed + 1 : fixed;
    if (got == nullptr || got->GetCount() != withTree) {
        fwprintf(stderr, L"%d values, expected %d\n", got != nullptr ? got->GetCount() : -1,
                 withTree);
        return 1;
    }
    for (int32_t i = 0; i < fixed; ++i) {
        if (!Same(expected.GetList()->ElementAt(i), got->ElementAt(i), L"value", i)) {
            return 1;
        }
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc > 4) {
        fwprintf(stderr, L"usage: value_stream_probe write|read STREAM [FOLDER]\n");
        return 2;
    }
    const wchar_t* folder = argc == 4 ? argv[3] : nullptr;
    if (wcscmp(argv[1], L"write") == 0) {
        return Write(argv[2], folder);
    }
    if (wcscmp(argv[1], L"read") == 0) {
        return Read(argv[2], folder);
    }
    fwprintf(stderr, L"unknown command %ls\n", argv[1]);
    return 2;
}
