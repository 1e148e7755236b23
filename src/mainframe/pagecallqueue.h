#pragma once
// Page calls in the order the page made them. A call that shows an avatar waits until the
// avatar worker has its local file, so no call blocks the window thread on a download; every
// call behind a waiting one waits too, so the page's order holds. Window thread only.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "notify/avatarfetcher.h"

struct SPageCall {
    std::wstring strName;
    std::vector<std::wstring> args;
    std::wstring strAvatarPath; // the local file of the avatar the call shows, once known
};

class CPageCallQueue {
public:
    // Names the avatar a call shows (key and URL); false when it shows none.
    using AvatarOf = std::function<bool(const SPageCall& call, std::wstring& key, std::wstring& url)>;
    using Runner = std::function<void(const SPageCall& call)>;

    CPageCallQueue(AvatarOf avatarOf, Runner run);

    // Starts answering avatars: the worker's answers go to `window` as `answerMsg`, whose
    // handler passes them to OnAnswer. Until then calls run in order without avatars.
    void Attach(HWND window, UINT answerMsg);
    // Runs the call now when nothing waits and it shows no avatar; otherwise queues it.
    void Submit(SPageCall call);
    // Takes over the worker's answer and runs every call at the front that is ready.
    void OnAnswer(SAvatarAnswer* answer);
    bool IsIdle() const { return m_pending.empty(); }

private:
    struct SPending {
        SPageCall call;
        uint64_t nTicket = 0; // 0: ready to run
    };
    void RunReady();

    AvatarOf m_avatarOf;
    Runner m_run;
    std::unique_ptr<CAvatarFetcher> m_pFetcher;
    std::deque<SPending> m_pending;
    uint64_t m_nNextTicket = 1;
};
