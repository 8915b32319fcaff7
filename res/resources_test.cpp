// The compiled resources as the program's code will meet them: strings, icons, the menu with
// every item in order, the accelerators and the About box template, all in German (Germany).
#include "res/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const WORD kGermanGermany = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);

HINSTANCE Module() {
    return GetModuleHandleW(nullptr);
}

std::wstring LoadText(UINT id) {
    wchar_t text[100] = {0};
    int n = LoadStringW(Module(), id, text, 100);
    return std::wstring(text, n > 0 ? n : 0);
}

struct MenuItem {
    const wchar_t* text; // null for a separator
    UINT id;
};

struct Popup {
    const wchar_t* text;
    std::vector<MenuItem> items;
};

const MenuItem kSeparator = {nullptr, 0};

std::vector<Popup> ExpectedMenu() {
    return {
        {L"&File", {{L"Test", 32782}, kSeparator, {L"E&xit", 105}}},
        {L"Installation",
         {{L"IsInstalled", 32787}, kSeparator, {L"Install", 32788}, {L"Uninstall", 32790}}},
        {L"Engine",
         {{L"SurfCheck", 32816},
          kSeparator,
          {L"Start", 32811},
          {L"Stop", 32812},
          kSeparator,
          {L"IsEngineRunning", 32817},
          kSeparator,
          {L"Activate Anonymity", 32813},
          {L"Deactivate Anonymity", 32814}}},
        {L"Update",
         {{L"Update Test", 32796},
          kSeparator,
          {L"UpdateStart", 32797},
          {L"UpdateStop", 32798},
          {L"IsUpdateRunning", 32799},
          {L"Analyse Update Log", 32801}}},
        {L"Check",
         {{L"Check Test", 32792},
          kSeparator,
          {L"CheckStart", 32802},
          {L"CheckStop", 32804},
          {L"IsCheckRunning", 32803},
          {L"Analyse Check Log", 32806}}},
        {L"&Help", {{L"&About ...", 104}}},
    };
}

// Type, id, text, state and submenu of one menu entry.
struct MenuEntry {
    UINT type = 0;
    UINT id = 0;
    UINT state = 0;
    HMENU submenu = nullptr;
    std::wstring text;
};

MenuEntry ReadEntry(HMENU menu, UINT position) {
    wchar_t text[100] = {0};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 100;
    MenuEntry entry;
    EXPECT_TRUE(GetMenuItemInfoW(menu, position, TRUE, &info)) << position;
    entry.type = info.fType;
    entry.id = info.wID;
    entry.state = info.fState;
    entry.submenu = info.hSubMenu;
    entry.text = text;
    return entry;
}

// Walks a dialog template in memory.
class TemplateReader {
public:
    explicit TemplateReader(const void* data) : m_p(static_cast<const BYTE*>(data)) {}

    DWORD Dword() {
        DWORD value;
        memcpy(&value, m_p, 4);
        m_p += 4;
        return value;
    }
    WORD Word() {
        WORD value;
        memcpy(&value, m_p, 2);
        m_p += 2;
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    // A string, or "#<ordinal>" for an ordinal, or "" for none.
    std::wstring StringOrOrdinal() {
        WORD first = Word();
        if (first == 0xFFFF) {
            return L"#" + std::to_wstring(Word());
        }
        std::wstring text;
        for (WORD c = first; c != 0; c = Word()) {
            text += static_cast<wchar_t>(c);
        }
        return text;
    }
    void AlignDword(const void* base) {
        size_t offset = m_p - static_cast<const BYTE*>(base);
        m_p += (4 - offset % 4) % 4;
    }
    void Skip(size_t bytes) { m_p += bytes; }

private:
    const BYTE* m_p;
};

struct DialogItem {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    std::wstring windowClass;
    std::wstring title;
};

const void* LockGermanResource(LPCWSTR type, UINT id) {
    HRSRC found = FindResourceExW(Module(), type, MAKEINTRESOURCEW(id), kGermanGermany);
    if (found == nullptr) {
        return nullptr;
    }
    return LockResource(LoadResource(Module(), found));
}

} // namespace

