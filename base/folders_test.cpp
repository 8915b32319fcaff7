#include "base/folders.h"

#include "base/paths.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

using namespace Corvinex;

using VpeTest::Forward;
using VpeTest::SystemCurrentDirectory;

namespace {

std::wstring Text(const CWideString& s) {
    return s.c_str();
}

// Puts the current directory back however a test leaves it.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : m_saved(SystemCurrentDirectory()) {}
    ~CurrentDirectoryGuard() { SetCurrentDirectoryW(m_saved.c_str()); }
    const std::wstring& Saved() const { return m_saved; }

private:
    std::wstring m_saved;
};

// A chain of folders below the temporary folder, removed innermost first.
class FolderChain {
public:
    explicit FolderChain(const std::wstring& base) {
        wchar_t temp[MAX_PATH] = {0};
        GetTempPathW(MAX_PATH, temp);
        // Wine reuses process ids, so a name of an earlier run may still be taken.
        Add(std::wstring(temp) + base + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(GetTickCount()));
    }
    ~FolderChain() {
        for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) {
            // The long form, or folders deeper than MAX_PATH would stay behind.
            RemoveDirectoryW((L"\\\\?\\" + *it).c_str());
        }
    }
    bool Add(const std::wstring& path) {
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
        m_folders.push_back(path);
        return true;
    }
    bool AddChild(const std::wstring& name) {
        return !m_folders.empty() && Add(Innermost() + L"\\" + name);
    }
    const std::wstring& Innermost() const { return m_folders.back(); }
    std::wstring InnermostFolderPath() const { return Forward(Innermost()) + L"/"; }

private:
    std::vector<std::wstring> m_folders;
};

} // namespace

TEST(ModuleFolders, ApplicationFolderIsTheFolderOfTheRunningExecutable) {
    std::wstring expected = Forward(VpeTest::ProgramFolder());
    EXPECT_EQ(expected, Text(GetApplicationFolder()));
    std::wstring file = Text(GetModuleFilePath(nullptr));
    EXPECT_EQ(expected, file.substr(0, expected.size()));
    EXPECT_EQ(L".exe", file.substr(file.size() - 4));
    EXPECT_EQ(std::wstring::npos, file.find(L'\\'));
}

TEST(ModuleFolders, ModuleFolderOfASystemLibraryIsTheSystemFolder) {
    wchar_t system[MAX_PATH] = {0};
    GetSystemDirectoryW(system, MAX_PATH);
    CWideString folder = GetModuleFolder(GetModuleHandleW(L"kernel32.dll"));
    EXPECT_EQ(0, lstrcmpiW((Forward(system) + L"/").c_str(), folder.c_str()));
}

TEST(CurrentFolder, ReadsTheCurrentDirectoryAsFolderPath) {
    CurrentDirectoryGuard guard;
    EXPECT_EQ(Forward(guard.Saved()) + L"/", Text(GetCurrentFolder()));
    ASSERT_EQ(kFolderChanged, ChangeCurrentFolder(L"C:/"));
    EXPECT_EQ(L"C:/", Text(GetCurrentFolder()));
}

TEST(CurrentFolder, ChangeToAnExistingFolderAndBack) {
    FolderChain chain(L"vpe_cd");
    CurrentDirectoryGuard guard; // restores the folder before the chain is removed
    CWideString before = GetCurrentFolder();
    ASSERT_EQ(kFolderChanged, ChangeCurrentFolder(chain.InnermostFolderPath().c_str()));
    EXPECT_EQ(0, lstrcmpiW(chain.Innermost().c_str(), SystemCurrentDirectory().c_str()));
    EXPECT_EQ(kFolderChanged, ChangeCurrentFolder(before));
    EXPECT_EQ(guard.Saved(), SystemCurrentDirectory());
}

