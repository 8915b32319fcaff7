// Property containers: named values looked up by a lower-cased key, with handlers that hear of
// being added, being removed and the container's destruction (nothing else sends events).
//
// IPropertyContainer has fifteen slots in a fixed order: 0 to 2 from the event sender, 3 to 6
// the value operations a concrete container supplies, 7 to 14 the property operations that
// TPropertyContainerImpl implements over its property array.
#pragma once

#include "base/array.h"
#include "base/wide_string.h"
#include "config/event_sender.h"
#include "config/property.h"

#include <stdint.h>
#include <stdlib.h>

namespace Corvinex {

class IPropertyContainer;

// What GetPropertyKind reports.
enum PropertyKind : int32_t {
    kindInteger = 0, // the value is vtDword
    kindText = 1,    // vtAnsiText or vtWideText
    kindOther = 2,   // any other type, or no such property
};

// Answer of FindProperty when no property has the name.
const int32_t kPropertyNotFound = 32;

// Handlers registered with a container; implemented by users of the framework. Slot order fixed.
class IPropertyEventHandler {
public:
    // Slot 0: the handler was added to container; the result is handed back by the add.
    virtual int32_t OnConnect(IPropertyContainer* container) = 0;
    // Slot 1: the handler was removed, or container is being destroyed. During destruction only
    // the property slots (7 to 14) may be called, and they see no properties.
    virtual int32_t OnDisconnect(IPropertyContainer* container) = 0;

protected:
    ~IPropertyEventHandler() = default;
};

class IPropertyContainer : public TIEventSender<IPropertyEventHandler> {
public:
    // Slot 3: stores an integer under name, with an integer list kept beside it.
    virtual void SetInt(const wchar_t* name, int32_t value, const CIntArray& list) = 0;
    // Slot 4: the integer under name, or defaultValue.
    virtual int32_t GetInt(const wchar_t* name, int32_t defaultValue) = 0;
    // Slot 5: stores a text under name, with a string list kept beside it.
    virtual void SetString(const wchar_t* name, const wchar_t* text,
                           const CWideStringArray& list) = 0;
    // Slot 6: the text under name, or defaultValue (null gives the empty text).
    virtual CWideString GetString(const wchar_t* name, const wchar_t* defaultValue) = 0;
    // Slot 7: 1 when a property has the name (any case), else 0.
    virtual int32_t HasProperty(const wchar_t* name) = 0;
    // Slot 8: removes the first property with the name; an absent name changes nothing.
    virtual void RemoveProperty(const wchar_t* name) = 0;
    // Slot 9: appends every property's name, as given, to out (not emptied first).
    virtual void GetPropertyNames(CWideStringArray& out) = 0;
    // Slot 10: the PropertyKind of the named property.
    virtual int32_t GetPropertyKind(const wchar_t* name) = 0;
    // Slot 11: drops every property, then copies each property source names (CopyProperty).
    virtual void CopyAllFrom(IPropertyContainer& source) = 0;
    // Slot 12: copies one integer or text property through the value slots; 0 when copied,
    // 1 when neither container knows it as integer or text.
    virtual int32_t CopyProperty(IPropertyContainer& source, const wchar_t* name) = 0;
    // Slot 13: appends the named property's strings, as integers (_wtoi), to out.
    virtual void GetIntList(const wchar_t* name, CIntArray& out) = 0;
    // Slot 14: out becomes copies of the named property's strings (empty when absent).
    virtual void GetStringList(const wchar_t* name, CWideStringArray& out) = 0;

protected:
    ~IPropertyContainer() = default;
};

// Slots 7 to 14 over an owned array of properties (the second base). Slots 3 to 6 stay for the
// concrete class. The array has no match or sort function; the class adds no property itself:
// a derived class fills the array, keeping key = lower-cased name (CProperty does that).
template <class BASE>
class TPropertyContainerImpl : public CEventSenderImpl<BASE, IPropertyEventHandler>,
                               public TArray<CProperty, CProperty&> {
public:
    TPropertyContainerImpl() = default;
    // Properties first, then the handlers are told, in the order they were added.
    ~TPropertyContainerImpl() override {
        this->RemoveAll();
        this->DisconnectAllHandlers();
    }

    // Copies the first property whose key equals probe's key lower-cased into probe and answers
    // 0; kPropertyNotFound (probe unchanged) when there is none.
    int32_t FindProperty(CProperty& probe) {
        int32_t index = IndexOfProperty(probe.GetKey().c_str());
        if (index < 0) {
            return kPropertyNotFound;
        }
        probe = this->ElementAt(index);
        return 0;
    }

    // Index of the first property with the name in any case, or -1.
    int32_t IndexOfProperty(const wchar_t* name) const {
        CWideString key = MakePropertyKey(name);
        for (int32_t i = 0; i < this->GetCount(); ++i) {
            if (this->ElementAt(i).GetKey().Compare(key.c_str()) == 0) {
                return i;
            }
        }
        return -1;
    }

    int32_t HasProperty(const wchar_t* name) override {
        CProperty probe(name);
        return FindProperty(probe) == 0 ? 1 : 0;
    }

    void RemoveProperty(const wchar_t* name) override {
        int32_t index = IndexOfProperty(name);
        if (index >= 0) {
            this->RemoveAt(index, 1);
        }
    }

    void GetPropertyNames(CWideStringArray& out) override {
        for (int32_t i = 0; i < this->GetCount(); ++i) {
            out.Add(this->ElementAt(i).GetName());
        }
    }

    int32_t GetPropertyKind(const wchar_t* name) override {
        CProperty probe(name);
        if (FindProperty(probe) != 0) {
            return kindOther;
        }
        switch (probe.GetType()) {
        case vtAnsiText:
        case vtWideText:
            return kindText;
        case vtDword:
            return kindInteger;
        default:
            return kindOther;
        }
    }

    // Copying a container into itself would drop every property first and find none to copy
    // back; it leaves the container unchanged instead.
    void CopyAllFrom(IPropertyContainer& source) override {
        if (&source == static_cast<IPropertyContainer*>(this)) {
            return;
        }
        this->SetSize(0, -1);
        CWideStringArray names(&CompareWideStrings);
        source.GetPropertyNames(names);
        for (int32_t i = 0; i < names.GetCount(); ++i) {
            this->CopyProperty(source, names.ElementAt(i).c_str());
        }
    }

    int32_t CopyProperty(IPropertyContainer& source, const wchar_t* name) override {
        int32_t kind = source.GetPropertyKind(name);
        if (kind == kindOther) {
            kind = this->GetPropertyKind(name);
        }
        if (kind == kindText) {
            CWideStringArray strings(&CompareWideStrings);
            source.GetStringList(name, strings);
            CWideString text = source.GetString(name, nullptr);
            this->SetString(name, text.c_str(), strings);
            return 0;
        }
        if (kind == kindInteger) {
            CIntArray numbers;
            source.GetIntList(name, numbers);
            int32_t value = source.GetInt(name, 0);
            this->SetInt(name, value, numbers);
            return 0;
        }
        return 1;
    }

    void GetIntList(const wchar_t* name, CIntArray& out) override {
        CWideStringArray strings(&CompareWideStrings);
        this->GetStringList(name, strings);
        for (int32_t i = 0; i < strings.GetCount(); ++i) {
            out.Add(static_cast<int32_t>(_wtoi(strings.ElementAt(i).c_str())));
        }
    }

    // The property is found (and copied) before out is emptied, so out may even be the string
    // list of a property of this container.
    void GetStringList(const wchar_t* name, CWideStringArray& out) override {
        CProperty probe(name);
        bool found = FindProperty(probe) == 0;
        out.RemoveAll();
        if (found) {
            CopyStringList(out, probe.GetStringList());
        }
    }
};

} // namespace Corvinex
