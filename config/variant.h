// CVariant: the framework's tagged value.
//
// One value holds a number, a text in one of three encodings, a byte block, a list of values or
// an owned object, identified by a 16-bit type code that streams store as it is. Blocks and texts
// live in fixed global-heap blocks and are wiped (0x00, 0xFF, 0x00) before release. Copies are
// always deep. A value holds nothing that points into itself, so arrays may move it by memcpy.
//
// Extension seams filled by other parts of the framework:
// - Serialize (virtual slot 2) is defined with the value stream.
// - vtFileObject values hold a CFileObject, which this file knows only by name. SetType, Assign
//   and ReleaseContent reach it through NewFileObjectForValue, ValueOfFileObject and
//   DeleteFileObjectOfValue, defined by the file-object module.
#pragma once

#include "base/ansi_string.h"
#include "base/array.h"
#include "base/wide_string.h"

#include <stddef.h>
#include <stdint.h>

// <windows.h> maps GetClassName to GetClassNameW. It is included here, once, and the macro
// dropped, so IVariantObject::GetClassName keeps its name whatever the includer's order.
#include <windows.h>
#ifdef GetClassName
#undef GetClassName
#endif

namespace Corvinex {

class CDataContainer;
class CFileObject;
class CVariant;

// Type codes. They are stored in streams and keep these values; numeric codes are ten times the
// width in bytes. Any other code behaves as vtBinary.
enum VariantType : uint16_t {
    vtEmpty = 0,
    vtBinary = 1,
    vtList = 2,
    vtByte = 10,
    vtWord = 20,
    vtLong = 40,
    vtDword = 41,
    vtDouble = 80,
    vtPointer = 100,
    vtUtf8Text = 110,
    vtAnsiText = 115,
    vtWideText = 116,
    vtObject = 3030,
    vtFileObject = 3100,
};

// List storage of a vtList value; its match function is Compare, its sort function SortList.
typedef TArray<CVariant, const CVariant&> CVariantList;

// Objects held by vtObject values. The slot order is fixed; no virtual destructor (Release
// destroys). Implemented by users of the framework; nothing in it is implemented here.
class IVariantObject {
public:
    // Slot 0: destroys the object; called when the value holding it releases it.
    virtual void Release() = 0;
    // Slot 1: bytes the object's own data takes in a stream.
    virtual int32_t GetStreamSize(CDataContainer& container) = 0;
    // Slot 2: writes the object's own data to, or reads it from, the container.
    virtual int32_t Serialize(CDataContainer& container) = 0;
    // Slot 3: told the recorded size before its data is read; false skips reading its data.
    virtual bool BeginLoad(int32_t recordedSize) = 0;
    // Slot 4: a new object equal to this one, owned by the caller (null if none can be made).
    virtual IVariantObject* Clone() = 0;
    // Slot 5: fills `name` with the name the class is registered under; returns &name.
    virtual CWideString* GetClassName(CWideString& name) = 0;
    // Slots 6 and 7: unused by values; kept so slot 8 stays in place.
    virtual void ReservedSlot6() {}
    virtual void ReservedSlot7() {}
    // Slot 8: three-way comparison with another object (never null).
    virtual int32_t Compare(IVariantObject* other) = 0;

protected:
    ~IVariantObject() = default;
};

class CVariant {
public:
    // vtEmpty, id 0, size 0, all data bytes zero.
    CVariant();
    // A deep copy of other (see Assign), id included.
    CVariant(const CVariant& other);
    // Releases what the value owns (ReleaseContent); not virtual.
    ~CVariant();
    CVariant& operator=(const CVariant& other) { return Assign(other); }

    // Slot 0: releases the content, then type = t, size 0, data zero; vtList gets a new empty
    // list, vtFileObject a new file object. The id stays. Same type still releases the content.
    virtual void SetType(uint16_t type);
    // Slot 1: SetType(vtEmpty) through slot 0.
    virtual void Clear();
    // Slot 2: stores the value into, or loads it from, the container; answers its error state.
    virtual int32_t Serialize(CDataContainer& container);
    // Slot 3: called on a source before its list elements are read; does nothing here.
    virtual void PrepareContent();

    // Releases (blocks wiped three times first) what the value owns; type becomes vtEmpty,
    // size and data zero. The id stays.
    void ReleaseContent();
    // Deep copy of source (self-assignment leaves the value alone). UTF-8 texts are normalised;
    // unknown codes arrive as vtBinary. When source lies inside this value, or this value
    // inside source, source is copied as it was before anything changes; otherwise the copy is
    // made once, in time linear in the size of source.
    CVariant& Assign(const CVariant& source);
    // Exchanges type, id, size and data with other. Refused (nothing changes) when either value
    // lies inside the other's list, which would make a list contain itself.
    CVariant& Swap(CVariant& other);