TEST(CurrentFolder, MissingOrInvalidFolderGives221AndChangesNothing) {
    FolderChain chain(L"vpe_cd_missing");
    CurrentDirectoryGuard guard; // restores the folder before the chain is removed
    EXPECT_EQ(kFolderMissing,
              ChangeCurrentFolder((chain.InnermostFolderPath() + L"nothing/").c_str()));
    EXPECT_EQ(kFolderMissing, ChangeCurrentFolder((chain.Innermost() + L"\\").c_str()))
        << "backslashes";
    EXPECT_EQ(kFolderMissing, ChangeCurrentFolder(Forward(chain.Innermost()).c_str()))
        << "no slash";
    EXPECT_EQ(kFolderMissing, ChangeCurrentFolder(L""));
    EXPECT_EQ(guard.Saved(), SystemCurrentDirectory());
}

// The current folder must be readable back whatever its name, or a caller that switches away
// and restores it (the library loader) leaves the process elsewhere.
TEST(CurrentFolder, FolderNamedOutsideTheAnsiCodePageRoundTrips) {
    FolderChain chain(L"vpe_cd_names");
    CurrentDirectoryGuard guard; // restores the folder before the chain is removed
    ASSERT_TRUE(chain.AddChild(L"\x0394\x03B9\x03B1\x03B4\x03C1\x03BF\x03BC\x03AE_\x8DEF\x5F84"));
    std::wstring folder = chain.InnermostFolderPath();
    ASSERT_EQ(kFolderChanged, ChangeCurrentFolder(folder.c_str()));
    CWideString read = GetCurrentFolder();
    EXPECT_EQ(folder, Text(read));
    ASSERT_EQ(kFolderChanged, ChangeCurrentFolder(L"C:/"));
    EXPECT_EQ(kFolderChanged, ChangeCurrentFolder(read));
    EXPECT_EQ(chain.Innermost(), SystemCurrentDirectory());
}

TEST(CurrentFolder, FolderLongerThanMaxPathRoundTrips) {
    FolderChain chain(L"vpe_cd_long");
    CurrentDirectoryGuard guard; // restores the folder before the chain is removed
    while (chain.Innermost().size() < 300) {
        ASSERT_TRUE(chain.AddChild(std::wstring(40, L'x')));
    }
    std::wstring folder = chain.InnermostFolderPath();
    ASSERT_GT(folder.size(), static_cast<size_t>(MAX_PATH));
    if (!SetCurrentDirectoryW(chain.Innermost().c_str())) {
        GTEST_SKIP() << "the system refuses a current directory of " << folder.size()
                     << " characters";
    }
    CWideString read = GetCurrentFolder();
    EXPECT_EQ(folder, Text(read));
    ASSERT_EQ(kFolderChanged, ChangeCurrentFolder(L"C:/"));
    EXPECT_EQ(kFolderChanged, ChangeCurrentFolder(read));
    EXPECT_EQ(chain.Innermost(), SystemCurrentDirectory());
}

TEST(SpecialFolders, ProgramFilesOfThePrefixAsFolderPath) {
    wchar_t env[MAX_PATH] = {0};
    ASSERT_GT(GetEnvironmentVariableW(L"ProgramFiles", env, MAX_PATH), 0u);
    std::wstring expected = Forward(env) + L"/";
    EXPECT_EQ(expected, Text(GetSpecialFolder(CSIDL_PROGRAM_FILES)));
    EXPECT_EQ(std::wstring(env), Text(GetSpecialFolderPath(CSIDL_PROGRAM_FILES)));
    CWideString programFiles = GetProgramFilesFolder();
    EXPECT_EQ(expected, Text(programFiles));
    EXPECT_EQ(1, FolderExists(programFiles));
}

TEST(SpecialFolders, UnknownFolderGivesEmptyText) {
    EXPECT_EQ(L"", Text(GetSpecialFolderPath(0x7E)));
    EXPECT_EQ(L"", Text(GetSpecialFolder(0x7E)));
}
