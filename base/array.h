// TArray: the framework's growable array, with a match function for searches and a sort
// function, so an array can be searched and sorted without knowing its element type.
//
// Elements live in one fixed global-heap block and are moved by block copy when it grows, so
// TYPE must be relocatable by memcpy (the framework's strings, values and properties are).
#pragma once

#include "base/global_heap.h"
#include "base/language_support.h"
#include "base/quick_sort.h"

#include <stdint.h>
#include <string.h>

namespace Corvinex {

template <class TYPE, class ARG_TYPE = const TYPE&> class TArray {
public:
    // 0 when the element matches the key; for sorting, negative/zero/positive as for strcmp.
    typedef int32_t (*CompareFunc)(const TYPE* element, const TYPE* key);
    typedef void (*SortFunc)(TArray* array, CompareFunc compare, int32_t first, int32_t last);

    explicit TArray(CompareFunc compare = nullptr, SortFunc sort = nullptr)
        : pfnCompare(compare), pfnSort(sort), pData(nullptr), nCount(0), nCapacity(0), nGrowBy(0) {}
    ~TArray() { RemoveAll(); }
    TArray(const TArray&) = delete;
    TArray& operator=(const TArray&) = delete;

    int32_t GetCount() const { return nCount; }
    int32_t GetCapacity() const { return nCapacity; }
    int32_t GetGrowBy() const { return nGrowBy; }
    TYPE* GetData() { return pData; }
    const TYPE* GetData() const { return pData; }
    // The element itself, for reading or changing in place; index must be below the count.
    TYPE& ElementAt(int32_t index) { return pData[index]; }
    const TYPE& ElementAt(int32_t index) const { return pData[index]; }
    CompareFunc GetCompareFunc() const { return pfnCompare; }
    void SetCompareFunc(CompareFunc compare) { pfnCompare = compare; }
    void SetSortFunc(SortFunc sort) { pfnSort = sort; }
    SortFunc GetSortFunc() const { return pfnSort; }

    // Sets the element count to n (new elements default-constructed, surplus ones destroyed);
    // growBy -1 keeps the growth step. Returns false, with the array unchanged, when the
    // larger block cannot be had.
    bool SetSize(int32_t n, int32_t growBy = -1) {
        if (growBy != -1) {
            nGrowBy = growBy;
        }
        return Resize(n, nullptr);
    }

    // Assigns element at index, growing the array to index + 1 first when needed. element may
    // be an element of this array: the old block is kept until it has been copied.
    // Returns false (nothing changed) when the array cannot grow or index is negative.
    bool SetAtGrow(int32_t index, ARG_TYPE element) {
        if (index < 0) {
            return false;
        }
        TYPE* retired = nullptr;
        if (index >= nCount && !Resize(index + 1, &retired)) {
            return false;
        }
        pData[index] = element;
        if (retired != nullptr) {
            FreeGlobalBlock(retired);
        }
        return true;
    }

    // Appends a copy of element (which may be an element of this array); returns its index, or
    // -1 when the array cannot grow.
    int32_t Add(ARG_TYPE element) {
        int32_t index = nCount;
        return SetAtGrow(index, element) ? index : -1;
    }

    // A copy of the element at index (0 <= index < count).
    TYPE GetAt(int32_t index) const { return pData[index]; }

    // Removes n elements from index on; the rest move down in one block move. Capacity stays.
    // A range outside the elements in use is ignored.
    void RemoveAt(int32_t index, int32_t n = 1) {
        if (index < 0 || n <= 0 || index > nCount - n) {
            return;
        }
        Destroy(index, index + n);
        if (nCount - index != n) {
            memmove(static_cast<void*>(pData + index), static_cast<const void*>(pData + index + n),
                    static_cast<size_t>(nCount - index - n) * sizeof(TYPE));
        }
        nCount -= n;
    }

    // Destroys every element and releases the block; growth step and functions stay.
    void RemoveAll() {
        if (pData != nullptr) {
            Destroy(0, nCount);
            FreeGlobalBlock(pData);
        }
        pData = nullptr;
        nCount = 0;
        nCapacity = 0;
    }

    // Index of the first element the match function calls equal to key; -1 without a match
    // function or match.
    int32_t IndexOf(ARG_TYPE key) const {
        if (pfnCompare == nullptr) {
            return -1;
        }
        const TYPE& probe = key;
        for (int32_t i = 0; i < nCount; ++i) {
            if (pfnCompare(&pData[i], &probe) == 0) {
                return i;
            }
        }
        return -1;
    }

    // Adds a copy of each element other holds when the call begins, in order; other may be
    // this array, whose elements then appear twice.
    void AppendAll(const TArray& other) {
        int32_t count = other.nCount;
        for (int32_t i = 0; i < count; ++i) {
            TYPE copy(other.pData[i]);
            Add(copy);
        }
    }

    // Sorts elements first..last with the sort function, or the built-in quicksort when there
    // is none. Does nothing without a match function or for an empty or invalid range.
    void SortRange(int32_t first, int32_t last) {
        if (pfnCompare == nullptr || first < 0 || first >= last || last > nCount - 1) {
            return;
        }
        if (pfnSort != nullptr) {
            pfnSort(this, pfnCompare, first, last);
        } else {
            MatchOrder order = {pfnCompare};
            QuickSortRange(pData, first, last, order);
        }
    }

private:
    // SetSize without the growth step. When the block moves and retired is given, the old
    // block (its elements moved, not destroyed) is handed there for the caller to release.
    bool Resize(int32_t n, TYPE** retired) {
        if (n <= 0) {
            RemoveAll();
            return n == 0;
        }
        if (pData == nullptr) {
            TYPE* block = AllocateBlock(n);
            if (block == nullptr) {
                return false;
            }
            Construct(block, 0, n);
            pData = block;
            nCapacity = n;
        } else if (n > nCapacity) {
            int32_t step = nGrowBy;
            if (step == 0) {
                step = nCount / 8;
                step = step < 4 ? 4 : (step > 1024 ? 1024 : step);
            }
            int64_t grown = static_cast<int64_t>(nCapacity) + step;
            int32_t capacity = n >= grown ? n : static_cast<int32_t>(grown);
            TYPE* block = AllocateBlock(capacity);
            if (block == nullptr) {
                return false;
            }
            memcpy(static_cast<void*>(block), static_cast<const void*>(pData),
                   static_cast<size_t>(nCount) * sizeof(TYPE));
            Construct(block, nCount, n);
            if (retired != nullptr) {
                *retired = pData;
            } else {
                FreeGlobalBlock(pData);
            }
            pData = block;
            nCapacity = capacity;
        } else if (n > nCount) {
            Construct(pData, nCount, n);
        } else {
            Destroy(n, nCount);
        }
        nCount = n;
        return true;
    }

    static TYPE* AllocateBlock(int32_t n) {
        if (n <= 0 || static_cast<uint64_t>(n) * sizeof(TYPE) > 0x7FFFFFFFu) {
            return nullptr;
        }
        return static_cast<TYPE*>(AllocGlobalBlock(static_cast<size_t>(n) * sizeof(TYPE)));
    }
    static void Construct(TYPE* block, int32_t from, int32_t to) {
        for (int32_t i = from; i < to; ++i) {
            new (static_cast<void*>(block + i)) TYPE();
        }
    }
    void Destroy(int32_t from, int32_t to) {
        for (int32_t i = from; i < to; ++i) {
            // Qualified: the element is exactly a TYPE. The slot-layout classes kept in arrays
            // (CVariant, CProperty) have virtual functions and by design no virtual destructor,
            // which clang would otherwise report at this call.
            pData[i].TYPE::~TYPE();
        }
    }
    // The built-in order: the match function as a three-way comparison, called as its contract
    // says (element, key) on both scans ("below" and "above" the pivot); elements exchanged
    // through a temporary copy. The value lists keep an order of their own (config/variant.cpp).
    struct MatchOrder {
        CompareFunc compare;
        bool Below(const TYPE& element, const TYPE& pivot) const {
            return compare(&element, &pivot) < 0;
        }
        bool Above(const TYPE& element, const TYPE& pivot) const {
            return compare(&element, &pivot) > 0;
        }
        void Exchange(TYPE& a, TYPE& b) const {
            TYPE temp(a);
            a = b;
            b = temp;
        }
    };

    CompareFunc pfnCompare;
    SortFunc pfnSort;
    TYPE* pData;
    int32_t nCount;
    int32_t nCapacity;
    int32_t nGrowBy;
};

// Match function for pointer arrays: 0 when the pointers are equal, -1 otherwise.
template <class T> int32_t ComparePointers(T* const* element, T* const* key) {
    return *element == *key ? 0 : -1;
}

} // namespace Corvinex
