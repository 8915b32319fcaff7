// Helpers of the check log tests: scratch folders, raw file reading, the expected records and a
// pause recorder that notes what was on disk when each pause began.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace CheckLogTest {

// Forward-slash copy of a path.
inline std::wstring Forward(std::wstring s) {
    for (wchar_t& c : s) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    return s;
}

// A folder of the test's own below the temporary folder, removed with its files.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& name) {
        wchar_t temp[MAX_PATH] = {0};
        GetTempPathW(MAX_PATH, temp);
        m_path = std::wstring(temp) + name + L"_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~ScratchFolder() {
        for (const std::wstring& file : m_files) {
            DeleteFileW(file.c_str());
        }
        RemoveDirectoryW(m_path.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // A file path in the folder (backslash form), deleted with the folder.
    std::wstring File(const std::wstring& name) {
        m_files.push_back(m_path + name);
        return m_files.back();
    }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
    std::vector<std::wstring> m_files;
};

inline bool FileIsThere(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

inline bool FolderIsThere(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The raw bytes of a file (empty when it cannot be read), read with full sharing.
inline std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

// The lines of a file, each without its CR LF; a CR or LF anywhere else stays in its line, and
// text after the last CR LF becomes a last line of its own.
inline std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    if (start < bytes.size()) {
        lines.push_back(bytes.substr(start));
    }
    return lines;
}

// True when the text starts with a 19-character timestamp "YYYY-MM-DD hh:mm:ss".
inline bool HasTimestampShape(const std::string& text) {
    const char shape[] = "dddd-dd-dd dd:dd:dd";
    if (text.size() < 19) {
        return false;
    }
    for (size_t i = 0; i < 19; ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) {
            return false;
        }
    }
    return true;
}

// The record of a line: what follows the 19-character timestamp and its space.
inline std::string RecordOf(const std::string& line) {
    return line.size() >= 20 ? line.substr(20) : std::string();
}

// The 24 records of the fake run, in order.
inline std::vector<std::string> ExpectedFakeRun() {
    const std::string e1 = "VPE CHECK HTTP 192.0.2.10:80 ";
    const std::string e2 = "VPE CHECK HTTP 198.51.100.20:80 ";
    const std::string e3 = "VPE CHECK HTTP 203.0.113.30:80 ";
    const std::string e4 = "VPE CHECK HTTP 192.0.2.40:8080 ";
    return {"VPE CHECK BEGIN",
            e1 + "BEGIN",
            e1 + "PING 499",
            e1 + "ANONYMITY PASSED",
            e1 + "AUTHENTICITY PASSED",
            e1 + "PASSED",
            e1 + "END",
            e2 + "BEGIN",
            e2 + "TIMEOUT 3000",
            e2 + "FAILED",
            e2 + "END",
            e3 + "BEGIN",
            e3 + "PING 120",
            e3 + "ANONYMITY PASSED",
            e3 + "AUTHENTICITY FAILED",
            e3 + "FAILED",
            e3 + "END",
            e4 + "BEGIN",
            e4 + "PING 220",
            e4 + "ANONYMITY PASSED",
            e4 + "AUTHENTICITY PASSED",
            e4 + "PASSED",
            e4 + "END",
            "VPE CHECK END"};
}

// One pause as the recorder saw it: its length and how many lines the watched file held then.
struct RecordedPause {
    int milliseconds;
    size_t linesOnDisk;
    bool operator==(const RecordedPause& other) const {
        return milliseconds == other.milliseconds && linesOnDisk == other.linesOnDisk;
    }
};

// Installed as the pause of the endpoint check: takes no time, notes every pause.
class PauseRecorder {
public:
    static std::vector<RecordedPause>& Pauses() {
        static std::vector<RecordedPause> pauses;
        return pauses;
    }
    static std::wstring& WatchedFile() {
        static std::wstring file;
        return file;
    }
    static void Record(int milliseconds) {
        size_t lines = WatchedFile().empty() ? 0 : SplitLines(ReadBytes(WatchedFile())).size();
        Pauses().push_back({milliseconds, lines});
    }
    static int Total() {
        int total = 0;
        for (const RecordedPause& p : Pauses()) {
            total += p.milliseconds;
        }
        return total;
    }
};

} // namespace CheckLogTest
