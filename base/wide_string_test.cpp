#include "base/wide_string.h"

#include "base/global_heap.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

using Corvinex::CWideString;
using Corvinex::FormatString;

namespace {

std::wstring Text(const CWideString& s) {
    return s.c_str();
}

// Records what each released block still held, and can refuse allocations.
struct HeapSpy {
    std::vector<std::vector<unsigned char>> released;
    int refuseFromCall = -1; // allocation calls counted from 0; -1 refuses none
    int calls = 0;

    static void OnRelease(const void* block, size_t bytes, void* context) {
        auto* spy = static_cast<HeapSpy*>(context);
        const auto* p = static_cast<const unsigned char*>(block);
        spy->released.emplace_back(p, p + bytes);
    }
    static bool Allow(size_t, void* context) {
        auto* spy = static_cast<HeapSpy*>(context);
        int call = spy->calls++;
        return spy->refuseFromCall < 0 || call < spy->refuseFromCall;
    }
};

class ScopedHeapSpy {
public:
    explicit ScopedHeapSpy(HeapSpy& spy) {
        Corvinex::GlobalHeapHooks hooks = {&HeapSpy::OnRelease, &HeapSpy::Allow, &spy};
        Corvinex::SetGlobalHeapHooks(&hooks);
    }
    ~ScopedHeapSpy() { Corvinex::SetGlobalHeapHooks(nullptr); }
};

bool AllZero(const std::vector<unsigned char>& bytes) {
    for (unsigned char b : bytes) {
        if (b != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(WideStringState, DefaultAndNullAssignGiveEmptyTextOfCapacityTwo) {
    CWideString s;
    EXPECT_EQ(0, s.GetLength());
    EXPECT_NE(nullptr, s.GetBufferPointer());
    EXPECT_EQ(2u, s.GetCapacity());

    CWideString t(L"abc");
    EXPECT_EQ(0, t.Assign(static_cast<const wchar_t*>(nullptr)));
    EXPECT_NE(nullptr, t.GetBufferPointer());
    EXPECT_EQ(2u, t.GetCapacity());
}

TEST(WideStringState, EmptyMakesNullButReadsAsEmptyText) {
    CWideString s(L"hello");
    s.Empty();
    EXPECT_TRUE(s.IsNull());
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(0, s.Compare(L""));
    EXPECT_EQ(-1, s.Find(L"", 0));
    EXPECT_EQ(-1, s.Find(L"h", 0));
    s.Append(L"ab");
    EXPECT_EQ(L"ab", Text(s));

    CWideString nullString(L"x");
    nullString.Empty();
    CWideString copy(nullString);
    EXPECT_FALSE(copy.IsNull());
    EXPECT_EQ(0, copy.GetLength());
}

TEST(WideStringState, CapacityFollowsTheRule) {
    CWideString s;
    EXPECT_EQ(0u, s.Allocate(0));
    EXPECT_TRUE(s.IsNull());
    const uint32_t cases[][2] = {{1, 2},     {2, 4},     {10, 20},   {100, 200},
                                 {255, 510}, {256, 256}, {300, 344}, {3001, 3186}};
    for (const auto& c : cases) {
        EXPECT_EQ(c[1], s.Allocate(c[0])) << c[0];
        EXPECT_EQ(c[1], s.GetCapacity());
        EXPECT_EQ(0, s.GetLength());
    }
    s.Assign(L"123456789");
    EXPECT_EQ(20u, s.GetCapacity());
}

TEST(WideStringState, GetBufferThenLengthCountsWhatThePlatformWrote) {
    CWideString s(L"old");
    wchar_t* buffer = s.GetBuffer(3000);
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(L'o', buffer[0]);
    wcscpy(buffer, L"2026-12-08 17:45:01");
    EXPECT_EQ(19, s.GetLength());
    EXPECT_EQ(40u, s.GetCapacity());
    EXPECT_EQ(L"2026-12-08 17:45:01", Text(s));

    EXPECT_EQ(nullptr, s.GetBuffer(0));
    EXPECT_TRUE(s.IsNull());
}

TEST(WideStringState, GetBufferKeepsOnlyTheFirstNCharacters) {
    CWideString s(L"abcdef");
    wchar_t* buffer = s.GetBuffer(3);
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(L"abc", std::wstring(buffer));
}

TEST(WideStringConst, QueriesOnAConstStringRecountWhatGetBufferTookIn) {
    CWideString s(L"old");
    wcscpy(s.GetBuffer(100), L"abcabc");
    const CWideString& text = s;
    EXPECT_EQ(6, text.GetLength());
    EXPECT_EQ(14u, text.GetCapacity());
    EXPECT_EQ(3, text.Find(L"abc", 1));
    EXPECT_EQ(L"ca", Text(text.Mid(2, 2)));
    EXPECT_EQ(L"cabc", Text(text.Mid(2)));
    EXPECT_EQ(L"ab", Text(text.Left(2)));
    EXPECT_EQ(L"bc", Text(text.Right(2)));
    EXPECT_EQ(0, text.Compare(L"abcabc"));
}

TEST(WideStringConst, RecountWithoutANewBlockKeepsTheTextAndItsBlock) {
    CWideString s;
    wcscpy(s.GetBuffer(100), L"abc");
    HeapSpy spy;
    {
        ScopedHeapSpy hooks(spy);
        spy.refuseFromCall = 0;
        const CWideString& text = s;
        EXPECT_EQ(3, text.GetLength());
    }
    EXPECT_EQ(L"abc", Text(s));
    EXPECT_EQ(202u, s.GetCapacity());
}

TEST(WideStringAssign, SelfAssignmentAndOwnTextKeepTheText) {
    CWideString s(L"keep me");
    const CWideString& same = s;
    s = same;
    EXPECT_EQ(L"keep me", Text(s));
    s = s.GetBufferPointer() + 5;
    EXPECT_EQ(L"me", Text(s));
}

TEST(WideStringAssign, AnsiTextConvertsThroughTheAnsiCodePage) {
    ASSERT_EQ(1252u, GetACP()) << "the tests pin the locale to code page 1252";
    CWideString s("gr\xFC\xDF");
    EXPECT_EQ(L"gr\u00FC\u00DF", Text(s));
    EXPECT_EQ(0, s.Compare("gr\xFC\xDF"));
    EXPECT_NE(0, s.Compare("gruss"));
}

TEST(WideStringFind, FollowsStartAndLengthRules) {
    CWideString s(L"abc");
    EXPECT_EQ(0, s.Find(L"", 0));
    EXPECT_EQ(2, s.Find(L"c", 2));
    EXPECT_EQ(-1, s.Find(L"c", 3));
    EXPECT_EQ(-1, s.Find(L"a", 5));
    EXPECT_EQ(-1, s.Find(L"a", -1));
    EXPECT_EQ(3, s.Find(L"", 3));
    EXPECT_EQ(-1, s.Find(L"", 4));
    EXPECT_EQ(-1, s.Find(nullptr, 0));
    EXPECT_EQ(-1, s.Find(L"abcd", 0));
}

TEST(WideStringSlices, MidLeftRight) {
    CWideString s(L"abcdef");
    EXPECT_EQ(L"cdef", Text(s.Mid(2, 10)));
    EXPECT_EQ(L"ab", Text(s.Mid(-3, 2)));
    EXPECT_EQ(L"", Text(s.Mid(6, 1)));
    EXPECT_EQ(L"cd", Text(s.Mid(2, 2)));
    EXPECT_EQ(L"def", Text(s.Mid(3)));
    EXPECT_EQ(L"", Text(s.Mid(2, -1)));
    EXPECT_EQ(L"cdef", Text(s.Mid(2, INT_MAX)));
    EXPECT_EQ(L"", Text(s.Left(-1)));
    EXPECT_EQ(L"", Text(s.Left(0)));
    EXPECT_EQ(L"abcdef", Text(s.Left(10)));
    EXPECT_EQ(L"", Text(s.Right(0)));
    EXPECT_EQ(L"ef", Text(s.Right(2)));
    EXPECT_EQ(L"abcdef", Text(s.Right(6)));
    EXPECT_EQ(L"abcdef", Text(s));
}

TEST(WideStringEdit, ReplaceNeverRescansInsertedText) {
    CWideString s(L"aaa");
    EXPECT_EQ(L"aaaaaa", Text(s.Replace(L"a", L"aa")));
    EXPECT_EQ(L"aaaaaa", Text(s));

    CWideString same(L"abc");
    EXPECT_EQ(L"abc", Text(same.Replace(L"a", L"a")));
    EXPECT_EQ(L"abc", Text(same.Replace(L"", L"x")));
    EXPECT_EQ(L"abc", Text(same.Replace(nullptr, L"x")));

    CWideString path(L"C:/x/y/");
    EXPECT_EQ(L"C:\\x\\y\\", Text(path.Replace(L"/", L"\\")));
    CWideString words(L"one two one");
    EXPECT_EQ(L"1 two 1", Text(words.Replace(L"one", L"1")));
    EXPECT_EQ(L" two ", Text(words.Replace(L"1", nullptr)));
}

TEST(WideStringEdit, ReplaceCharWorksInPlace) {
    CWideString s(L"a\\b\\c");
    CWideString result = s.ReplaceChar(L'\\', L'/');
    EXPECT_EQ(L"a/b/c", Text(result));
    EXPECT_EQ(L"a/b/c", Text(s));
}

TEST(WideStringEdit, AppendConcatenateAndFill) {
    CWideString s(L"ab");
    s.Append(L"");
    s.Append(static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(L"ab", Text(s));
    s.Append(L'c');
    s.Append(s.GetBufferPointer());
    EXPECT_EQ(L"abcabc", Text(s));
    EXPECT_EQ(6, s.GetLength());

    CWideString left(L"x");
    EXPECT_EQ(L"xabcabc", Text(left + s));
    EXPECT_EQ(L"<abcabc", Text(L"<" + s));

    CWideString filled;
    filled.Fill(L'z', 3);
    EXPECT_EQ(L"zzz", Text(filled));
    filled.Fill(L'q', -4);
    EXPECT_FALSE(filled.IsNull());
    EXPECT_EQ(0, filled.GetLength());
}

TEST(WideStringEdit, MakeLowerChangesOnlyUpperCase) {
    CWideString s(L"ABC-xyz");
    EXPECT_EQ(L"abc-xyz", Text(s.MakeLower()));
}

TEST(WideStringEdit, MakeLowerMapsCapitalsOfEveryScriptTheLocaleAside) {
    struct Case {
        const wchar_t* upper;
        const wchar_t* lower;
    };
    const Case cases[] = {
        // Latin-1: the capitals, with the multiplication sign and sharp s left alone.
        {L"\u00C0\u00C4\u00C9\u00D6\u00D7\u00DC\u00DE\u00DF",
         L"\u00E0\u00E4\u00E9\u00F6\u00D7\u00FC\u00FE\u00DF"},
        // Latin Extended-A: capitals are one below their small letter.
        {L"\u0100\u010C\u0141\u0152\u0160\u017D", L"\u0101\u010D\u0142\u0153\u0161\u017E"},
        // Greek, with an accented capital.
        {L"\u0391\u0392\u03A3\u03A9\u0386", L"\u03B1\u03B2\u03C3\u03C9\u03AC"},
        // Cyrillic, basic and with Io.
        {L"\u041F\u0420\u0418 \u0401", L"\u043F\u0440\u0438 \u0451"},
    };
    for (const Case& c : cases) {
        CWideString s(c.upper);
        EXPECT_EQ(std::wstring(c.lower), Text(s.MakeLower()));
    }
}

TEST(WideStringFormat, PercentSTakesAWideTextAndPercentIA32BitInteger) {
    EXPECT_EQ(L"<INSTALLED/>", Text(FormatString(L"<%s/>", L"INSTALLED")));
    EXPECT_EQ(L"Init returned -2147483647",
              Text(FormatString(L"Init returned %i", static_cast<int>(-2147483647))));
    EXPECT_EQ(L"IsInstalled returned TRUE",
              Text(FormatString(L"IsInstalled returned %s", L"TRUE")));
    EXPECT_EQ(L"100%", Text(FormatString(L"%i%%", 100)));
    CWideString arg(L"\u00FCber");
    EXPECT_EQ(L"[\u00FCber] 7", Text(FormatString(L"[%s] %d", arg.c_str(), 7)));
    CWideString big;
    big.Fill(L'x', 5000);
    EXPECT_EQ(5002, FormatString(L"(%s)", big.c_str()).GetLength());
}

TEST(WideStringFormat, RefusedFormatGivesEmptyText) {
    CWideString result = FormatString(L"%", 1);
    EXPECT_EQ(0, result.GetLength());
    EXPECT_FALSE(result.IsNull());
}

TEST(WideStringMemory, TextsAreWipedBeforeTheirBlockIsReleased) {
    HeapSpy spy;
    {
        ScopedHeapSpy hooks(spy);
        CWideString secret(L"password123");
        secret.Assign(L"other");
        secret.Append(L" text");
        CWideString copy = secret.Mid(1, 3);
        secret.Empty();
    }
    ASSERT_FALSE(spy.released.empty());
    for (const auto& block : spy.released) {
        EXPECT_TRUE(AllZero(block));
    }
}

TEST(WideStringMemory, FailedAllocationLeavesDocumentedStateWithoutCrashing) {
    HeapSpy spy;
    CWideString s(L"before");
    {
        ScopedHeapSpy hooks(spy);
        spy.refuseFromCall = 0;
        EXPECT_EQ(0u, s.Allocate(10));
        EXPECT_TRUE(s.IsNull());
        EXPECT_EQ(0, s.Assign(L"text"));
        EXPECT_TRUE(s.IsNull());
        EXPECT_EQ(0, s.GetLength());
        CWideString made(L"x");
        EXPECT_TRUE(made.IsNull());
        EXPECT_EQ(nullptr, s.GetBuffer(10));
        EXPECT_EQ(0, FormatString(L"%i", 5).GetLength());
    }
    s.Assign(L"kept");
    {
        ScopedHeapSpy hooks(spy);
        spy.calls = 0;
        spy.refuseFromCall = 0; // the temporary block of Append is refused
        s.Append(L" more");
    }
    EXPECT_EQ(L"kept", Text(s));
    {
        ScopedHeapSpy hooks(spy);
        spy.calls = 0;
        spy.refuseFromCall = 0; // Fill's temporary is refused: the empty text, if it can be had
        s.Fill(L'a', 4);
        EXPECT_EQ(0, s.GetLength());
    }
}

TEST(WideStringMemory, HugeRequestsFailCleanly) {
    CWideString s(L"x");
    EXPECT_EQ(0u, s.Allocate(0xFFFFFFFFu));
    EXPECT_TRUE(s.IsNull());
    EXPECT_EQ(nullptr, s.GetBuffer(INT_MAX));
}
