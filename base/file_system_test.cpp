#include "base/file_system.h"

#include "testsupport/file_bytes.h"
#include "testsupport/scratch_folder.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using namespace Corvinex;

namespace {

using VpeTest::MakeTime;
using VpeTest::TimeValue;

// A scratch folder whose paths come back as the program's strings.
class ScratchFolder {
public:
    explicit ScratchFolder(const wchar_t* name) : m_folder(L"fs", name) {}
    CWideString Path(const wchar_t* relative = L"") const {
        return CWideString((m_folder.Path() + relative).c_str());
    }

private:
    VpeTest::ScratchFolder m_folder;
};

bool WriteSmallFile(const CWideString& path, const char* text) {
    HANDLE h = CreateFileW(ToSystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(h);
    return ok != FALSE;
}

// Whether the file system under path keeps a creation time that was set.
bool CreationTimeSticks(const CWideString& path) {
    if (!WriteSmallFile(path, "p")) {
        return false;
    }
    FILETIME c = MakeTime(0x01D0000000000000ull);
    CEntryStamp stamp;
    bool sticks = WriteEntryTimes(path, &c, nullptr, nullptr) && ReadEntryStamp(path, stamp) &&
                  TimeValue(stamp.creation) == TimeValue(c);
    RemoveFile(path);
    return sticks;
}

} // namespace

TEST(SystemPath, SlashesTurnAndShortPathsStayPlain) {
    EXPECT_STREQ(L"C:\\a\\b.txt", ToSystemPath(CWideString(L"C:/a/b.txt")).c_str());
    EXPECT_STREQ(L"C:\\a", ToSystemPath(CWideString(L"C:/a/")).c_str());
    EXPECT_STREQ(L"C:\\", ToSystemPath(CWideString(L"C:/")).c_str());
}

TEST(SystemPath, LongAbsolutePathsGetThePrefix) {
    std::wstring longPath = L"C:/" + std::wstring(300, L'x') + L"/f";
    CWideString system = ToSystemPath(CWideString(longPath.c_str()));
    EXPECT_EQ(0, wcsncmp(system.c_str(), L"\\\\?\\C:\\xxx", 10));
    std::wstring share = L"//srv/share/" + std::wstring(300, L'y');
    EXPECT_EQ(0, wcsncmp(ToSystemPath(CWideString(share.c_str())).c_str(),
                         L"\\\\?\\UNC\\srv\\share\\", 18));
}

TEST(FileSystem, TimesAndAttributesOfANonAnsiFileInADeepFolder) {
    ScratchFolder root(L"deep");
    CWideString folder = root.Path();
    // A folder chain that takes the path well beyond MAX_PATH.
    for (int i = 0; i < 12; ++i) {
        folder = folder + CWideString(L"\u0416\u4e2d_folder_level_name_") + CWideString(L"/");
        ASSERT_TRUE(MakeFolder(folder)) << i;
    }
    CWideString file = folder + CWideString(L"\u00e9t\u00e9\u4e2d.bin");
    ASSERT_GT(file.GetLength(), MAX_PATH);
    ASSERT_TRUE(WriteSmallFile(file, "content"));
    EXPECT_TRUE(IsExistingFile(file));
    EXPECT_FALSE(IsExistingFolder(file));
    EXPECT_TRUE(IsExistingFolder(folder));
    uint64_t size = 0;
    ASSERT_TRUE(GetEntrySize(file, size));
    EXPECT_EQ(7u, size);

    FILETIME c = MakeTime(0x01D5000011112222ull);
    FILETIME a = MakeTime(0x01D6000033334444ull);
    FILETIME w = MakeTime(0x01D7000055556666ull);
    ASSERT_TRUE(WriteEntryTimes(file, &c, &a, &w));
    ASSERT_TRUE(SetEntryAttributes(file, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    CEntryStamp stamp;
    ASSERT_TRUE(ReadEntryStamp(file, stamp));
    // Wine on Linux keeps no settable creation time: it reports its own whatever was set.
    if (CreationTimeSticks(root.Path(L"probe"))) {
        EXPECT_EQ(TimeValue(c), TimeValue(stamp.creation));
    }
    EXPECT_EQ(TimeValue(a), TimeValue(stamp.lastAccess));
    EXPECT_EQ(TimeValue(w), TimeValue(stamp.lastWrite));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              stamp.nAttributes & 0x7);
    EXPECT_TRUE(SetEntryAttributes(file, FILE_ATTRIBUTE_NORMAL));
}

TEST(FileSystem, TempFileReplacesTheTargetInOneStep) {
    ScratchFolder root(L"replace");
    CWideString target = root.Path(L"data.bin");
    ASSERT_TRUE(WriteSmallFile(target, "old"));
    HANDLE h = INVALID_HANDLE_VALUE;
    CWideString temp;
    ASSERT_TRUE(CreateTempFileBeside(target, h, temp));
    EXPECT_TRUE(IsExistingFile(temp));
    DWORD written = 0;
    WriteFile(h, "newer", 5, &written, nullptr);
    CloseHandle(h);
    uint64_t size = 0;
    GetEntrySize(target, size);
    EXPECT_EQ(3u, size);
    ASSERT_TRUE(ReplaceWithFile(temp, target));
    GetEntrySize(target, size);
    EXPECT_EQ(5u, size);
    EXPECT_FALSE(IsExistingFile(temp));
    EXPECT_TRUE(RemoveFile(target));
    EXPECT_FALSE(IsExistingFile(target));
}

TEST(FileSystem, MissingEntriesAnswerNo) {
    ScratchFolder root(L"missing");
    CWideString missing = root.Path(L"none.txt");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetEntryAttributes(missing));
    EXPECT_FALSE(IsExistingFile(missing));
    CEntryStamp stamp;
    EXPECT_FALSE(ReadEntryStamp(missing, stamp));
    EXPECT_FALSE(WriteEntryTimes(missing, nullptr, nullptr, nullptr));
    uint64_t size = 0;
    EXPECT_FALSE(GetEntrySize(root.Path(), size));
    // A wildcard names no file, even when files exist.
    ASSERT_TRUE(WriteSmallFile(root.Path(L"a.txt"), "x"));
    EXPECT_FALSE(IsExistingFile(root.Path(L"*")));
}

TEST(FileSystem, OpenTempFileIsRenamedAndStampedThroughItsHandle) {
    ScratchFolder root(L"handle");
    CWideString target = root.Path(L"\u4e2d data.bin");
    ASSERT_TRUE(WriteSmallFile(target, "old"));
    HANDLE h = INVALID_HANDLE_VALUE;
    CWideString temp;
    ASSERT_TRUE(CreateTempFileBeside(target, h, temp));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "newer", 5, &written, nullptr));
    EXPECT_FALSE(RenameOpenFile(h, CWideString(L"relative.bin"))); // only absolute targets
    ASSERT_TRUE(RenameOpenFile(h, target));
    FILETIME a = MakeTime(0x01D6000033334444ull), w = MakeTime(0x01D7000055556666ull);
    EXPECT_TRUE(WriteHandleStamp(h, nullptr, &a, &w, FILE_ATTRIBUTE_HIDDEN));
    CloseHandle(h);
    EXPECT_FALSE(IsExistingFile(temp));
    CEntryStamp stamp;
    ASSERT_TRUE(ReadEntryStamp(target, stamp));
    EXPECT_EQ(5u, stamp.nSize);
    EXPECT_EQ(TimeValue(a), TimeValue(stamp.lastAccess));
    EXPECT_EQ(TimeValue(w), TimeValue(stamp.lastWrite));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN), stamp.nAttributes & 0x7);

    // A directory search reports the same stamp.
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(ToSystemPath(target).c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    CEntryStamp found = StampOfFoundEntry(data);
    EXPECT_EQ(stamp.nAttributes, found.nAttributes);
    EXPECT_EQ(stamp.nSize, found.nSize);
    EXPECT_EQ(TimeValue(stamp.lastWrite), TimeValue(found.lastWrite));
    EXPECT_EQ(TimeValue(stamp.lastAccess), TimeValue(found.lastAccess));
}

