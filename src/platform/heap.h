#pragma once
// The process heap and the one setting the program asks of it. On Windows the program turns
// on the low-fragmentation heap; here the same request makes the allocator keep what it reuses
// and hand back what it does not: blocks the size of a window's frame are taken from the heap
// again and again without a fresh mapping each, and memory freed in bulk (the texts of
// megabytes the page sent, the events built from them) goes back to the system within
// kHeapCompactEveryMs of piling up, even where small blocks made between them still live.
#include <cstddef>

#include "wintypes.h"

namespace platform {

using HANDLE = void*;
enum HEAP_INFORMATION_CLASS { HeapCompatibilityInformation = 0 };
// The value of HeapCompatibilityInformation that asks for the low-fragmentation heap.
constexpr DWORD kHeapLowFragmentation = 2;
// How often the heap looks for freed memory to hand back, and how much must have piled up.
constexpr int kHeapCompactEveryMs = 1000;
constexpr size_t kHeapCompactFrom = 8u << 20;

HANDLE GetProcessHeap();
// Only HeapCompatibilityInformation with kHeapLowFragmentation (a DWORD) is known; anything
// else is refused with FALSE. Asking again changes nothing.
BOOL HeapSetInformation(HANDLE heap, HEAP_INFORMATION_CLASS infoClass, const void* info, size_t length);

} // namespace platform
