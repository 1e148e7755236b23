#include "heap.h"

#include <malloc.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace platform {

namespace {
// Up to this size a block comes from the heap, where a freed one is used again. The window is
// composed in software, and every flush copies the whole window and makes a texture of it: two
// blocks of width x height x 4 bytes (3.6 MB for the main window, 8 MB maximised on a 1080p
// screen). Given a mapping each, every frame faulted them in page by page and unmapped them with
// every thread's TLB flushed; at 1 MiB that made the start some 4% slower. 32 MiB is the most
// the allocator takes.
constexpr int kOwnMappingFrom = 32 << 20;
// The free top of the heap is kept up to this size, so that the frames' blocks do not give it
// back and fetch it again with every flush.
constexpr int kKeepFreeTop = 2 * kOwnMappingFrom;
int s_processHeap = 0; // only its address is handed out
std::once_flag s_compactorStarted;

// Free bytes in all the allocator's arenas.
size_t FreeHeapBytes() { return mallinfo2().fordblks; }

// Blocks under kOwnMappingFrom stay with the heap when freed. The allocator gives back only the
// free top of each arena on its own; freed blocks below a live one stay resident. So whenever
// the free memory has grown by kHeapCompactFrom since it was last at its lowest, all free pages
// go back to the system.
void CompactWhenFreedMemoryPilesUp() {
    size_t lowest = FreeHeapBytes();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kHeapCompactEveryMs));
        size_t free = FreeHeapBytes();
        if (free < lowest)
            lowest = free;
        else if (free - lowest >= kHeapCompactFrom) {
            malloc_trim(0);
            lowest = free;
        }
    }
}
} // namespace

HANDLE GetProcessHeap() { return &s_processHeap; }

BOOL HeapSetInformation(HANDLE heap, HEAP_INFORMATION_CLASS infoClass, const void* info, size_t length) {
    if (heap != GetProcessHeap() || infoClass != HeapCompatibilityInformation || !info || length != sizeof(DWORD) ||
        *static_cast<const DWORD*>(info) != kHeapLowFragmentation)
        return FALSE;
    if (mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom) != 1 || mallopt(M_TRIM_THRESHOLD, kKeepFreeTop) != 1)
        return FALSE;
    // It only sleeps and looks; the process may end at any point of it.
    std::call_once(s_compactorStarted, [] { std::thread(CompactWhenFreedMemoryPilesUp).detach(); });
    return TRUE;
}

} // namespace platform
