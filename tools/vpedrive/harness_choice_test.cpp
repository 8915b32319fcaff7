// Which harness a run picks, in release and build-tree layouts made of the built harnesses, and
// through vpedrive.exe itself.
#include "tools/vpedrive/harness_choice.h"

#include "tools/driver/registry_backup.h"
#include "tools/driver/scratch_folder.h"
#include "tools/vpedrive/vpedrive_options.h"
#include "tools/vpedrive/vpedrive_test_support.h"

#include <gtest/gtest.h>

using namespace Corvinex::Vpedrive;
using Corvinex::Driver::CScratchFolder;
using Corvinex::Driver::QuoteArgument;

namespace {

using VpeTest::BuildFile;
using VpeTest::MsvcBuildPresent;

const std::wstring kGccHarness = L"bin\\vpetest.exe";
const std::wstring kMsvcHarness = L"msvc\\bin\\vpetest.exe";
const std::wstring kMsvcEngine = L"msvc\\bin\\vpe.dll";
const std::wstring kX64GccHarness = L"x64\\bin\\vpetest.exe";
const std::wstring kX64MsvcHarness = L"msvc-x64\\bin\\vpetest.exe";
const std::wstring kX64GccEngine = L"x64\\bin\\vpe.dll";
const std::wstring kX64MsvcEngine = L"msvc-x64\\bin\\vpe.dll";
const std::wstring kX64Nortti = L"msvc-x64\\tests\\engines\\nortti_engine\\vpe.dll";

// A folder tree of copies of the built harnesses: `layout` lists "<folder>=<build file>".
class HarnessLayout : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MsvcBuildPresent())
            GTEST_SKIP() << "the MSVC-ABI build (build/msvc) is not there";
        ASSERT_TRUE(m_root.Create(L"vpe-harness-choice-"));
    }

    void Place(const std::wstring& folder, const std::wstring& buildFile) {
        for (size_t at = folder.find(L'\\'); at != std::wstring::npos;
             at = folder.find(L'\\', at + 1))
            CreateDirectoryW((m_root.Path() + folder.substr(0, at)).c_str(), nullptr);
        CreateDirectoryW((m_root.Path() + folder).c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(BuildFile(buildFile).c_str(),
                              (m_root.Path() + folder + L"\\vpetest.exe").c_str(), FALSE));
    }

    std::wstring In(const std::wstring& folder) const {
        return m_root.Path() + folder + L"\\vpetest.exe";
    }

    // The harness ChooseHarness picks for a vpedrive in `folder`; empty when it refuses.
    std::wstring Choose(const std::wstring& folder, const std::wstring& engine,
                        ModuleAbi requested = ModuleAbi::Unknown) {
        std::wstring harness, message;
        bool chosen =
            ChooseHarness(m_root.Path() + folder + L"\\", engine, requested, &harness, &message);
        m_message = message;
        return chosen ? harness : std::wstring();
    }

    CScratchFolder m_root;
    std::wstring m_message;
};

} // namespace

TEST_F(HarnessLayout, TheReleasePicksTheHarnessOfTheEnginesAbi) {
    Place(L"bin", kMsvcHarness);
    Place(L"bin-mingw", kGccHarness);
    EXPECT_EQ(Choose(L"bin", BuildFile(kMsvcEngine)), In(L"bin"));
    EXPECT_EQ(Choose(L"bin", VpeTest::TestEnginePath(L"scripted_engine")), In(L"bin-mingw"));
    // No type names in the engine: the harness beside vpedrive, unless --abi says otherwise.
    const std::wstring nortti = BuildFile(L"msvc\\tests\\engines\\nortti_engine\\vpe.dll");
    EXPECT_EQ(Choose(L"bin", nortti), In(L"bin"));
    EXPECT_EQ(Choose(L"bin", nortti, ModuleAbi::Gcc), In(L"bin-mingw"));
    // --abi overrides the engine's names; without an engine it picks the harness alone.
    EXPECT_EQ(Choose(L"bin", BuildFile(kMsvcEngine), ModuleAbi::Gcc), In(L"bin-mingw"));
    EXPECT_EQ(Choose(L"bin", L"", ModuleAbi::Gcc), In(L"bin-mingw"));
    EXPECT_EQ(Choose(L"bin", L""), In(L"bin"));
}

