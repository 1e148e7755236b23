// The main process's memory around ten rounds of page calls with 1 MB arguments and the
// sign-out after them, against the memory of a signed-in session of ordinary traffic.
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "demopeer.h"
#include "events/eventlogmanage.h"
#include "mainframe/cmainframeui.h"
#include "notifyrig.h"
#include "platform/winuser.h"

namespace {

// The main process's memory by kind, in KiB, from /proc.
struct SMemory {
    long rss = 0, anon = 0, file = 0, shmem = 0;
    long heapInUse = 0; // what this process's allocator has handed out and not got back
};

SMemory MemoryNow() {
    SMemory m;
    std::ifstream status("/proc/self/status");
    std::string key;
    long kb = 0;
    while (status >> key) {
        long* field = key == "VmRSS:" ? &m.rss : key == "RssAnon:" ? &m.anon : key == "RssFile:" ? &m.file
                    : key == "RssShmem:" ? &m.shmem : nullptr;
        if (field && status >> kb)
            *field = kb;
    }
    struct mallinfo2 mi = mallinfo2();
    m.heapInUse = static_cast<long>((mi.uordblks + mi.hblkhd) / 1024);
    return m;
}

void PrintMemory(const char* when, const SMemory& m) {
    std::printf("  %-34s resident %7.1f MB (anonymous %7.1f, file %6.1f, shared %6.1f)  heap in use %7.1f MB\n", when,
                m.rss / 1024.0, m.anon / 1024.0, m.file / 1024.0, m.shmem / 1024.0, m.heapInUse / 1024.0);
}

unsigned EventsAtServer(const DemoPeer& server) { return server.GetJson("/demo/events/count")["count"].asUInt(); }

} // namespace

void MeasureHugeArgumentMemory(const SNotifyRig& rig, int rounds) {
    CMainFrameUI* frame = rig.frame;
    auto round = [&](const std::wstring& text) {
        frame->OnPageCall(L"WindowsConfig", {L"bench-m", text, L""});
        frame->OnPageCall(L"UnReadMessage", {L"bench-big", text, L"1", text, L""});
        frame->OnPageCall(L"HandleMessage", {L"bench-big2", text, L"conversation", text, L"", L"0", L"m-1"});
        frame->OnPageCall(L"WindowsInterface", {L"EventSendMsg", L"bench-big", text, L"m-1", L"0"});
        rig.RunUntilIdle(200);
    };
    // Until the upload thread has sent (or given up on) everything queued.
    auto drainEvents = [] {
        for (int i = 0; i < 600 && g_EventLogManage.QueuedCount() > 0; ++i)
            platform::PumpMessages(100);
        platform::PumpMessages(2000);
    };
    // A signed-in session of ordinary traffic, then signed out: the floor.
    round(L"Is the blue one in stock?");
    frame->OnPageCall(L"ChangeUser", {});
    drainEvents();
    unsigned events = EventsAtServer(*rig.server);
    SMemory before = MemoryNow();

    long peak = before.rss;
    {
        const std::wstring huge(1 << 20, L'长');
        for (int i = 0; i < rounds; ++i) {
            round(huge);
            peak = std::max(peak, MemoryNow().rss);
        }
    }
    frame->OnPageCall(L"ChangeUser", {});
    drainEvents();
    rig.RunUntilIdle(1000);
    SMemory after = MemoryNow();
    // Each round sends three events: the two messages received and the text sent.
    std::printf("%d rounds of page calls with 1 MB arguments (%u of %d events accepted by the server), peak resident "
                "%.1f MB:\n",
                rounds, EventsAtServer(*rig.server) - events, 3 * rounds, peak / 1024.0);
    PrintMemory("before", before);
    PrintMemory("after sign-out", after);
    malloc_trim(0);
    PrintMemory("after sign-out, free heap returned", MemoryNow());
    PrintRatio("main-process resident memory after sign-out (vs before ten rounds of 1 MB arguments)",
               after.rss / 1024.0, before.rss / 1024.0, "MB", "<= 1.10x");
}
