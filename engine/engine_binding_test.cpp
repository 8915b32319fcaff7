#include "engine/engine_binding.h"

#include "base/folders.h"
#include "testsupport/machine_type.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace Corvinex;
using Corvinex::VeilpathEngine::CEngineVeilpathDLLAPI;
using Corvinex::VeilpathEngine::IVeilpathEngine;
using VpeTest::Forward;
using VpeTest::SystemCurrentDirectory;
using VpeTest::TestEnginePath;

namespace {

bool IsLoaded(const std::wstring& path) {
    return GetModuleHandleW(path.c_str()) != nullptr;
}

// The production binding, with the one seam a test needs: Init asks the virtual Load for the
// path it chose, which is recorded and, when a redirection is set, replaced by a test engine.
class ProbeBinding final : public CEngineVeilpathDLLAPI {
public:
    explicit ProbeBinding(const std::wstring& redirect = std::wstring()) : redirect(redirect) {}
    int Load(const wchar_t* path) override {
        requested = path;
        return CEngineVeilpathDLLAPI::Load(redirect.empty() ? path : redirect.c_str());
    }
    HMODULE Module() const { return hModule; }
    std::wstring Path() const { return strPath.c_str(); }
    std::wstring FactoryName() {
        return std::wstring(CWideString(GetFactoryName().c_str()).c_str());
    }
    std::wstring DLLName() { return GetDLLName().c_str(); }
    void CallUnload() { Unload(); }

