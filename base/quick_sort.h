// QuickSortRange: the framework's one quicksort, Hoare partitioning around a copy of the middle
// element. TArray's built-in sort and the value lists' sort (config/variant.cpp) both use it,
// each with an order of its own (see ORDER below).
#pragma once

#include <stdint.h>

namespace Corvinex {

// Sorts elements[first..last] (inclusive) in place; a range of fewer than two does nothing.
// ORDER supplies the comparisons and the exchange, so each caller keeps its own:
//   bool Below(const TYPE& element, const TYPE& pivot): the left scan goes on while true;
//   bool Above(const TYPE& element, const TYPE& pivot): the right scan goes on while true;
//   void Exchange(TYPE& a, TYPE& b).
// Two elements are exchanged when Below(second, first). Both scans stay inside the range, so an
// order that is not consistent still ends and keeps every element. The smaller part is sorted
// by recursion and the larger by the loop: the depth stays below log2 of the range's size.
// The elements must not move while the sort runs (ORDER must not resize their array).
template <class TYPE, class ORDER>
void QuickSortRange(TYPE* elements, int32_t first, int32_t last, const ORDER& order) {
    while (first < last) {
        if (last - first == 1) {
            if (order.Below(elements[last], elements[first])) {
                order.Exchange(elements[first], elements[last]);
            }
            return;
        }
        int32_t i = first;
        int32_t j = last;
        {
            // Released before the parts are sorted, so only one pivot copy lives per level.
            TYPE pivot(elements[first + (last - first) / 2]);
            while (i <= j) {
                while (i < last && order.Below(elements[i], pivot)) {
                    ++i;
                }
                while (j > first && order.Above(elements[j], pivot)) {
                    --j;
                }
                if (i < j) {
                    order.Exchange(elements[i], elements[j]);
                }
                if (i <= j) {
                    ++i;
                    --j;
                }
            }
        }
        if (j - first < last - i) {
            if (first < j) {
                QuickSortRange(elements, first, j, order);
            }
            first = i;
        } else {
            if (i < last) {
                QuickSortRange(elements, i, last, order);
            }
            last = j;
        }
    }
}

} // namespace Corvinex
