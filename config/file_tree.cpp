#include "config/file_tree.h"

#include "base/array.h"
#include "base/file_system.h"
#include "base/paths.h"
#include "base/scoped_handle.h"
#include "config/file_object.h"

#include <windows.h>

namespace Corvinex {

namespace {

// The text as a UTF-8 value: wide texts would reach the stream through the ANSI code page and
// lose every character outside it; UTF-8 texts go as their bytes.
CVariant Utf8Text(const CWideString& text) {
    CVariant value;
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    TArray<char> bytes;
    if (n > 1 && bytes.SetSize(n)) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.GetData(), n, nullptr, nullptr);
        value.SetUtf8Text(CAnsiString(bytes.GetData()));
    } else {
        value.SetUtf8Text(CAnsiString(""));
    }
    return value;
}

// Adds the entry folder + name below root, with the stamp the directory search gave for it.
bool AddEntry(CVariant& list, uint8_t kind, const CWideString& root, const CWideString& folder,
              const CWideString& name, const WIN32_FIND_DATAW& data) {
    // Made in place: a copy of a file-object value would not carry the stamp.
    int32_t at = list.GetList()->Add(CVariant());
    if (at < 0) {
        return false;
    }
    CVariant& entry = list.GetList()->ElementAt(at);
    entry.SetType(vtFileObject);
    CFileObject* object = entry.GetFileObject();
    if (object == nullptr) {
        list.GetList()->RemoveAt(at);
        return false;
    }
    object->SetByte(kFileObjectKind, kind, true);
    object->SetValue(kFileObjectName, Utf8Text(name), true);
    object->SetValue(kFileObjectFolder, Utf8Text(folder), true);
    object->SetFoundStamp(ToForwardSlashes(root + folder + name), StampOfFoundEntry(data));
    return true;
}

// Adds the entries below root, each with its attributes, times and size from the one directory
// search of its folder. Subfolders are visited from a list of pending folders, not by
// recursion, so depth costs no stack.
bool CollectFolder(const CWideString& root, CVariant& list) {
    TArray<CWideString> pending;
    pending.Add(CWideString(L""));
    bool ok = true;
    while (pending.GetCount() > 0) {
        CWideString relative = pending.ElementAt(pending.GetCount() - 1);
        pending.RemoveAt(pending.GetCount() - 1);
        CWideString pattern = ToSystemPath(root + relative) + CWideString(L"\\*");
        WIN32_FIND_DATAW data;
        CFindHandle find(FindFirstFileW(pattern.c_str(), &data));
        if (!find.IsOpen()) {
            ok = false;
            continue;
        }
        TArray<CWideString> subfolders;
        do {
            CWideString name(data.cFileName);
            if (name.Compare(L".") == 0 || name.Compare(L"..") == 0) {
                continue;
            }
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                CWideString folderName = name + CWideString(L"/");
                ok = AddEntry(list, kFileObjectFolderKind, root, relative, folderName, data) && ok;
                subfolders.Add(relative + folderName);
            } else {
                ok = AddEntry(list, kFileObjectFile, root, relative, name, data) && ok;
            }
        } while (FindNextFileW(find.Get(), &data));
        // Pushed in reverse so they are visited in the order found.
        for (int32_t i = subfolders.GetCount() - 1; i >= 0; --i) {
            pending.Add(subfolders.ElementAt(i));
        }
    }
    return ok;
}

} // namespace

bool CollectFileTree(const CWideString& root, CVariant& list) {
    list.SetType(vtList);
    if (list.GetList() == nullptr) {
        return false;
    }
    return CollectFolder(root, list);
}

} // namespace Corvinex
