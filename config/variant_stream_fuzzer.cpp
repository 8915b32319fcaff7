#include "config/variant_stream_fuzzer.h"

#include "base/file_system.h"
#include "base/memory_data_container.h"
#include "config/file_info.h"
#include "config/file_object.h"
#include "config/file_tree.h"
#include "config/variant.h"
#include "testsupport/scratch_folder.h"

#include <windows.h>

namespace Corvinex {

namespace {

const uint32_t kExtremes[] = {0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 0x7FFFFFF8,
                              0x80000008, 0xFFFFFFF8, 0x10000000, 0xFFFF,     0x100};
const uint32_t kExtremeCount = sizeof kExtremes / sizeof kExtremes[0];
const uint16_t kCodes[] = {vtEmpty,  vtBinary,     vtList,    vtByte,     vtWord,     vtLong,
                           vtDword,  vtDouble,     vtPointer, vtUtf8Text, vtAnsiText, vtWideText,
                           vtObject, vtFileObject, 7,         0xFFFF};
const uint32_t kCodeCount = sizeof kCodes / sizeof kCodes[0];
// Deeper than the loader allows, so the bound itself is tried.
const int kDeepest = 70;

void Put(FuzzBytes& out, const void* p, size_t n) {
    out.insert(out.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
}

void Put16(FuzzBytes& out, uint16_t v) {
    Put(out, &v, 2);
}

void Put32(FuzzBytes& out, uint32_t v) {
    Put(out, &v, 4);
}

// Removes folder (forward slashes) and all it holds; links are removed, not entered.
void RemoveTree(const std::wstring& folder) {
    VpeTest::RemoveTree(ToSystemPath(CWideString(folder.c_str())).c_str());
}

// Names directly in folder (forward slashes).
std::vector<std::wstring> Names(const std::wstring& folder) {
    return VpeTest::FolderNames(ToSystemPath(CWideString(folder.c_str())).c_str());
}

bool WriteWhole(const std::wstring& path, const void* data, size_t size) {
    HANDLE h = CreateFileW(ToSystemPath(CWideString(path.c_str())).c_str(), GENERIC_WRITE, 0,
                           nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = size == 0 || WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(h);
    return ok && written == size;
}

FuzzBytes Store(CVariant& value, const wchar_t* root, uint32_t& error) {
    CDataTarget target = {root, 0, 0};
    CMemoryDataContainer m;
    m.Open(kModeStoring, root != nullptr ? &target : nullptr);
    value.Serialize(m);
    error = m.GetError();
    return FuzzBytes(m.GetData(), m.GetData() + m.GetSize());
}

uint32_t Load(const FuzzBytes& bytes, CVariant& value, const wchar_t* root) {
    CDataTarget target = {root, 0, 0};
    CMemoryDataContainer m;
    m.LoadFrom(bytes.data(), static_cast<uint32_t>(bytes.size()));
    m.Open(kModeLoading, root != nullptr ? &target : nullptr);
    value.Serialize(m);
    return m.GetError();
}

void PutText(FuzzBytes& out, const std::string& text, CFuzzRandom& random) {
    uint32_t n = static_cast<uint32_t>(text.size());
    if (n < 255 && random.Below(4) != 0) {
        out.push_back(static_cast<uint8_t>(n));
    } else {
        out.push_back(0xFF);
        Put32(out, random.Below(8) == 0 ? kExtremes[random.Below(kExtremeCount)] : n);
    }
    Put(out, text.data(), text.size());
}

} // namespace

bool IsKnownStreamResult(uint32_t error) {
    switch (error) {
    case 0:
    case kFileErrorNoTarget:
    case kDataErrorEndOfData:
    case kDataErrorMalformed:
    case kDataErrorUnsafePath:
    case kDataErrorMediumFailed:
    case kFileErrorOpen:
    case kFileErrorNoRoot:
        return true;
    default:
        return false;
    }
}

CVariant SampleStreamValues() {
    CVariant list;
    list.SetType(vtList);
    CVariantList* l = list.GetList();
    CVariant v;
    v.SetBinary("\x01\x02\x03\x04\x05", 5);
    l->Add(v);
    v.SetByte(1);
    l->Add(v);
    v.SetWord(2);
    l->Add(v);
    v.SetLong(-3);
    l->Add(v);
    v.SetDword(4);
    l->Add(v);
    v.SetDouble(5.5);
    l->Add(v);
    v.SetPointer(nullptr);
    l->Add(v);
    v.SetUtf8Text(CAnsiString("\xC3\xA9t\xC3\xA9"));
    l->Add(v);
    v.SetAnsiText(std::string(300, 'z').c_str());
    l->Add(v);
    v.SetWideText(L"wide");
    l->Add(v);
    v.SetType(vtObject);
    l->Add(v);
    CVariant inner;
    inner.SetType(vtList);
    inner.GetList()->Add(list.GetList()->ElementAt(1));
    CVariant innerer;
    innerer.SetType(vtList);
    innerer.GetList()->Add(inner);
    l->Add(innerer);
    for (int32_t i = 0; i < l->GetCount(); ++i) {
        l->ElementAt(i).SetId(static_cast<uint16_t>(i * 7));
    }
    return list;
}

uint32_t CFuzzRandom::Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
}

CStreamFuzzer::CStreamFuzzer() : m_bReady(false), m_nTreeLoads(0) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring base = temp;
    for (wchar_t& c : base) {
        c = c == L'\\' ? L'/' : c;
    }
    m_base = base + L"vpe_fuzz_" + std::to_wstring(GetCurrentProcessId()) + L"/";
    m_source = m_base + L"src/";
    m_outer = m_base + L"outer/";
    m_root = m_outer + L"root/";
    RemoveTree(m_base);
    bool ok =
        CreateFolderPath(CWideString((m_source + L"sub/deeper/").c_str())) == kFolderCreated &&
        CreateFolderPath(CWideString(m_root.c_str())) == kFolderCreated;
    std::string content(300, 'c');
    ok = ok && WriteWhole(m_source + L"a.txt", content.data(), 20) &&
         WriteWhole(m_source + L"sub/b.bin", content.data(), 300) &&
         WriteWhole(m_source + L"sub/empty", content.data(), 0) &&
         WriteWhole(m_source + L"sub/deeper/c.txt", content.data(), 7);
    CVariant sample = SampleStreamValues();
    uint32_t error = 0;
    m_values = Store(sample, nullptr, error);
    ok = ok && error == 0;
    for (int32_t i = 0; i < sample.GetList()->GetCount(); ++i) {
        m_records.push_back(Store(sample.GetList()->ElementAt(i), nullptr, error));
    }
    CVariant tree;
    ok = ok && CollectFileTree(CWideString(m_source.c_str()), tree);
    m_tree = Store(tree, m_source.c_str(), error);
    m_bReady = ok && error == 0;
}

CStreamFuzzer::~CStreamFuzzer() {
    RemoveTree(m_base);
}

FuzzBytes MutateStream(const FuzzBytes& source, CFuzzRandom& random) {
    FuzzBytes b = source;
    int edits = 1 + static_cast<int>(random.Below(4));
    for (int e = 0; e < edits && !b.empty(); ++e) {
        uint32_t at = random.Below(static_cast<uint32_t>(b.size()));
        switch (random.Below(6)) {
        case 0: // flip bits of one byte
            b[at] ^= static_cast<uint8_t>(1 + random.Below(255));
            break;
        case 1: { // an extreme 32-bit number over whatever was there
            uint32_t v = kExtremes[random.Below(kExtremeCount)];
            for (uint32_t i = 0; i < 4 && at + i < b.size(); ++i) {
                b[at + i] = static_cast<uint8_t>(v >> (8 * i));
            }
            break;
        }
        case 2: // truncate
            b.resize(at);
            break;
        case 3: { // duplicate a slice
            uint32_t n = random.Below(static_cast<uint32_t>(b.size() - at) + 1);
            FuzzBytes slice(b.begin() + at, b.begin() + at + n);
            b.insert(b.begin() + random.Below(static_cast<uint32_t>(b.size())), slice.begin(),
                     slice.end());
            break;
        }
        case 4: { // delete a slice
            uint32_t n = random.Below(static_cast<uint32_t>(b.size() - at) + 1);
            b.erase(b.begin() + at, b.begin() + at + n);
            break;
        }
        default: { // a type code at a random place
            uint16_t code = kCodes[random.Below(kCodeCount)];
            b[at] = static_cast<uint8_t>(code);
            if (at + 1 < b.size()) {
                b[at + 1] = static_cast<uint8_t>(code >> 8);
            }
            break;
        }
        }
    }
    return b;
}

void CStreamFuzzer::GenerateFileObject(CFuzzRandom& random, FuzzBytes& out) {
    static const char* const kNames[] = {"a.txt", "sub/", "../up.txt",   "CON", "x/",  "",
                                         "d",     "..",   "n\\..\\..\\", "a:b", "d/d/"};
    const uint32_t nameCount = sizeof kNames / sizeof kNames[0];
    FuzzBytes payload;
    uint32_t count = 3;
    Put32(payload, count);
    uint8_t kind = static_cast<uint8_t>(random.Below(3));
    Put16(payload, vtByte);
    Put16(payload, kFileObjectKind);
    Put32(payload, 1);
    payload.push_back(kind);
    for (uint16_t id : {kFileObjectFolder, kFileObjectName}) {
        std::string text;
        if (random.Below(256) == 0) {
            // A chain around the depth bound: rare, since Wine makes deep folders slowly.
            for (uint32_t i = 0, n = 120 + random.Below(20); i < n; ++i) {
                text += "d/";
            }
        } else {
            text = kNames[random.Below(nameCount)];
        }
        FuzzBytes framed;
        PutText(framed, text, random);
        Put16(payload, vtAnsiText);
        Put16(payload, id);
        Put32(payload, static_cast<uint32_t>(framed.size()));
        Put(payload, framed.data(), framed.size());
    }
    Put16(out, vtFileObject);
    Put16(out, static_cast<uint16_t>(random.Next()));
    Put32(out, static_cast<uint32_t>(payload.size() + 12));
    Put16(out, vtList);
    Put16(out, 0);
    Put32(out, static_cast<uint32_t>(payload.size()));
    Put(out, payload.data(), payload.size());
    if (kind == 0) {
        uint32_t size =
            random.Below(6) == 0 ? kExtremes[random.Below(kExtremeCount)] : random.Below(64);
        Put32(out, size);
        for (uint32_t i = 0, n = size < 64 ? size : random.Below(64); i < n; ++i) {
            out.push_back(static_cast<uint8_t>(i));
        }
    }
}

void CStreamFuzzer::Generate(CFuzzRandom& random, int depth, FuzzBytes& out) {
    bool lie = random.Below(10) == 0;
    uint16_t type = depth > 0 && depth < kDeepest && random.Below(3) == 0
                        ? static_cast<uint16_t>(vtList)
                        : kCodes[random.Below(kCodeCount)];
    if (type == vtFileObject) {
        GenerateFileObject(random, out);
        return;
    }
    FuzzBytes payload;
    switch (type) {
    case vtEmpty:
    case vtPointer:
        break;
    case vtByte:
    case vtWord:
    case vtLong:
    case vtDword:
    case vtDouble: {
        uint32_t width = type == vtByte ? 1 : type == vtWord ? 2 : type == vtDouble ? 8 : 4;
        for (uint32_t i = 0; i < width; ++i) {
            payload.push_back(static_cast<uint8_t>(random.Next()));
        }
        break;
    }
    case vtList: {
        // Mostly small lists, sometimes a long chain of single lists (deep nesting), sometimes
        // a count that lies (negative, near 2^31 or 2^32).
        uint32_t count = random.Below(4);
        bool chain = depth > 0 && random.Below(2) == 0;
        if (chain) {
            count = 1;
        }
        bool lieCount = random.Below(8) == 0;
        Put32(payload, lieCount ? kExtremes[random.Below(kExtremeCount)] : count);
        for (uint32_t i = 0; i < count && depth < kDeepest; ++i) {
            Generate(random, depth + 1, payload);
        }
        break;
    }
    case vtUtf8Text:
    case vtAnsiText:
    case vtWideText:
    case vtObject: {
        std::string text(random.Below(300), 't');
        PutText(payload, text, random);
        break;
    }
    default:
        for (uint32_t i = 0, n = random.Below(40); i < n; ++i) {
            payload.push_back(static_cast<uint8_t>(random.Next()));
        }
        break;
    }
    Put16(out, type);
    Put16(out, static_cast<uint16_t>(random.Next()));
    Put32(out,
          lie ? kExtremes[random.Below(kExtremeCount)] : static_cast<uint32_t>(payload.size()));
    Put(out, payload.data(), payload.size());
}

FuzzCase CStreamFuzzer::MakeCase(uint32_t seed, uint32_t index) {
    FuzzCase c;
    CFuzzRandom random(seed ^ (index * 0x9E3779B9u));
    switch (index % 5) {
    case 0: { // truncated at every byte, stream after stream
        std::vector<const FuzzBytes*> streams;
        streams.push_back(&m_values);
        streams.push_back(&m_tree);
        for (const FuzzBytes& r : m_records) {
            streams.push_back(&r);
        }
        uint32_t total = 0;
        for (const FuzzBytes* s : streams) {
            total += static_cast<uint32_t>(s->size());
        }
        uint32_t cut = (index / 5 + seed) % total;
        for (size_t i = 0; i < streams.size(); ++i) {
            uint32_t n = static_cast<uint32_t>(streams[i]->size());
            if (cut < n) {
                c.kind = i == 1 ? kFuzzTree : kFuzzValues;
                c.bytes.assign(streams[i]->begin(), streams[i]->begin() + cut);
                break;
            }
            cut -= n;
        }
        break;
    }
    case 1:
    case 2:
        c.kind = kFuzzValues;
        c.bytes = MutateStream(m_values, random);
        break;
    case 3:
        c.kind = kFuzzTree;
        c.bytes = MutateStream(m_tree, random);
        break;
    default:
        c.kind = random.Below(3) == 0 ? kFuzzTree : kFuzzValues;
        Generate(random, 0, c.bytes);
        break;
    }
    return c;
}

std::string CStreamFuzzer::Judge(const FuzzCase& fuzzCase) {
    std::string verdict;
    {
        CVariant value;
        const wchar_t* root = fuzzCase.kind == kFuzzTree ? m_root.c_str() : nullptr;
        uint32_t error = Load(fuzzCase.bytes, value, root);
        if (!IsKnownStreamResult(error)) {
            verdict = "unknown result " + std::to_string(error);
        } else if (error == 0 && fuzzCase.kind == kFuzzValues) {
            // What loaded stores and loads back to the same bytes.
            uint32_t stored = 0;
            FuzzBytes once = Store(value, nullptr, stored);
            if (stored == 0) {
                CVariant again;
                uint32_t reloaded = Load(once, again, nullptr);
                FuzzBytes twice = Store(again, nullptr, stored);
                if (reloaded != 0 || twice != once) {
                    verdict = "a loaded value does not store and load back";
                }
            }
        }
    }
    if (fuzzCase.kind == kFuzzTree) {
        std::vector<std::wstring> outside = Names(m_outer);
        if (outside.size() != 1 || outside[0] != L"root") {
            verdict = "an entry was written outside the root";
        }
        if (++m_nTreeLoads % 64 == 0 || !verdict.empty()) {
            RemoveTree(m_outer);
            CreateFolderPath(CWideString(m_root.c_str()));
        }
    }
    if (!HeapValidate(GetProcessHeap(), 0, nullptr)) {
        verdict = "the process heap is damaged";
    }
    return verdict;
}

bool CStreamFuzzer::SaveCase(const std::wstring& path, const FuzzCase& fuzzCase) {
    FuzzBytes file;
    file.push_back(fuzzCase.kind == kFuzzTree ? 'T' : 'V');
    file.insert(file.end(), fuzzCase.bytes.begin(), fuzzCase.bytes.end());
    return WriteWhole(path, file.data(), file.size());
}

bool CStreamFuzzer::LoadCase(const std::wstring& path, FuzzCase& fuzzCase) {
    HANDLE h = CreateFileW(ToSystemPath(CWideString(path.c_str())).c_str(), GENERIC_READ,
                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    FuzzBytes file;
    uint8_t buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        file.insert(file.end(), buffer, buffer + got);
    }
    CloseHandle(h);
    if (file.empty() || (file[0] != 'V' && file[0] != 'T')) {
        return false;
    }
    fuzzCase.kind = file[0] == 'T' ? kFuzzTree : kFuzzValues;
    fuzzCase.bytes.assign(file.begin() + 1, file.end());
    return true;
}

} // namespace Corvinex
