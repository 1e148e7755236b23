#include "heap.h"

#include <malloc.h>

namespace platform {

namespace {
// From this size on a block gets its own mapping. Setting it also stops the allocator from
// raising it after every big free, which is what lets freed megabytes pile up in its arenas.
// Not lower: the software OpenGL renderer that composes the window allocates and frees a
// block of about 140 KiB hundreds of times while the window comes up, and a fresh mapping
// for each, faulted in page by page and unmapped with every
// thread's TLB flushed, made the start some 25-40 ms slower.
constexpr int kOwnMappingFrom = 1024 * 1024;
int s_processHeap = 0; // only its address is handed out
} // namespace

HANDLE GetProcessHeap() { return &s_processHeap; }

BOOL HeapSetInformation(HANDLE heap, HEAP_INFORMATION_CLASS infoClass, const void* info, size_t length) {
    if (heap != GetProcessHeap() || infoClass != HeapCompatibilityInformation || !info || length != sizeof(DWORD) ||
        *static_cast<const DWORD*>(info) != kHeapLowFragmentation)
        return FALSE;
    return mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom) == 1 ? TRUE : FALSE;
}

} // namespace platform
