// The process heap's setting: freed big blocks go back to the system even when small blocks
// made between them stay, as the texts of a day's page calls and what they leave behind do;
// the blocks a window's frames are made of are reused.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/heap.h"

namespace {

long ResidentAnonymousKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long kb = 0;
    while (status >> key)
        if (key == "RssAnon:" && status >> kb)
            return kb;
    return -1;
}

long MinorFaults() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

} // namespace

TEST(ProcessHeap, FreedBigBlocksGoBackToTheSystem) {
    using namespace platform;
    ASSERT_TRUE(HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &kHeapLowFragmentation,
                                   sizeof(kHeapLowFragmentation)));
    long before = ResidentAnonymousKb();
    std::vector<std::unique_ptr<char[]>> kept;
    // Texts of megabytes, each followed by a small block that stays: freed, the big ones lie
    // between live blocks, where the allocator alone never gives them back. One is bigger than
    // any block the heap keeps.
    for (size_t mb : {12, 4, 4, 6, 40, 4, 5, 4, 4, 8, 4, 4, 4, 6, 4, 4, 4}) {
        std::unique_ptr<char[]> big(new char[mb << 20]);
        std::memset(big.get(), 'x', mb << 20);
        kept.emplace_back(new char[256]);
        std::memset(kept.back().get(), 'y', 256);
    }
    long grown = ResidentAnonymousKb() - before;
    for (int waited = 0; grown >= 4 * 1024 && waited < 3 * kHeapCompactEveryMs; waited += 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        grown = ResidentAnonymousKb() - before;
    }
    EXPECT_LT(grown, 4 * 1024) << "KiB kept " << 3 * kHeapCompactEveryMs << " ms after the big blocks were freed";
}

// The software renderer that composes the windows makes and frees blocks of these sizes in
// every frame: about 140 KiB hundreds of times in a start, and two of the window's size
// (1200 x 760 pixels, then maximised on a 1080p screen) in every flush. Each must reuse the
// memory of the one before, not fault in a mapping of its own or a heap top given back.
TEST(ProcessHeap, RenderersBlocksAreReusedNotMappedAnew) {
    using namespace platform;
    ASSERT_TRUE(HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &kHeapLowFragmentation,
                                   sizeof(kHeapLowFragmentation)));
    for (size_t size : {size_t(140) * 1024, size_t(1200) * 760 * 4, size_t(1920) * 1080 * 4}) {
        const int rounds = 40;
        long before = MinorFaults();
        for (int i = 0; i < rounds; ++i) {
            // Through volatile pointers, so that the compiler keeps the blocks and their writes.
            char* volatile copy = static_cast<char*>(std::malloc(size));
            void* aligned = nullptr;
            ASSERT_EQ(posix_memalign(&aligned, 64, size), 0);
            char* volatile texture = static_cast<char*>(aligned);
            ASSERT_NE(copy, nullptr);
            for (size_t at = 0; at < size; at += 4096)
                copy[at] = texture[at] = 'z';
            std::free(texture);
            std::free(copy);
        }
        // A mapping each faults in every page of every block.
        long pagesPerRound = static_cast<long>(2 * size / 4096);
        EXPECT_LT(MinorFaults() - before, rounds * pagesPerRound / 4)
            << "page faults for " << rounds << " rounds of two blocks of " << size << " bytes";
    }
}

TEST(ProcessHeap, OnlyTheLowFragmentationRequestIsKnown) {
    using namespace platform;
    DWORD other = 1;
    EXPECT_FALSE(HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &other, sizeof(other)));
    EXPECT_FALSE(HeapSetInformation(nullptr, HeapCompatibilityInformation, &kHeapLowFragmentation,
                                    sizeof(kHeapLowFragmentation)));
    EXPECT_FALSE(HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &kHeapLowFragmentation, 1));
}
