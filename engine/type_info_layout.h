// Whether an object's run-time type information is laid out as this module's C++ ABI lays it
// out, judged by guarded reads of memory only: the object is never called. A dynamic_cast on an
// object of the other ABI (an engine built with MinGW beside an MSVC-built harness, or the
// reverse) or of a module built without type information reads a foreign layout and can fault.
#pragma once

namespace Corvinex {

// True when the word before the object's virtual table points to type information of this
// module's ABI: under GCC's (Itanium) ABI a type_info whose name is a mangled name
// ("N8Corvinex14VeilpathEngine15IVeilpathEngineE"), under the MSVC ABI a complete object locator
// (signature 0 with addresses on x86, 1 with image-relative offsets on x64) whose type
// descriptor's name starts with ".?A". False for a null or unreadable object, table or slot, and
// for any other layout.
bool HasTypeInfoOfThisAbi(const void* object);

// The two layouts, each judged on its own from the word before a virtual table (meta), whatever
// this module's ABI, in the form of this module's machine type; HasTypeInfoOfThisAbi uses the
// one of this module's ABI.
bool IsItaniumTypeInfo(const void* meta);
bool IsMsvcCompleteObjectLocator(const void* meta);

// True when all `bytes` bytes from `address` are committed, readable memory (VirtualQuery).
bool IsReadableMemory(const void* address, unsigned long bytes);

// The object's virtual table when the object's first word and `entries` words of the table
// behind it can be read; null otherwise (a null, dead or wiped object).
const void* const* ReadableVirtualTable(const void* object, unsigned long entries);

} // namespace Corvinex
