#include "engine/library.h"

#include "testsupport/fault_code.h"
#include "testsupport/machine_type.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

using Corvinex::CLibrary;
using Corvinex::kBindAlreadyLoaded;
using Corvinex::kBindDone;
using Corvinex::kBindNoSuchFile;
using Corvinex::kBindRefused;
using VpeTest::Forward;
using VpeTest::SystemCurrentDirectory;
using VpeTest::TestEnginePath;

namespace {

std::wstring FolderOf(const std::wstring& file) {
    return file.substr(0, file.find_last_of(L"\\/"));
}

std::wstring g_folderDuringLoad;
int* volatile g_nowhere = nullptr;

HMODULE RecordingLoad(const wchar_t* path) {
    g_folderDuringLoad = SystemCurrentDirectory();
    return LoadLibraryW(path);
}

HMODULE FaultingLoad(const wchar_t*) {
    g_folderDuringLoad = SystemCurrentDirectory();
    *g_nowhere = 1;
    return nullptr;
}

// Opens the protected load with a replaced system call to the tests.
class ProbeLibrary : public CLibrary {
public:
    int LoadRecording(const wchar_t* path) { return LoadWith(path, &RecordingLoad); }
    int LoadFaulting(const wchar_t* path) { return LoadWith(path, &FaultingLoad); }
};

// Every test starts and must end in the same current directory, which is not the folder of
// any library it loads.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = SystemCurrentDirectory();
        ASSERT_TRUE(SetCurrentDirectoryW(VpeTest::ProgramFolder().c_str()));
        start = SystemCurrentDirectory();
    }
    void TearDown() override {
        EXPECT_EQ(start, SystemCurrentDirectory()) << "the current directory was left changed";
        SetCurrentDirectoryW(saved.c_str());
    }
    void ExpectEmpty(const CLibrary& library) {
        EXPECT_EQ(nullptr, library.GetModule());
        EXPECT_STREQ(L"", library.GetPath().c_str());
    }
    std::wstring saved;
    std::wstring start;
};

// A file in a scratch folder of the test's own, removed afterwards.
class ScratchFile {
public:
    explicit ScratchFile(const std::wstring& name) {
        wchar_t temp[MAX_PATH] = {0};
        GetTempPathW(MAX_PATH, temp);
        m_folder = std::wstring(temp) + L"vpe_lib_" + std::to_wstring(GetCurrentProcessId()) +
                   L"_" + std::to_wstring(GetTickCount());
        CreateDirectoryW(m_folder.c_str(), nullptr);
        m_path = m_folder + L"\\" + name;
    }
    ~ScratchFile() {
        DeleteFileW(m_path.c_str());
        RemoveDirectoryW(m_folder.c_str());
    }
    const std::wstring& Path() const { return m_path; }
    void Write(const std::vector<char>& bytes) const {
        std::ofstream out(m_path.c_str(), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::wstring m_folder;
    std::wstring m_path;
};

std::vector<char> ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
}

} // namespace

TEST_F(LibraryTest, LoadsALibraryAndRemembersItsForwardSlashPath) {
    std::wstring path = TestEnginePath(L"slot_engine");
    CLibrary library;
    ASSERT_EQ(kBindDone, library.Load(path.c_str()));
    EXPECT_NE(nullptr, library.GetModule());
    EXPECT_EQ(library.GetModule(), GetModuleHandleW(path.c_str()));
    EXPECT_EQ(Forward(path), std::wstring(library.GetPath().c_str()));
    EXPECT_NE(nullptr, GetProcAddress(library.GetModule(), "GetCorvinexEngine"));
}

TEST_F(LibraryTest, SlashAndBackslashFormsLoadTheSameLibrary) {
    std::wstring path = TestEnginePath(L"slot_engine");
    CLibrary backslashed;
    CLibrary slashed;
    ASSERT_EQ(kBindDone, backslashed.Load(path.c_str()));
    ASSERT_EQ(kBindDone, slashed.Load(Forward(path).c_str()));
    EXPECT_EQ(backslashed.GetModule(), slashed.GetModule());
    EXPECT_EQ(Forward(path), std::wstring(backslashed.GetPath().c_str()));
    EXPECT_EQ(Forward(path), std::wstring(slashed.GetPath().c_str()));
}

