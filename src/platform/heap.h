#pragma once
// The process heap and the one setting the program asks of it. On Windows the program turns
// on the low-fragmentation heap; here the same request has the allocator map every big block
// on its own, so that a block of megabytes (a text the page sent, the event built from it)
// goes back to the system when it is freed instead of staying with the process for good.
#include <cstddef>

#include "wintypes.h"

namespace platform {

using HANDLE = void*;
enum HEAP_INFORMATION_CLASS { HeapCompatibilityInformation = 0 };
// The value of HeapCompatibilityInformation that asks for the low-fragmentation heap.
constexpr DWORD kHeapLowFragmentation = 2;

HANDLE GetProcessHeap();
// Only HeapCompatibilityInformation with kHeapLowFragmentation (a DWORD) is known; anything
// else is refused with FALSE.
BOOL HeapSetInformation(HANDLE heap, HEAP_INFORMATION_CLASS infoClass, const void* info, size_t length);

} // namespace platform