TEST_F(HarnessLayout, TheBuildTreePicksMsvcBinForAnMsvcEngine) {
    Place(L"bin", kGccHarness);
    Place(L"msvc\\bin", kMsvcHarness);
    EXPECT_EQ(Choose(L"bin", BuildFile(kMsvcEngine)), In(L"msvc\\bin"));
    EXPECT_EQ(Choose(L"bin", VpeTest::TestEnginePath(L"scripted_engine")), In(L"bin"));
}

TEST_F(HarnessLayout, AHarnessIsJudgedByItsOwnNamesNotItsFolder) {
    Place(L"bin", kGccHarness);
    Place(L"bin-mingw", kMsvcHarness);
    EXPECT_EQ(Choose(L"bin", BuildFile(kMsvcEngine)), In(L"bin-mingw"));
    EXPECT_EQ(Choose(L"bin", VpeTest::TestEnginePath(L"scripted_engine")), In(L"bin"));
}

TEST_F(HarnessLayout, AMissingHarnessOfTheNeededAbiIsNamedWithWhereItWasLookedFor) {
    Place(L"bin", kGccHarness);
    EXPECT_EQ(Choose(L"bin", BuildFile(kMsvcEngine)), L"");
    EXPECT_NE(m_message.find(L"no harness of the x86 MSVC ABI"), std::wstring::npos) << m_message;
    EXPECT_NE(m_message.find(L"vpe.dll\" is built for"), std::wstring::npos) << m_message;
    EXPECT_NE(m_message.find(In(L"bin-mingw")), std::wstring::npos) << m_message;
    EXPECT_NE(m_message.find(L"--harness PATH"), std::wstring::npos) << m_message;
    EXPECT_EQ(Choose(L"bin", L"", ModuleAbi::Msvc), L"");
    EXPECT_NE(m_message.find(L"as --abi asks"), std::wstring::npos) << m_message;
}

// vpedrive.exe in build/bin runs an MSVC-ABI engine under build/msvc/bin's harness, and a copy
// of it beside the GCC-ABI harness alone ends with its status for a missing harness.
TEST_F(HarnessLayout, VpedriveRunStartsTheHarnessOfTheEnginesAbi) {
    Corvinex::Driver::CDeveloperSettingsGuard settings;
    const std::wstring engine = QuoteArgument(BuildFile(kMsvcEngine));
    VpeTest::VpedriveRun run =
        VpeTest::RunVpedrive(L"run --engine " + engine + L" IsEngineRunning");
    EXPECT_EQ(run.status, 0u) << run.output;
    EXPECT_NE(run.output.find(VpeTest::Utf8(L"harness: " +
                                            Corvinex::Driver::FullPath(BuildFile(kMsvcHarness)))),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("Init returned 1"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("end: exited, exit code 0"), std::string::npos) << run.output;

    Place(L"bin", kGccHarness);
    ASSERT_TRUE(CopyFileW(VpeTest::VpedrivePath().c_str(),
                          (m_root.Path() + L"bin\\vpedrive.exe").c_str(), FALSE));
    VpeTest::VpedriveRun alone =
        VpeTest::RunVpedrive(L"run --engine " + engine + L" IsEngineRunning", 90000,
                             m_root.Path() + L"bin\\vpedrive.exe");
    EXPECT_EQ(alone.status, static_cast<DWORD>(kStatusNoHarnessOfAbi)) << alone.output;
    EXPECT_NE(alone.output.find("no harness of the x86 MSVC ABI"), std::string::npos)
        << alone.output;
}

// The same layouts with the x64 harnesses: each engine gets the harness of its machine type and
// ABI, told by the harness's own PE header and type names.
class X64HarnessLayout : public HarnessLayout {
protected:
    void SetUp() override {
        if (!VpeTest::X64BuildsPresent())
            GTEST_SKIP() << "the x64 builds (build/x64, build/msvc-x64) are not there";
        HarnessLayout::SetUp();
    }
};

TEST_F(X64HarnessLayout, TheReleasePicksTheHarnessOfTheEnginesMachineTypeAndAbi) {
    Place(L"bin", kMsvcHarness);
    Place(L"bin-mingw", kGccHarness);
    Place(L"bin-x64", kX64MsvcHarness);
    Place(L"bin-x64-mingw", kX64GccHarness);
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64MsvcEngine)), In(L"bin-x64"));
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64GccEngine)), In(L"bin-x64-mingw"));
    EXPECT_EQ(Choose(L"bin", BuildFile(kMsvcEngine)), In(L"bin"));
    EXPECT_EQ(Choose(L"bin", VpeTest::TestEnginePath(L"scripted_engine")), In(L"bin-mingw"));
    // --abi names the ABI; the machine type stays the engine's.
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64MsvcEngine), ModuleAbi::Gcc), In(L"bin-x64-mingw"));
    // No type names: the ABI of the harness beside vpedrive.exe, on the engine's machine type.
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64Nortti)), In(L"bin-x64"));
}