TEST_F(LibraryTest, SecondLoadAnswers22AndKeepsTheFirstLibrary) {
    std::wstring first = TestEnginePath(L"slot_engine");
    CLibrary library;
    ASSERT_EQ(kBindDone, library.Load(first.c_str()));
    HMODULE held = library.GetModule();
    EXPECT_EQ(kBindAlreadyLoaded, library.Load(TestEnginePath(L"null_engine").c_str()));
    EXPECT_EQ(held, library.GetModule());
    EXPECT_EQ(Forward(first), std::wstring(library.GetPath().c_str()));
    EXPECT_EQ(nullptr, GetModuleHandleW(TestEnginePath(L"null_engine").c_str()));
}

TEST_F(LibraryTest, MissingFileOrFolderAnswers201) {
    CLibrary library;
    EXPECT_EQ(kBindNoSuchFile,
              library.Load((VpeTest::ProgramFolder() + L"engines\\none\\vpe.dll").c_str()));
    ExpectEmpty(library);
    EXPECT_EQ(kBindNoSuchFile, library.Load(FolderOf(TestEnginePath(L"slot_engine")).c_str()));
    ExpectEmpty(library);
    EXPECT_EQ(kBindNoSuchFile, library.Load(L""));
    EXPECT_EQ(kBindNoSuchFile, library.Load(nullptr));
    ExpectEmpty(library);
}

TEST_F(LibraryTest, UnloadReleasesAndAnotherLoadSucceeds) {
    std::wstring path = TestEnginePath(L"slot_engine");
    CLibrary library;
    library.Unload();
    ExpectEmpty(library);
    ASSERT_EQ(kBindDone, library.Load(path.c_str()));
    library.Unload();
    ExpectEmpty(library);
    EXPECT_EQ(nullptr, GetModuleHandleW(path.c_str()));
    library.Unload();
    ExpectEmpty(library);
    ASSERT_EQ(kBindDone, library.Load(path.c_str()));
    EXPECT_NE(nullptr, GetModuleHandleW(path.c_str()));
}

TEST_F(LibraryTest, DestructionReleasesTheLibrary) {
    std::wstring path = TestEnginePath(L"slot_engine");
    {
        CLibrary library;
        ASSERT_EQ(kBindDone, library.Load(path.c_str()));
        EXPECT_NE(nullptr, GetModuleHandleW(path.c_str()));
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(path.c_str()));
}

TEST_F(LibraryTest, DuringTheLoadTheCurrentDirectoryIsTheLibrarysFolder) {
    std::wstring path = TestEnginePath(L"slot_engine");
    ProbeLibrary library;
    ASSERT_EQ(kBindDone, library.LoadRecording(path.c_str()));
    EXPECT_EQ(0, lstrcmpiW(FolderOf(path).c_str(), g_folderDuringLoad.c_str()))
        << "during the load the current directory was " << g_folderDuringLoad;
}

TEST_F(LibraryTest, DependencyBesideTheLibraryIsFoundThroughTheSwitchedFolder) {
    std::wstring path = TestEnginePath(L"dep_engine");
    ASSERT_EQ(nullptr, GetModuleHandleW(L"vpe_dep_helper.dll"));
    CLibrary library;
    ASSERT_EQ(kBindDone, library.Load(path.c_str()));
    typedef const wchar_t* (*FolderFunc)();
    FolderFunc folder = reinterpret_cast<FolderFunc>(
        reinterpret_cast<void*>(GetProcAddress(library.GetModule(), "DepEngineHelperFolder")));
    ASSERT_NE(nullptr, folder);
    EXPECT_EQ(0, lstrcmpiW(FolderOf(path).c_str(), folder()));
}

