// Hostile-input cases for the value stream and the file objects: generation, and the verdict on
// one case. Used by the fixed-seed fuzz test, its replay of saved cases, and the long campaign
// (stream_fuzz.exe, run by scripts/fuzz.sh).
#pragma once

#include "config/variant.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Corvinex {

typedef std::vector<uint8_t> FuzzBytes;

// A value stream (loaded without target) or a tree stream (loaded below a root).
enum FuzzKind { kFuzzValues = 0, kFuzzTree = 1 };

struct FuzzCase {
    FuzzKind kind;
    FuzzBytes bytes;
};

// Whether a load ended with one of the documented stream and file-object results.
bool IsKnownStreamResult(uint32_t error);
// A list holding a value of every storable type, ids set: the source of valid streams.
CVariant SampleStreamValues();

// A small xorshift generator: the same seed gives the same cases everywhere.
class CFuzzRandom {
public:
    explicit CFuzzRandom(uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    uint32_t Next();
    uint32_t Below(uint32_t n) { return n == 0 ? 0 : Next() % n; }

private:
    uint32_t m_state;
};

// One to four random edits of a stream (flipped bits, extreme numbers, type codes, slices cut,
// duplicated or removed, truncation): the campaign's mutation, for tests of their own too.
FuzzBytes MutateStream(const FuzzBytes& source, CFuzzRandom& random);

// Loads cases into scratch folders of its own (created under the temp folder by the
// constructor, removed by the destructor). One runner per thread.
class CStreamFuzzer {
public:
    CStreamFuzzer();
    ~CStreamFuzzer();
    CStreamFuzzer(const CStreamFuzzer&) = delete;
    CStreamFuzzer& operator=(const CStreamFuzzer&) = delete;

    // False when the source tree or the scratch folders could not be made.
    bool Ready() const { return m_bReady; }
    // Case number index of the campaign with this seed: mutations of valid streams, streams
    // truncated at every byte, generated records with sizes and counts near 2^31 and 2^32,
    // negative counts and deep nesting, in a fixed rotation.
    FuzzCase MakeCase(uint32_t seed, uint32_t index);
    // Loads the case and judges it: empty when it held (a known result, nothing outside the
    // root, a loaded value stores and loads back to the same bytes, the heap intact); else
    // what went wrong.
    std::string Judge(const FuzzCase& fuzzCase);

    // Case files: a first byte 'V' or 'T' (the kind), then the stream.
    static bool SaveCase(const std::wstring& path, const FuzzCase& fuzzCase);
    static bool LoadCase(const std::wstring& path, FuzzCase& fuzzCase);

private:
    void Generate(CFuzzRandom& random, int depth, FuzzBytes& out);
    void GenerateFileObject(CFuzzRandom& random, FuzzBytes& out);

    bool m_bReady;
    std::wstring m_base;              // <temp>/vpe_fuzz_<pid>/
    std::wstring m_source;            // the tree the valid tree stream is made from
    std::wstring m_outer;             // holds only root/ after any load
    std::wstring m_root;              // the restore root
    FuzzBytes m_values;               // a valid value stream of every type
    FuzzBytes m_tree;                 // a valid tree stream
    std::vector<FuzzBytes> m_records; // one valid record per type, for the truncations
    uint32_t m_nTreeLoads;
};

} // namespace Corvinex