    // vtBinary with a copy of n bytes at p; null p or n <= 0 gives vtBinary without a block.
    // When no block can be had the value is vtEmpty.
    CVariant& SetBinary(const void* p, int32_t n);
    // vtBinary with a zero-filled block of n bytes (none when n <= 0); vtEmpty when the block
    // cannot be had.
    CVariant& AllocateBinary(int32_t n);
    // For loaders: type (one of the three text codes; any other gives vtBinary) with a block of
    // n bytes whose content is undefined until the caller fills all of it. Returns the block, or
    // null with the value vtEmpty when n <= 0 or no block can be had. A caller that cannot fill
    // the block must Clear the value (which wipes and releases it).
    void* AllocateUnfilledBlock(uint16_t type, int32_t n);
    // vtAnsiText with a copy of p (null leaves no text); vtEmpty when the block cannot be had.
    CVariant& SetAnsiText(const char* p);
    // vtWideText with a copy of p (null leaves no text); vtEmpty when the block cannot be had.
    CVariant& SetWideText(const wchar_t* p);
    // vtUtf8Text with a copy of the bytes of s, unchanged; vtEmpty when the block cannot be had.
    CVariant& SetUtf8Text(const CAnsiString& s);
    CVariant& SetByte(uint8_t value);
    CVariant& SetWord(uint16_t value);
    CVariant& SetLong(int32_t value);
    CVariant& SetDword(uint32_t value);
    CVariant& SetDouble(double value);
    // vtPointer: a pointer owned by someone else, and a size carried along with it.
    CVariant& SetPointer(void* p, int32_t size = 0);
    // vtObject taking ownership of object (may be null). When the value already is vtObject its
    // old object is released and size and id stay (as a stream loader needs).
    CVariant& AttachObject(IVariantObject* object);

    uint16_t GetType() const { return m_nType; }
    uint16_t GetId() const { return m_nId; }
    void SetId(uint16_t id) { m_nId = id; }
    int32_t GetSize() const { return m_nSize; }
    // Records a size for a value that holds no block (stream loading keeps the recorded size);
    // ignored while the value owns a block, whose size is always the block's.
    void SetRecordedSize(int32_t size);
    // The eight data bytes: the number itself, or a pointer (the first four bytes on x86, all
    // eight on x64).
    const uint8_t* GetData() const { return m_data; }
    uint8_t* GetData() { return m_data; }

    // Numbers as stored, read from the data bytes whatever the type.
    uint8_t GetByte() const;
    uint16_t GetWord() const;
    int32_t GetLong() const;
    uint32_t GetDword() const;
    double GetDouble() const;
    // The pointer in the data bytes (block, text, list, object or foreign pointer).
    void* GetPointer() const;
    // The block of vtBinary and unknown codes; null for other types or no block.
    const void* GetBlock() const;
    // The text of vtAnsiText and vtUtf8Text, null for other types or no text.
    const char* GetNarrowText() const;
    // The text of vtWideText, null for other types or no text.
    const wchar_t* GetWideText() const;
    // The list of a vtList value, null for other types.
    CVariantList* GetList();
    const CVariantList* GetList() const;
    // The object of a vtObject value, null otherwise.
    IVariantObject* GetVariantObject() const;
    // The file object of a vtFileObject value, null otherwise.
    CFileObject* GetFileObject() const;

    // True when p is this value or lies (at any depth) inside this value's list or file object.
    bool ContainsValue(const CVariant* p) const;

private:
    bool OwnsBlock() const;
    void SetPointerField(const void* p);
    // Copy of source into this value without looking for overlap (the caller has).
    CVariant& AssignContent(const CVariant& source);
    static void CopyListContent(const CVariantList* from, CVariantList* to);
    CVariant& InstallBlock(uint16_t type, const void* bytes, size_t count);

    uint16_t m_nType;
    uint16_t m_nId;
    int32_t m_nSize;
    uint8_t m_data[8];
};

// Three-way comparison, the match function of list storage: different types order by code;
// see the source for the rules of each type. A null pointer counts as an empty value.
int32_t Compare(const CVariant* first, const CVariant* second);

// Quicksort (Hoare partitioning) of elements first..last of list by compare; the sort function
// of list storage. Invalid ranges and lists of fewer than two elements are left alone.
void SortList(CVariantList* list, CVariantList::CompareFunc compare, int32_t first, int32_t last);

// The list payload of the value stream: the element count (4 bytes), then each element's record.
// Loading empties the list first; a count the medium cannot hold records an error in the
// container. Answers the container's error state. A null list reads and writes as empty.
int32_t SerializeList(CVariantList* list, CDataContainer& container);

// True when text is non-empty, well-formed UTF-8 by lead/continuation structure and holds at
// least one byte of 0x80 or more (pure ASCII is not UTF-8 by this test).
bool IsUtf8(const char* text);

// The text as UTF-8: unchanged when IsUtf8, otherwise converted from the ANSI code page. Null
// counts as the empty text.
CAnsiString NormalizeToUtf8(const char* text);

// Seam for tests: called after each of the three wipe passes (pass 0, 1, 2) over a block that a
// value is about to release, with the block and its size. Null removes the observer.
typedef void (*ValueWipeObserver)(const void* block, int32_t size, int pass, void* context);
void SetValueWipeObserver(ValueWipeObserver observer, void* context);

// Defined by the file-object module. New returns an empty file object owned by the value (or
// null); Delete destroys and frees one; ValueOf gives the object as the value (list) it is, or
// null for null.
CFileObject* NewFileObjectForValue();
void DeleteFileObjectOfValue(CFileObject* object);
CVariant* ValueOfFileObject(CFileObject* object);

} // namespace Corvinex