TEST(Resources, EveryResourceIsGermanGermany) {
    EXPECT_NE(nullptr,
              FindResourceExW(Module(), RT_STRING, MAKEINTRESOURCEW(103 / 16 + 1), kGermanGermany));
    EXPECT_NE(nullptr,
              FindResourceExW(Module(), RT_STRING, MAKEINTRESOURCEW(109 / 16 + 1), kGermanGermany));
    EXPECT_NE(nullptr,
              FindResourceExW(Module(), RT_GROUP_ICON, MAKEINTRESOURCEW(107), kGermanGermany));
    EXPECT_NE(nullptr,
              FindResourceExW(Module(), RT_GROUP_ICON, MAKEINTRESOURCEW(108), kGermanGermany));
    EXPECT_NE(nullptr, FindResourceExW(Module(), RT_MENU, MAKEINTRESOURCEW(109), kGermanGermany));
    EXPECT_NE(nullptr,
              FindResourceExW(Module(), RT_ACCELERATOR, MAKEINTRESOURCEW(109), kGermanGermany));
    EXPECT_NE(nullptr, FindResourceExW(Module(), RT_DIALOG, MAKEINTRESOURCEW(103), kGermanGermany));
    // And in no other language.
    EXPECT_EQ(nullptr, FindResourceExW(Module(), RT_MENU, MAKEINTRESOURCEW(109),
                                       MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
}

TEST(Resources, TitleAndClassNameStrings) {
    EXPECT_EQ(L"EngineVeilpathTestEnv", LoadText(IDS_APP_TITLE));
    EXPECT_EQ(L"ENGINEVEILPATHTESTENV", LoadText(IDC_ENGINEVEILPATHTESTENV));
    EXPECT_EQ(103, IDS_APP_TITLE);
    EXPECT_EQ(109, IDC_ENGINEVEILPATHTESTENV);
}

TEST(Resources, LargeAndSmallIcons) {
    HICON large = static_cast<HICON>(
        LoadImageW(Module(), MAKEINTRESOURCEW(IDI_ENGINEVEILPATHTESTENV), IMAGE_ICON, 32, 32, 0));
    HICON small = static_cast<HICON>(
        LoadImageW(Module(), MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(nullptr, large);
    ASSERT_NE(nullptr, small);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(large, &info));
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    EXPECT_EQ(32, bitmap.bmWidth);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    ASSERT_TRUE(GetIconInfo(small, &info));
    GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    EXPECT_EQ(16, bitmap.bmWidth);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(large);
    DestroyIcon(small);
}

TEST(Resources, MenuHasEveryItemInOrder) {
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDC_ENGINEVEILPATHTESTENV));
    ASSERT_NE(nullptr, menu);
    std::vector<Popup> expected = ExpectedMenu();
    ASSERT_EQ(static_cast<int>(expected.size()), GetMenuItemCount(menu));
    for (size_t p = 0; p < expected.size(); ++p) {
        MenuEntry popup = ReadEntry(menu, static_cast<UINT>(p));
        EXPECT_EQ(expected[p].text, popup.text);
        ASSERT_NE(nullptr, popup.submenu) << p;
        const std::vector<MenuItem>& items = expected[p].items;
        ASSERT_EQ(static_cast<int>(items.size()), GetMenuItemCount(popup.submenu)) << p;
        for (size_t i = 0; i < items.size(); ++i) {
            MenuEntry entry = ReadEntry(popup.submenu, static_cast<UINT>(i));
            EXPECT_EQ(nullptr, entry.submenu);
            if (items[i].text == nullptr) {
                EXPECT_NE(0u, entry.type & MFT_SEPARATOR) << p << "/" << i;
            } else {
                // Wine reports separators as greyed (state 3), so only real items are asked.
                EXPECT_EQ(0u, entry.state & (MFS_GRAYED | MFS_CHECKED)) << p << "/" << i;
                EXPECT_EQ(0u, entry.type & MFT_SEPARATOR) << p << "/" << i;
                EXPECT_EQ(items[i].text, entry.text);
                EXPECT_EQ(items[i].id, entry.id) << entry.text.c_str();
            }
        }
    }
    DestroyMenu(menu);
}

TEST(Resources, HeaderNamesTheMenuCommands) {
    EXPECT_EQ(104, IDM_ABOUT);
    EXPECT_EQ(105, IDM_EXIT);
    EXPECT_EQ(32782, ID_FILE_TEST);
    EXPECT_EQ(32787, ID_INSTALLATION_ISINSTALLED);
    EXPECT_EQ(32788, ID_INSTALLATION_INSTALL);
    EXPECT_EQ(32790, ID_INSTALLATION_UNINSTALL);
    EXPECT_EQ(32816, ID_ENGINE_SURFCHECK);
    EXPECT_EQ(32811, ID_ENGINE_START);
    EXPECT_EQ(32812, ID_ENGINE_STOP);
    EXPECT_EQ(32817, ID_ENGINE_ISENGINERUNNING);
    EXPECT_EQ(32813, ID_ENGINE_ACTIVATEANONYMITY);
    EXPECT_EQ(32814, ID_ENGINE_DEACTIVATEANONYMITY);
    EXPECT_EQ(32796, ID_UPDATE_UPDATETEST);
    EXPECT_EQ(32797, ID_UPDATE_UPDATESTART);
    EXPECT_EQ(32798, ID_UPDATE_UPDATESTOP);
    EXPECT_EQ(32799, ID_UPDATE_ISUPDATERUNNING);
    EXPECT_EQ(32801, ID_UPDATE_ANALYSEUPDATELOG);
    EXPECT_EQ(32792, ID_CHECK_CHECKTEST);
    EXPECT_EQ(32802, ID_CHECK_CHECKSTART);
    EXPECT_EQ(32804, ID_CHECK_CHECKSTOP);
    EXPECT_EQ(32803, ID_CHECK_ISCHECKRUNNING);
    EXPECT_EQ(32806, ID_CHECK_ANALYSECHECKLOG);
}

TEST(Resources, AcceleratorsAreAltQuestionMarkAndAltSlash) {
    HACCEL table = LoadAcceleratorsW(Module(), MAKEINTRESOURCEW(IDC_ENGINEVEILPATHTESTENV));
    ASSERT_NE(nullptr, table);
    ACCEL entries[8] = {};
    ASSERT_EQ(2, CopyAcceleratorTableW(table, entries, 8));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(FALT, entries[i].fVirt & (FALT | FVIRTKEY | FCONTROL | FSHIFT)) << i;
        EXPECT_EQ(IDM_ABOUT, entries[i].cmd);
    }
    EXPECT_EQ('?', entries[0].key);
    EXPECT_EQ('/', entries[1].key);
    DestroyAcceleratorTable(table);
}

