#include "config/class_registry.h"

#include <string.h>
#include <wchar.h>
#include "base/language_support.h"

namespace Corvinex {

namespace {

// Zero before any constructor runs (constant initialisation), so the counter is valid whichever
// file's static objects are built first.
int s_nLifetimeCount = 0;
bool s_bBuilt = false;
alignas(CClassRegistry) unsigned char s_storage[sizeof(CClassRegistry)];

CClassRegistry* Storage() {
    return reinterpret_cast<CClassRegistry*>(s_storage);
}

void Build() {
    if (!s_bBuilt) {
        new (s_storage) CClassRegistry();
        s_bBuilt = true;
    }
}

} // namespace

CClassRegistryLifetime::CClassRegistryLifetime() {
    if (s_nLifetimeCount++ == 0) {
        Build();
    }
}

CClassRegistryLifetime::~CClassRegistryLifetime() {
    if (--s_nLifetimeCount == 0 && s_bBuilt) {
        Storage()->~CClassRegistry();
        s_bBuilt = false;
    }
}

CClassRegistry& ClassRegistry() {
    Build();
    return *Storage();
}

CClassRegistry::CClassRegistry() = default;

CClassRegistry::~CClassRegistry() {
    m_entries.RemoveAll();
}

int32_t CClassRegistry::Search(const wchar_t* name, bool& found) const {
    int32_t low = 0;
    int32_t high = m_entries.GetCount();
    while (low < high) {
        int32_t mid = low + (high - low) / 2;
        int order = wcscmp(m_entries.ElementAt(mid).name.c_str(), name);
        if (order == 0) {
            found = true;
            return mid;
        }
        if (order < 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    found = false;
    return low;
}

bool CClassRegistry::Register(const CWideString& name, VariantObjectFactory factory) {
    if (factory == nullptr || name.c_str()[0] == L'\0') {
        return false;
    }
    bool found = false;
    int32_t index = Search(name.c_str(), found);
    if (found) {
        m_entries.ElementAt(index).factory = factory;
        return true;
    }
    CEntry entry;
    entry.name = name;
    entry.factory = factory;
    int32_t count = m_entries.GetCount();
    if (m_entries.Add(entry) < 0) {
        return false;
    }
    // Rotate the new entry into its place; entries are relocatable, so a block move will do.
    if (index < count) {
        CEntry* data = m_entries.GetData();
        alignas(CEntry) unsigned char moved[sizeof(CEntry)];
        memcpy(moved, &data[count], sizeof(CEntry));
        memmove(static_cast<void*>(&data[index + 1]), static_cast<const void*>(&data[index]),
                static_cast<size_t>(count - index) * sizeof(CEntry));
        memcpy(static_cast<void*>(&data[index]), moved, sizeof(CEntry));
    }
    return true;
}

bool CClassRegistry::Unregister(const CWideString& name) {
    bool found = false;
    int32_t index = Search(name.c_str(), found);
    if (found) {
        m_entries.RemoveAt(index);
    }
    return found;
}

VariantObjectFactory CClassRegistry::Find(const CWideString& name) const {
    bool found = false;
    int32_t index = Search(name.c_str(), found);
    return found ? m_entries.ElementAt(index).factory : nullptr;
}

} // namespace Corvinex