namespace {

// Starts append_writer.exe to append `count` lines tagged `tag` to path; null when it cannot.
HANDLE StartAppender(const CWideString& path, const wchar_t* tag, int count) {
    const std::wstring program = VpeTest::ProgramFolder() + L"append_writer.exe";
    std::wstring commandLine = L"\"" + program + L"\" \"" + ToSystemPath(path).c_str() + L"\" " +
                               tag + L" " + std::to_wstring(count);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

} // namespace

TEST(FileSystem, AppendsOfTwoProcessesAtOnceAllLandWhole) {
    ScratchFolder folder(L"append");
    const CWideString path = folder.Path(L"shared.log");
    const int count = 1000;
    HANDLE writers[2] = {StartAppender(path, L"a", count), StartAppender(path, L"b", count)};
    ASSERT_NE(writers[0], nullptr);
    ASSERT_NE(writers[1], nullptr);
    EXPECT_EQ(WaitForMultipleObjects(2, writers, TRUE, 120000), WAIT_OBJECT_0);
    for (HANDLE writer : writers) {
        DWORD code = 99;
        EXPECT_TRUE(GetExitCodeProcess(writer, &code));
        EXPECT_EQ(code, 0u);
        CloseHandle(writer);
    }
    // Every line is whole, and each writer's lines are all there in the order it wrote them.
    const VpeTest::Bytes bytes = VpeTest::ReadBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    int next[2] = {0, 0};
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        ASSERT_NE(end, std::string::npos) << "unended last line";
        const std::string line = text.substr(at, end - at);
        ASSERT_TRUE(line.size() > 2 && (line[0] == 'a' || line[0] == 'b') && line[1] == ' ')
            << line;
        int& expected = next[line[0] - 'a'];
        ASSERT_EQ(line.substr(2), std::to_string(expected)) << "line " << at;
        ++expected;
        at = end + 1;
    }
    EXPECT_EQ(next[0], count);
    EXPECT_EQ(next[1], count);
    RemoveFile(path);
}