TEST(Resources, AboutBoxTemplate) {
    const void* data = LockGermanResource(RT_DIALOG, IDD_ABOUTBOX);
    ASSERT_NE(nullptr, data);
    TemplateReader reader(data);
    DWORD style = reader.Dword();
    ASSERT_NE(0xFFFF0001u, style) << "extended template";
    const DWORD frame = DS_MODALFRAME | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
    EXPECT_EQ(frame, style & frame);
    EXPECT_EQ(0u, reader.Dword());
    WORD count = reader.Word();
    EXPECT_EQ(22, reader.Short());
    EXPECT_EQ(17, reader.Short());
    EXPECT_EQ(230, reader.Short());
    EXPECT_EQ(75, reader.Short());
    EXPECT_EQ(L"", reader.StringOrOrdinal()); // no menu
    EXPECT_EQ(L"", reader.StringOrOrdinal()); // standard dialog class
    EXPECT_EQ(L"About", reader.StringOrOrdinal());
    EXPECT_EQ(8, reader.Word());
    EXPECT_EQ(L"System", reader.StringOrOrdinal());
    ASSERT_EQ(4, count);

    std::vector<DialogItem> items;
    for (WORD i = 0; i < count; ++i) {
        reader.AlignDword(data);
        DialogItem item;
        item.style = reader.Dword();
        reader.Dword();
        item.x = reader.Short();
        item.y = reader.Short();
        item.cx = reader.Short();
        item.cy = reader.Short();
        item.id = reader.Word();
        item.windowClass = reader.StringOrOrdinal();
        item.title = reader.StringOrOrdinal();
        reader.Skip(reader.Word());
        items.push_back(item);
    }
    const DWORD child = WS_CHILD | WS_VISIBLE;
    // The icon: a static control showing icon 107.
    EXPECT_EQ(2, items[0].id);
    EXPECT_EQ(L"#130", items[0].windowClass);
    EXPECT_EQ(L"#107", items[0].title);
    EXPECT_EQ(static_cast<DWORD>(SS_ICON), items[0].style & SS_TYPEMASK);
    EXPECT_EQ(child, items[0].style & child);
    EXPECT_EQ(14, items[0].x);
    EXPECT_EQ(9, items[0].y);
    EXPECT_EQ(16, items[0].cx);
    EXPECT_EQ(16, items[0].cy);
    // The two text lines; the first without prefix processing.
    EXPECT_EQ(0xFFFF, items[1].id);
    EXPECT_EQ(L"#130", items[1].windowClass);
    EXPECT_EQ(L"EngineVeilpathTestEnv Version 1.0", items[1].title);
    EXPECT_NE(0u, items[1].style & SS_NOPREFIX);
    EXPECT_EQ(static_cast<DWORD>(SS_LEFT), items[1].style & SS_TYPEMASK);
    EXPECT_EQ(49, items[1].x);
    EXPECT_EQ(10, items[1].y);
    EXPECT_EQ(119, items[1].cx);
    EXPECT_EQ(8, items[1].cy);
    EXPECT_EQ(0xFFFF, items[2].id);
    EXPECT_EQ(L"#130", items[2].windowClass);
    EXPECT_FALSE(items[2].title.empty());
    EXPECT_EQ(49, items[2].x);
    EXPECT_EQ(20, items[2].y);
    EXPECT_EQ(119, items[2].cx);
    EXPECT_EQ(8, items[2].cy);
    // OK: default push button, tab stop, starts a group.
    EXPECT_EQ(IDOK, items[3].id);
    EXPECT_EQ(L"#128", items[3].windowClass);
    EXPECT_EQ(L"OK", items[3].title);
    EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), items[3].style & BS_TYPEMASK);
    EXPECT_EQ(static_cast<DWORD>(WS_TABSTOP | WS_GROUP), items[3].style & (WS_TABSTOP | WS_GROUP));
    EXPECT_EQ(195, items[3].x);
    EXPECT_EQ(6, items[3].y);
    EXPECT_EQ(30, items[3].cx);
    EXPECT_EQ(11, items[3].cy);
}

TEST(Resources, AboutBoxCanBeCreated) {
    struct Proc {
        static INT_PTR CALLBACK Dialog(HWND, UINT message, WPARAM, LPARAM) {
            return message == WM_INITDIALOG ? TRUE : FALSE;
        }
    };
    HWND box =
        CreateDialogParamW(Module(), MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, &Proc::Dialog, 0);
    ASSERT_NE(nullptr, box) << GetLastError();
    wchar_t text[100] = {0};
    GetWindowTextW(box, text, 100);
    EXPECT_STREQ(L"About", text);
    GetDlgItemTextW(box, IDOK, text, 100);
    EXPECT_STREQ(L"OK", text);
    HWND icon = GetDlgItem(box, IDC_ABOUT_ICON);
    ASSERT_NE(nullptr, icon);
    EXPECT_NE(0, SendMessageW(icon, STM_GETICON, 0, 0));
    DestroyWindow(box);
}
