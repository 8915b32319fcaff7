// vpetest.exe loaded as a module by another program: its start-up code never runs, yet its three
// exports answer, and the registration stubs still ask the registry whether to show their box.
#include "engine/engine_interface.h"
#include "testsupport/module_imports.h"
#include "testsupport/test_paths.h"
#include "tools/driver/message_box.h"
#include "tools/driver/registry_backup.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace Driver = Corvinex::Driver;

namespace {

typedef HRESULT(__stdcall* RegistrationStub)();

template <class F> F Export(HMODULE module, LPCSTR name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

LPCSTR Ordinal(WORD ordinal) {
    return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal));
}

class LoadedHarness : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring path = VpeTest::ProgramFolder() + L"..\\bin\\vpetest.exe";
        m_module = LoadLibraryW(path.c_str());
        ASSERT_NE(nullptr, m_module) << GetLastError();
        VpeTest::ApplyModuleRelocations(m_module);
        ASSERT_TRUE(VpeTest::BindModuleImports(m_module));
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvinex\\DeveloperSettings");
    }
    void TearDown() override {
        if (m_module != nullptr) {
            FreeLibrary(m_module);
        }
    }

    // Calls the stub while a second thread answers the boxes it opens; returns their texts.
    static std::vector<Driver::SeenBox> CallAnsweringBoxes(RegistrationStub stub, HRESULT* result) {
        std::vector<Driver::SeenBox> boxes;
        volatile bool done = false;
        std::thread answerer([&boxes, &done]() {
            std::vector<HWND> answered;
            while (!done) {
                for (HWND box : Driver::FindMessageBoxes(GetCurrentProcessId())) {
                    if (std::find(answered.begin(), answered.end(), box) != answered.end()) {
                        continue;
                    }
                    answered.push_back(box);
                    boxes.push_back(Driver::ReadMessageBox(box, 5000));
                    Driver::ConfirmMessageBox(box);
                }
                Sleep(50);
            }
        });
        *result = stub();
        done = true;
        answerer.join();
        return boxes;
    }

    HMODULE m_module = nullptr;
    Driver::CDeveloperSettingsGuard m_guard;
};

} // namespace

// shell32 is bound on first use: importing it would load it (and the libraries it brings) before
// the window shows.
TEST_F(LoadedHarness, DoesNotImportTheShell) {
    EXPECT_TRUE(VpeTest::ImportsLibrary(m_module, "user32.dll"));
    EXPECT_FALSE(VpeTest::ImportsLibrary(m_module, "shell32.dll"));
}

TEST_F(LoadedHarness, ExportsCarryTheirNamesAndOrdinals) {
    EXPECT_EQ(Export<void*>(m_module, "DllRegisterServer"), Export<void*>(m_module, Ordinal(1)));
    EXPECT_EQ(Export<void*>(m_module, "DllUnregisterServer"), Export<void*>(m_module, Ordinal(2)));
    EXPECT_EQ(Export<void*>(m_module, "GetCorvinexEngine"), Export<void*>(m_module, Ordinal(3)));
    EXPECT_NE(nullptr, Export<void*>(m_module, Ordinal(3)));

    auto* base = reinterpret_cast<BYTE*>(m_module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    EXPECT_STREQ("vpetest.exe", reinterpret_cast<const char*>(base + exports->Name));
}

TEST_F(LoadedHarness, FactoryYieldsNoEngine) {
    auto factory = Export<Corvinex::EngineFactoryFunc>(m_module, "GetCorvinexEngine");
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(nullptr, factory());
}

TEST_F(LoadedHarness, RegistrationStubsSucceedSilentlyWithTheBoxOff) {
    HRESULT result = 1;
    std::vector<Driver::SeenBox> boxes =
        CallAnsweringBoxes(Export<RegistrationStub>(m_module, "DllRegisterServer"), &result);
    EXPECT_EQ(0, result);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LoadedHarness, RegistrationStubsReportThroughTheBoxWhenItIsOn) {
    ASSERT_TRUE(m_guard.EnableMessageBox(true));
    const char* names[] = {"DllRegisterServer", "DllUnregisterServer"};
    for (const char* name : names) {
        HRESULT result = 1;
        std::vector<Driver::SeenBox> boxes =
            CallAnsweringBoxes(Export<RegistrationStub>(m_module, name), &result);
        EXPECT_EQ(0, result) << name;
        ASSERT_EQ(1u, boxes.size()) << name;
        EXPECT_EQ(L"Internal Error", boxes[0].caption);
        EXPECT_EQ(L"Inherit Corvinex::TSetupDLL<> to implement DLL registry.", boxes[0].text);
    }
}
