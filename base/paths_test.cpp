#include "base/paths.h"

#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace Corvinex;

namespace {

std::wstring Text(const CWideString& s) {
    return s.c_str();
}

// A scratch folder under the system's temporary folder, removed with what it holds.
class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH] = {0};
        GetTempPathW(MAX_PATH, temp);
        m_path = std::wstring(temp) + L"vpe_paths_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~ScratchFolder() {
        DeleteFileW((m_path + L"\\file.txt").c_str());
        RemoveDirectoryW(m_path.c_str());
    }
    std::wstring Backslashed() const { return m_path; }
    std::wstring Forward() const { return Text(ToForwardSlashes(m_path.c_str())); }
    std::wstring MakeFile() const {
        std::wstring file = m_path + L"\\file.txt";
        HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
        return file;
    }

private:
    std::wstring m_path;
};

} // namespace

TEST(PathSlashes, ConversionsReplaceEverySeparatorAndLeaveArgumentAlone) {
    CWideString original(L"C:\\a/b\\c");
    EXPECT_EQ(L"C:/a/b/c", Text(ToForwardSlashes(original)));
    EXPECT_EQ(L"C:\\a\\b\\c", Text(ToBackslashes(original)));
    EXPECT_EQ(L"C:\\a/b\\c", Text(original));
    EXPECT_EQ(L"", Text(ToForwardSlashes(L"")));
}

TEST(PathSlashes, StripTrailingSlashRemovesExactlyOneButKeepsRootsAndShortTexts) {
    EXPECT_EQ(L"C:/", Text(StripTrailingSlash(L"C:/")));
    EXPECT_EQ(L"C:/", Text(StripTrailingSlash(L"C:\\")));
    EXPECT_EQ(L"C:/dir", Text(StripTrailingSlash(L"C:/dir/")));
    EXPECT_EQ(L"C:/dir/", Text(StripTrailingSlash(L"C:/dir//")));
    EXPECT_EQ(L"/", Text(StripTrailingSlash(L"/")));
    EXPECT_EQ(L"C:/dir/sub", Text(StripTrailingSlash(L"C:\\dir\\sub\\")));
    EXPECT_EQ(L"C:/dir", Text(StripTrailingSlash(L"C:/dir")));
    EXPECT_EQ(L"ab", Text(StripTrailingSlash(L"ab/")));
}

TEST(PathSlashes, EnsureTrailingSlashAppendsOnlyWhenMissing) {
    EXPECT_EQ(L"", Text(EnsureTrailingSlash(L"")));
    EXPECT_EQ(L"C:/dir/", Text(EnsureTrailingSlash(L"C:\\dir")));
    EXPECT_EQ(L"C:/dir/", Text(EnsureTrailingSlash(L"C:/dir/")));
    EXPECT_EQ(L"C:/dir/", Text(EnsureTrailingSlash(L"C:\\dir\\")));
}

TEST(PathValidity, ValidPathsHoldNoForbiddenCharacter) {
    EXPECT_EQ(1, IsValidPath(L"C:/dir/a.txt"));
    EXPECT_EQ(1, IsValidPath(L"a"));
    EXPECT_EQ(0, IsValidPath(L""));
    EXPECT_EQ(0, IsValidPath(L"C:\\dir"));
    EXPECT_EQ(0, IsValidPath(L"C:/d?r"));
    EXPECT_EQ(0, IsValidPath(L"C:/d*r"));
    EXPECT_EQ(0, IsValidPath(L"C:/a<b"));
    EXPECT_EQ(0, IsValidPath(L"C:/a>b"));
    EXPECT_EQ(0, IsValidPath(L"C:/a|b"));
    EXPECT_EQ(0, IsValidPath(L"C:/\"a\""));
    EXPECT_EQ(0, IsValidPath(L"C::/dir"));
    EXPECT_EQ(0, IsValidPath(L"C:/dir::x"));
}

TEST(PathValidity, FolderPathsAreValidAndEndWithSlash) {
    EXPECT_EQ(1, IsFolderPath(L"C:/dir/"));
    EXPECT_EQ(1, IsFolderPath(L"C:/"));
    EXPECT_EQ(0, IsFolderPath(L"C:/dir"));
    EXPECT_EQ(0, IsFolderPath(L"C:\\dir\\"));
    EXPECT_EQ(0, IsFolderPath(L""));
}

TEST(PathFolderOf, TakesEverythingBeforeTheLastForwardSlash) {
    EXPECT_EQ(L"C:/dir/", Text(GetFolderOfPath(L"C:/dir/")));
    EXPECT_EQ(L"C:/", Text(GetFolderOfPath(L"C:/lib.dll")));
    EXPECT_EQ(L"C:/dir/sub/", Text(GetFolderOfPath(L"C:/dir/sub/lib.dll")));
    EXPECT_EQ(L"", Text(GetFolderOfPath(L"lib.dll")));
    EXPECT_EQ(L"", Text(GetFolderOfPath(L"C:\\dir\\lib.dll")));
    EXPECT_EQ(L"", Text(GetFolderOfPath(L"/lib.dll")));
    EXPECT_EQ(L"", Text(GetFolderOfPath(L"")));
}

TEST(PathExistence, FolderExistsTellsDirectoriesFromFilesAndMissingEntries) {
    ScratchFolder scratch;
    std::wstring file = scratch.MakeFile();
    EXPECT_EQ(1, FolderExists((scratch.Forward() + L"/").c_str()));
    EXPECT_EQ(0, FolderExists(scratch.Forward().c_str())) << "not a folder path";
    EXPECT_EQ(0, FolderExists((scratch.Backslashed() + L"\\").c_str())) << "backslash form";
    EXPECT_EQ(0, FolderExists((Text(ToForwardSlashes(file.c_str())) + L"/").c_str()));
    EXPECT_EQ(0, FolderExists((scratch.Forward() + L"/missing/").c_str()));
}

TEST(PathExistence, FolderExistsOfADriveRootAsksTheDrive) {
    EXPECT_EQ(1, FolderExists(L"C:/"));
    // Wine maps no drive to Q: in a fresh prefix; a root of a missing drive is no folder.
    if (GetDriveTypeW(L"Q:\\") == DRIVE_NO_ROOT_DIR) {
        EXPECT_EQ(0, FolderExists(L"Q:/"));
    }
}

TEST(PathExistence, FileExistsOnlyForFilesWithEitherSeparator) {
    ScratchFolder scratch;
    std::wstring file = scratch.MakeFile();
    EXPECT_EQ(1, FileExists(file.c_str()));
    EXPECT_EQ(1, FileExists(ToForwardSlashes(file.c_str())));
    EXPECT_EQ(0, FileExists(scratch.Backslashed().c_str())) << "a folder is no file";
    EXPECT_EQ(0, FileExists((scratch.Backslashed() + L"\\missing.txt").c_str()));
    EXPECT_EQ(0, FileExists(L""));
    // Not checked for validity: a pattern whose first match is a file counts.
    EXPECT_EQ(1, FileExists((scratch.Backslashed() + L"\\*.txt").c_str()));
}
