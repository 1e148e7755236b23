// The process heap's setting: freed big blocks go back to the system even when small blocks
// made between them stay, as the texts of a day's page calls and what they leave behind do.
#include <gtest/gtest.h>

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

TEST(ProcessHeap, OnlyTheLowFragmentationRequestIsKnown) {
    using namespace platform;
    DWORD other = 1;
    EXPECT_FALSE(HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &other, sizeof(other)));
    EXPECT_FALSE(HeapSetInformation(nullptr, HeapCompatibilityInformation, &kHeapLowFragmentation,
                                    sizeof(kHeapLowFragmentation)));
    EXPECT_FALSE(HeapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &kHeapLowFragmentation, 1));
}
