// The process heap's setting: freed big blocks go back to the system even when small blocks
// made between them stay, as the texts of a day's page calls and what they leave behind do.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
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
    // One text bigger than the rest first: without the setting the allocator would take every
    // later, smaller one from its own arena, where the small blocks between them pin it.
    for (size_t mb : {12, 4, 4, 6, 4, 5, 4, 4, 8, 4, 4, 4, 6, 4, 4, 4}) {
        std::unique_ptr<char[]> big(new char[mb << 20]);
        std::memset(big.get(), 'x', mb << 20);
        kept.emplace_back(new char[256]);
        std::memset(kept.back().get(), 'y', 256);
    }
    EXPECT_LT(ResidentAnonymousKb() - before, 4 * 1024) << "KiB kept after the big blocks were freed";
}

// The software renderer that composes the windows makes and frees blocks of this size hundreds
// of times in a start; each must reuse the memory of the one before, not fault in a mapping of
// its own.
TEST(ProcessHeap, RenderersBlocksAreReusedNotMappedAnew) {
    using namespace platform;
    ASSERT_TRUE(HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &kHeapLowFragmentation,
                                   sizeof(kHeapLowFragmentation)));
    const size_t size = 140 * 1024;
    const int rounds = 200;
    long before = MinorFaults();
    for (int i = 0; i < rounds; ++i) {
        // Through a volatile pointer, so that the compiler keeps the block and its writes.
        char* volatile block = static_cast<char*>(std::calloc(1, size));
        ASSERT_NE(block, nullptr);
        for (size_t at = 0; at < size; at += 4096)
            block[at] = 'z';
        std::free(block);
    }
    // A mapping each faults in every page of every block.
    long pagesPerBlock = static_cast<long>(size / 4096);
    EXPECT_LT(MinorFaults() - before, rounds * pagesPerBlock / 4) << "page faults for " << rounds << " blocks";
}

TEST(ProcessHeap, OnlyTheLowFragmentationRequestIsKnown) {
    using namespace platform;
    DWORD other = 1;
    EXPECT_FALSE(HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &other, sizeof(other)));
    EXPECT_FALSE(HeapSetInformation(nullptr, HeapCompatibilityInformation, &kHeapLowFragmentation,
                                    sizeof(kHeapLowFragmentation)));
    EXPECT_FALSE(HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &kHeapLowFragmentation, 1));
}