TEST_F(X64HarnessLayout, TheBuildTreePicksX64BinAndMsvcX64Bin) {
    Place(L"bin", kGccHarness);
    Place(L"msvc\\bin", kMsvcHarness);
    Place(L"x64\\bin", kX64GccHarness);
    Place(L"msvc-x64\\bin", kX64MsvcHarness);
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64MsvcEngine)), In(L"msvc-x64\\bin"));
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64GccEngine)), In(L"x64\\bin"));
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64Nortti)), In(L"x64\\bin"));
    EXPECT_EQ(Choose(L"bin", BuildFile(kMsvcEngine)), In(L"msvc\\bin"));
}

TEST_F(X64HarnessLayout, AHarnessOfAnotherMachineTypeIsNeverPicked) {
    // Each folder holds the program another folder's name promises.
    Place(L"bin", kMsvcHarness);
    Place(L"bin-mingw", kX64GccHarness);
    Place(L"bin-x64", kGccHarness);
    Place(L"bin-x64-mingw", kX64MsvcHarness);
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64GccEngine)), In(L"bin-mingw"));
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64MsvcEngine)), In(L"bin-x64-mingw"));
    EXPECT_EQ(Choose(L"bin", VpeTest::TestEnginePath(L"scripted_engine")), In(L"bin-x64"));
}

TEST_F(X64HarnessLayout, AMissingX64HarnessAndAMachineTypeNotBuiltAreNamed) {
    Place(L"bin", kMsvcHarness);
    Place(L"bin-mingw", kGccHarness);
    EXPECT_EQ(Choose(L"bin", BuildFile(kX64MsvcEngine)), L"");
    EXPECT_NE(
        m_message.find(L"no harness of the x64 MSVC ABI (the machine type and ABI the engine"),
        std::wstring::npos)
        << m_message;
    EXPECT_NE(m_message.find(In(L"bin-x64")), std::wstring::npos) << m_message;
    EXPECT_NE(m_message.find(In(L"msvc-x64\\bin")), std::wstring::npos) << m_message;

    // An ARM64 library: no folder is looked in, and vpedrive run ends with its status 9.
    const std::wstring arm64 = m_root.Path() + L"arm64.dll";
    ASSERT_TRUE(VpeTest::CopyWithMachine(BuildFile(kMsvcEngine), arm64, 0xAA64));
    EXPECT_EQ(Choose(L"bin", arm64), L"");
    EXPECT_NE(m_message.find(L"no harness of the ARM64 MSVC ABI exists"), std::wstring::npos)
        << m_message;
    EXPECT_NE(m_message.find(L"vpetest.exe is built for x86 and x64 only"), std::wstring::npos)
        << m_message;
    const VpeTest::VpedriveRun run =
        VpeTest::RunVpedrive(L"run --engine " + QuoteArgument(arm64) + L" IsEngineRunning");
    EXPECT_EQ(run.status, static_cast<DWORD>(kStatusNoHarnessOfAbi)) << run.output;
    EXPECT_NE(run.output.find("no harness of the ARM64 MSVC ABI exists"), std::string::npos)
        << run.output;
}
