// The class registry of the value stream: class name -> creation function for the objects that
// vtObject values hold. A loaded vtObject record gets an object only when its class name is
// registered here.
//
// Order guarantee: the registry is built before any static object of a source file that
// includes this header is constructed, and destroyed after the last of them is destroyed (a
// counter object in every including file, the "nifty counter" idiom). The developer settings and
// the console holder, which come after the registry at start-up and go before it at exit,
// include this header for that reason. ClassRegistry() also builds it on first use.
#pragma once

#include "base/array.h"
#include "base/wide_string.h"

#include <stdint.h>

namespace Corvinex {

class IVariantObject;

// Makes a new object of one class; the caller owns it (null when none can be made).
typedef IVariantObject* (*VariantObjectFactory)();

class CClassRegistry {
public:
    CClassRegistry();
    ~CClassRegistry();
    CClassRegistry(const CClassRegistry&) = delete;
    CClassRegistry& operator=(const CClassRegistry&) = delete;

    // Registers factory under name (ordinal, case-sensitive), replacing an earlier one. False
    // for an empty name, a null factory or when the registry cannot grow.
    bool Register(const CWideString& name, VariantObjectFactory factory);
    // Removes name; false when it was not registered.
    bool Unregister(const CWideString& name);
    // The factory registered under name, or null.
    VariantObjectFactory Find(const CWideString& name) const;
    int32_t GetCount() const { return m_entries.GetCount(); }

private:
    struct CEntry {
        CWideString name;
        VariantObjectFactory factory = nullptr;
    };
    // Index of name, or of the place it would go (found = false).
    int32_t Search(const wchar_t* name, bool& found) const;

    TArray<CEntry> m_entries; // sorted by name, ordinal
};

// The process-wide registry.
CClassRegistry& ClassRegistry();

// One per including file; the first constructed builds the registry, the last destroyed ends it.
class CClassRegistryLifetime {
public:
    CClassRegistryLifetime();
    ~CClassRegistryLifetime();
    CClassRegistryLifetime(const CClassRegistryLifetime&) = delete;
    CClassRegistryLifetime& operator=(const CClassRegistryLifetime&) = delete;
};

static CClassRegistryLifetime s_classRegistryLifetime;

} // namespace Corvinex
