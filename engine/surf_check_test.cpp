// The surf check through Wine's real shell: a recorder program registered for http addresses
// in the test prefix writes down what the shell handed it.
#include "engine/surf_check.h"

#include "base/scoped_handle.h"

#include "testsupport/quiet_engine.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

using Corvinex::CWideString;

namespace {

// Wine 8 reads HKEY_CLASSES_ROOT from the machine's classes only (a per-user handler under
// HKCU\Software\Classes is not seen), so the test swaps the machine's handler and restores it.
const wchar_t kHandlerKey[] = L"Software\\Classes\\http\\shell\\open\\command";

std::wstring ReadDefault(HKEY key) {
    wchar_t value[1024] = {0};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::wstring();
    }
    return value;
}

void WriteDefault(HKEY key, const std::wstring& text) {
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Answers GetRealIP with a chosen text; nothing else is called.
class IpEngine : public VpeTest::CQuietEngine {
public:
    explicit IpEngine(const wchar_t* ip) : m_ip(ip) {}
    CWideString GetRealIP() override { return CWideString(m_ip); }

private:
    const wchar_t* m_ip;
};

std::wstring Text(const CWideString& s) {
    return s.c_str();
}

class ShellHandler : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_record = std::wstring(temp) + L"vpe_url_record_" +
                   std::to_wstring(GetCurrentProcessId()) + L".txt";
        DeleteFileW(m_record.c_str());
        SetEnvironmentVariableW(L"VPE_URL_RECORD", m_record.c_str());
        std::wstring command = L"\"" + VpeTest::ProgramFolder() + L"url_recorder.exe\" \"%1\"";
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_LOCAL_MACHINE, kHandlerKey, 0, nullptr, 0,
                                  KEY_READ | KEY_WRITE, nullptr, m_key.Receive(), nullptr));
        m_previous = ReadDefault(m_key.Get());
        WriteDefault(m_key.Get(), command);
    }
    void TearDown() override {
        if (m_key.IsOpen()) {
            WriteDefault(m_key.Get(), m_previous);
            m_key.Close();
        }
        DeleteFileW(m_record.c_str());
    }

    // The addresses the handler received, waiting up to ten seconds for `count` of them.
    std::vector<std::string> Recorded(size_t count) {
        std::vector<std::string> lines;
        for (int i = 0; i < 100; ++i) {
            lines.clear();
            std::ifstream file(m_record.c_str());
            std::string line;
            while (std::getline(file, line)) {
                lines.push_back(line);
            }
            if (lines.size() >= count) {
                break;
            }
            Sleep(100);
        }
        return lines;
    }

    std::wstring m_record;
    std::wstring m_previous;
    Corvinex::CKeyHandle m_key;
};

} // namespace

TEST(SurfCheckUrl, RealIpIsPlacedUnchangedIntoTheQuery) {
    IpEngine engine(L"192.0.2.7");
    EXPECT_EQ(L"http://surfcheck.veilpath.example/"
              L"?product=zel6&area=surfcheck&language=de&realip=192.0.2.7&refresh=active",
              Text(Corvinex::BuildSurfCheckUrl(&engine)));
    IpEngine empty(L"");
    EXPECT_NE(std::wstring::npos,
              Text(Corvinex::BuildSurfCheckUrl(&empty)).find(L"realip=&refresh=active"));
    IpEngine odd(L"%s 100% &x=1");
    EXPECT_NE(std::wstring::npos,
              Text(Corvinex::BuildSurfCheckUrl(&odd)).find(L"realip=%s 100% &x=1&refresh=active"));
}

TEST(SurfCheckUrl, SchemeIsAddedOnlyWithoutAnyColon) {
    EXPECT_EQ(L"http://www.example.org/page", Text(Corvinex::CompleteUrl(L"www.example.org/page")));
    EXPECT_EQ(L"host.example:8080/x", Text(Corvinex::CompleteUrl(L"host.example:8080/x")));
    EXPECT_EQ(L"https://a.example/", Text(Corvinex::CompleteUrl(L"https://a.example/")));
    EXPECT_EQ(L"http://", Text(Corvinex::CompleteUrl(L"")));
    EXPECT_EQ(L"http://", Text(Corvinex::CompleteUrl(nullptr)));
}

TEST_F(ShellHandler, LaunchSurfCheckHandsTheUrlToTheRegisteredProgram) {
    IpEngine engine(L"203.0.113.9");
    EXPECT_EQ(0, Corvinex::LaunchSurfCheck(&engine));
    std::vector<std::string> lines = Recorded(1);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("http://surfcheck.veilpath.example/"
              "?product=zel6&area=surfcheck&language=de&realip=203.0.113.9&refresh=active",
              lines[0]);
}

TEST_F(ShellHandler, OpenUrlWithoutSchemeOpensItUnderHttp) {
    EXPECT_EQ(0, Corvinex::OpenURL(L"www.example.org/start"));
    std::vector<std::string> lines = Recorded(1);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("http://www.example.org/start", lines[0]);
}