TEST_F(LibraryTest, MissingDependencyAnswers20) {
    CLibrary library;
    EXPECT_EQ(kBindRefused, library.Load(TestEnginePath(L"missing_dep_engine").c_str()));
    ExpectEmpty(library);
}

TEST_F(LibraryTest, FaultInTheLibrarysInitialisationAnswers20) {
    CLibrary library;
    EXPECT_EQ(kBindRefused, library.Load(TestEnginePath(L"dllmain_fault_engine").c_str()));
    ExpectEmpty(library);
    // The process carries on loading libraries afterwards.
    EXPECT_EQ(kBindDone, library.Load(TestEnginePath(L"slot_engine").c_str()));
}

TEST_F(LibraryTest, FaultEscapingTheSystemLoadIsInterceptedAs20WithItsCode) {
    std::wstring path = TestEnginePath(L"slot_engine");
    ProbeLibrary library;
    EXPECT_EQ(kBindRefused, library.LoadFaulting(path.c_str()));
    ExpectEmpty(library);
    EXPECT_EQ(VpeTest::NullWriteFaultCode(), library.GetLoadException());
    EXPECT_EQ(0, lstrcmpiW(FolderOf(path).c_str(), g_folderDuringLoad.c_str()));
    EXPECT_EQ(kBindDone, library.Load(path.c_str()));
    EXPECT_EQ(0ul, library.GetLoadException());
}

TEST_F(LibraryTest, TextFileNamedLikeALibraryAnswers20) {
    ScratchFile file(L"vpe.dll");
    std::string text = "This is not a library.\r\n";
    file.Write(std::vector<char>(text.begin(), text.end()));
    CLibrary library;
    EXPECT_EQ(kBindRefused, library.Load(file.Path().c_str()));
    ExpectEmpty(library);
}

TEST_F(LibraryTest, LibraryBuiltForAnotherMachineAnswers20) {
    std::vector<char> image = ReadAll(TestEnginePath(L"slot_engine"));
    ASSERT_GT(image.size(), 0x100u);
    uint32_t peOffset = 0;
    memcpy(&peOffset, &image[0x3C], 4);
    ASSERT_EQ(0, memcmp(&image[peOffset], "PE\0\0", 4));
    uint16_t machine = 0;
    memcpy(&machine, &image[peOffset + 4], 2);
    ASSERT_EQ(VpeTest::kThisMachine, machine) << "an image of this build's machine type";
    const uint16_t kArm64 = 0xAA64;
    memcpy(&image[peOffset + 4], &kArm64, 2);
    ScratchFile file(L"vpe.dll");
    file.Write(image);
    CLibrary library;
    EXPECT_EQ(kBindRefused, library.Load(file.Path().c_str()));
    ExpectEmpty(library);
}

TEST_F(LibraryTest, TruncatedLibraryAnswers20) {
    std::vector<char> image = ReadAll(TestEnginePath(L"slot_engine"));
    image.resize(600);
    ScratchFile file(L"vpe.dll");
    file.Write(image);
    CLibrary library;
    EXPECT_EQ(kBindRefused, library.Load(file.Path().c_str()));
    ExpectEmpty(library);
}

TEST_F(LibraryTest, CallerInAFolderNamedOutsideTheAnsiCodePageIsPutBack) {
    wchar_t temp[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"vpe_\x0394\x03B9\x03B1_\x8DEF_" +
                          std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    std::wstring inside = SystemCurrentDirectory();
    {
        CLibrary library;
        EXPECT_EQ(kBindDone, library.Load(TestEnginePath(L"slot_engine").c_str()));
        EXPECT_EQ(inside, SystemCurrentDirectory());
        CLibrary refused;
        EXPECT_EQ(kBindRefused, refused.Load(TestEnginePath(L"missing_dep_engine").c_str()));
        EXPECT_EQ(inside, SystemCurrentDirectory());
    }
    SetCurrentDirectoryW(start.c_str());
    RemoveDirectoryW(folder.c_str());
}