    std::wstring redirect;
    std::wstring requested;
};

// A binding that names its library but not its factory.
class NamelessFactoryBinding : public TEngineDLLAPI<IVeilpathEngine> {
public:
    explicit NamelessFactoryBinding(const std::wstring& redirect) : redirect(redirect) {}
    int Load(const wchar_t*) override { return TEngineDLLAPI::Load(redirect.c_str()); }
    std::wstring FactoryName() {
        return std::wstring(CWideString(GetFactoryName().c_str()).c_str());
    }

protected:
    CWideString GetDLLName() override { return CWideString(L"vpe.dll"); }

private:
    std::wstring redirect;
};

// Each case must leave the current directory where it found it.
class BindingTest : public ::testing::Test {
protected:
    void SetUp() override { start = SystemCurrentDirectory(); }
    void TearDown() override {
        EXPECT_EQ(start, SystemCurrentDirectory()) << "the current directory was left changed";
    }
    std::wstring start;
};

// A scratch folder of the test's own holding one file, removed afterwards.
class ScratchFile {
public:
    explicit ScratchFile(const std::vector<char>& bytes) {
        wchar_t temp[MAX_PATH] = {0};
        GetTempPathW(MAX_PATH, temp);
        m_folder = std::wstring(temp) + L"vpe_bind_" + std::to_wstring(GetCurrentProcessId()) +
                   L"_" + std::to_wstring(GetTickCount());
        CreateDirectoryW(m_folder.c_str(), nullptr);
        m_path = m_folder + L"\\vpe.dll";
        std::ofstream out(m_path.c_str(), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~ScratchFile() {
        DeleteFileW(m_path.c_str());
        RemoveDirectoryW(m_folder.c_str());
    }
    const std::wstring& Folder() const { return m_folder; }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_folder;
    std::wstring m_path;
};

std::vector<char> ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
}

template <class F> F Export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

TEST_F(BindingTest, NamesOfTheVeilpathBinding) {
    ProbeBinding binding;
    EXPECT_EQ(L"GetCorvinexEngine", binding.FactoryName());
    EXPECT_EQ(L"vpe.dll", binding.DLLName());
    EXPECT_EQ(nullptr, binding.pEngine);
    EXPECT_EQ(nullptr, binding.pVeilpathEngine);
    EXPECT_EQ(nullptr, binding.Module());
}

TEST_F(BindingTest, InitLooksOnlyBesideTheRunningProgram) {
    ProbeBinding binding;
    EXPECT_EQ(kBindNoSuchFile, binding.Init());
    EXPECT_EQ(Forward(VpeTest::ProgramFolder()) + L"vpe.dll", binding.requested);
    EXPECT_EQ(std::wstring(GetApplicationFolder().c_str()) + L"vpe.dll", binding.requested);
    EXPECT_EQ(nullptr, binding.Module());
}

TEST_F(BindingTest, LibraryInTheCurrentDirectoryOnlyIsNotFound) {
    ScratchFile copy(ReadAll(TestEnginePath(L"slot_engine")));
    ASSERT_TRUE(SetCurrentDirectoryW(copy.Folder().c_str()));
    std::wstring inside = SystemCurrentDirectory();
    {
        CEngineVeilpathDLLAPI binding;
        EXPECT_EQ(kBindNoSuchFile, binding.Init());
        EXPECT_EQ(nullptr, binding.pVeilpathEngine);
        EXPECT_FALSE(IsLoaded(copy.Path()));
    }
    EXPECT_EQ(inside, SystemCurrentDirectory());
    SetCurrentDirectoryW(start.c_str());
}

TEST_F(BindingTest, GoodEngineIsBoundAndCallable) {
    std::wstring path = TestEnginePath(L"slot_engine");
    ProbeBinding binding(path);
    ASSERT_EQ(kBindDone, binding.Init());
    ASSERT_NE(nullptr, binding.pVeilpathEngine);
    EXPECT_EQ(static_cast<IEngine*>(binding.pVeilpathEngine), binding.pEngine);
    EXPECT_TRUE(IsLoaded(path));
    EXPECT_EQ(Forward(path), binding.Path());
    EXPECT_EQ(101, binding.pVeilpathEngine->IsInstalled());
    EXPECT_EQ(128, binding.pVeilpathEngine->GetLastResult());
    EXPECT_STREQ(L"192.0.2.29", binding.pVeilpathEngine->GetRealIP().c_str());
}

TEST_F(BindingTest, SecondInitAnswers22AndKeepsTheEngine) {
    ProbeBinding binding(TestEnginePath(L"slot_engine"));
    ASSERT_EQ(kBindDone, binding.Init());
    IVeilpathEngine* engine = binding.pVeilpathEngine;
    HMODULE module = binding.Module();
    EXPECT_EQ(kBindAlreadyLoaded, binding.Init());
    EXPECT_EQ(engine, binding.pVeilpathEngine);
    EXPECT_EQ(module, binding.Module());
}

TEST_F(BindingTest, LibraryWithoutFactoryAnswers1AndIsReleased) {
    std::wstring path = TestEnginePath(L"noexport_engine");
    ProbeBinding binding(path);
    EXPECT_EQ(kBindNoEngine, binding.Init());
    EXPECT_FALSE(IsLoaded(path));
    EXPECT_EQ(nullptr, binding.Module());
    EXPECT_EQ(nullptr, binding.pEngine);
    EXPECT_EQ(nullptr, binding.pVeilpathEngine);
}

TEST_F(BindingTest, FactoryReturningNothingAnswers1AndIsReleased) {
    std::wstring path = TestEnginePath(L"null_engine");
    ProbeBinding binding(path);
    EXPECT_EQ(kBindNoEngine, binding.Init());
    EXPECT_FALSE(IsLoaded(path));
    EXPECT_EQ(nullptr, binding.pEngine);
    EXPECT_EQ(nullptr, binding.pVeilpathEngine);
}

TEST_F(BindingTest, EngineOfAnotherTypeAnswers1AndStaysLoadedUntilTheBindingGoes) {
    std::wstring path = TestEnginePath(L"foreign_engine");
    {
        ProbeBinding binding(path);
        EXPECT_EQ(kBindNoEngine, binding.Init());
        EXPECT_NE(nullptr, binding.pEngine);
        EXPECT_EQ(nullptr, binding.pVeilpathEngine);
        EXPECT_TRUE(IsLoaded(path));
        EXPECT_EQ(900, binding.pEngine->GetInterfaceVersion()) << "the foreign object itself";
    }
    EXPECT_FALSE(IsLoaded(path));
}

// A lookalike interface with the same slots, and an engine built without type information:
// both are of the wrong type, and the library stays loaded until the binding goes.
TEST_F(BindingTest, LookalikeOrUntypedEngineAnswers1AndStaysLoaded) {
    for (const wchar_t* name : {L"lookalike_engine", L"nortti_engine"}) {
        SCOPED_TRACE(name);
        std::wstring path = TestEnginePath(name);
        {
            ProbeBinding binding(path);
            EXPECT_EQ(kBindNoEngine, binding.Init());
            EXPECT_NE(nullptr, binding.pEngine);
            EXPECT_EQ(nullptr, binding.pVeilpathEngine);
            EXPECT_TRUE(IsLoaded(path));
        }
        EXPECT_FALSE(IsLoaded(path));
    }
}

TEST_F(BindingTest, FaultInTheEnginesInitialisationAnswers20) {
    std::wstring path = TestEnginePath(L"dllmain_fault_engine");
    ProbeBinding binding(path);
    EXPECT_EQ(kBindRefused, binding.Init());
    EXPECT_FALSE(IsLoaded(path));
    EXPECT_EQ(nullptr, binding.pEngine);
}

TEST_F(BindingTest, EngineNeedingAnAbsentLibraryAnswers20) {
    std::wstring path = TestEnginePath(L"missing_dep_engine");
    ProbeBinding binding(path);
    EXPECT_EQ(kBindRefused, binding.Init());
    EXPECT_FALSE(IsLoaded(path));
}

TEST_F(BindingTest, TextFileNamedVpeDllAnswers20) {
    std::string text = "not a library at all\r\n";
    ScratchFile file(std::vector<char>(text.begin(), text.end()));
    ProbeBinding binding(file.Path());
    EXPECT_EQ(kBindRefused, binding.Init());
    EXPECT_EQ(nullptr, binding.Module());
}

TEST_F(BindingTest, EngineBuiltForAnotherMachineAnswers20) {
    std::vector<char> image = ReadAll(TestEnginePath(L"slot_engine"));
    ASSERT_GT(image.size(), 0x100u);
    uint32_t peOffset = 0;
    memcpy(&peOffset, &image[0x3C], 4);
    memcpy(&image[peOffset + 4], &VpeTest::kOtherBuiltMachine, 2);
    ScratchFile file(image);
    ProbeBinding binding(file.Path());
    EXPECT_EQ(kBindRefused, binding.Init());
    EXPECT_EQ(nullptr, binding.Module());
}

TEST_F(BindingTest, TwoBindingsKeepTheLibraryUntilBothAreGone) {
    std::wstring path = TestEnginePath(L"slot_engine");
    auto window = std::make_unique<ProbeBinding>(path);
    ASSERT_EQ(kBindDone, window->Init());
    {
        ProbeBinding command(path);
        ASSERT_EQ(kBindDone, command.Init());
        EXPECT_EQ(window->Module(), command.Module());
        EXPECT_EQ(window->pVeilpathEngine, command.pVeilpathEngine) << "one object per library";
    }
    EXPECT_TRUE(IsLoaded(path));
    EXPECT_EQ(101, window->pVeilpathEngine->IsInstalled());
    window.reset();
    EXPECT_FALSE(IsLoaded(path));
}

TEST_F(BindingTest, UnloadAndDestructionNeverCallTheEngine) {
    std::wstring path = TestEnginePath(L"slot_engine");
    // Held here as well, so the engine's record of its last call can be read afterwards.
    HMODULE held = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, held);
    auto lastSlot = Export<int (*)()>(held, "SlotEngineLastSlot");
    ASSERT_NE(nullptr, lastSlot);
    {
        ProbeBinding binding(path);
        ASSERT_EQ(kBindDone, binding.Init());
        binding.pVeilpathEngine->GetLastResult();
        ASSERT_EQ(28, lastSlot());
        binding.CallUnload();
        EXPECT_EQ(nullptr, binding.pEngine);
        EXPECT_EQ(nullptr, binding.Module());
        ASSERT_EQ(kBindDone, binding.Init() == kBindAlreadyLoaded ? 1 : 0)
            << "unloaded bindings can bind again";
        binding.pVeilpathEngine->IsEngineRunning();
        ASSERT_EQ(8, lastSlot());
    }
    EXPECT_EQ(8, lastSlot()) << "the binding called the engine while going away";
    FreeLibrary(held);
}

TEST_F(BindingTest, BindingWithoutItsOwnFactoryNameNeverFindsAFactory) {
    std::wstring path = TestEnginePath(L"slot_engine");
    NamelessFactoryBinding binding(path);
    EXPECT_EQ(L"???", binding.FactoryName());
    EXPECT_EQ(kBindNoEngine, binding.Init());
    EXPECT_FALSE(IsLoaded(path));
}

// The check helper's binding tells every way a library fails apart, by name.
TEST_F(BindingTest, TheStepwiseBindingNamesEachFailure) {
    const struct {
        const wchar_t* engine;
        int result;
    } cases[] = {{L"slot_engine", kBindDone},         {L"foreign_engine", kBindWrongType},
                 {L"nortti_engine", kBindForeignAbi}, {L"noexport_engine", kBindNoEngine},
                 {L"null_engine", kBindNoEngine},     {L"dllmain_fault_engine", kBindRefused}};
    for (const auto& item : cases) {
        SCOPED_TRACE(item.engine);
        const std::wstring path = TestEnginePath(item.engine);
        VeilpathEngine::CEngineBinding binding;
        EXPECT_EQ(item.result, binding.Bind(path.c_str()));
        EXPECT_EQ(item.result == kBindDone, binding.Engine() != nullptr);
        // Once loaded, the library stays until Release, whatever the later steps found.
        EXPECT_EQ(item.result != kBindRefused, IsLoaded(path));
        binding.Release();
        EXPECT_FALSE(IsLoaded(path));
    }
    VeilpathEngine::CEngineBinding binding;
    EXPECT_EQ(kBindNoSuchFile, binding.Bind((VpeTest::ProgramFolder() + L"none.dll").c_str()));
    ASSERT_EQ(kBindDone, binding.LoadFrom(TestEnginePath(L"noexport_engine").c_str()));
    EXPECT_FALSE(binding.ExportsFactory());
    EXPECT_EQ(kBindAlreadyLoaded, binding.LoadFrom(TestEnginePath(L"slot_engine").c_str()));
}

TEST(EngineType, AnObjectWithoutAReadableTableIsNoTable) {
    unsigned char wiped[64] = {0};
    IVeilpathEngine* typed = reinterpret_cast<IVeilpathEngine*>(wiped);
    EXPECT_EQ(kBindNoTable, CheckEngineType(reinterpret_cast<IEngine*>(wiped), &typed));
    EXPECT_EQ(nullptr, typed);
    EXPECT_EQ(kBindNoTable, CheckEngineType<IVeilpathEngine>(nullptr, &typed));
}
