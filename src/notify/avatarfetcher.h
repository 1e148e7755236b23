#pragma once
// Avatar look-ups off the window thread. One worker asks the avatar cache for each request in
// the order they came, downloading where the cache has to, and posts every answer to the
// window that asked. The cache is then used from this worker only.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/winuser.h"

// One answer, posted in wParam of the answer message; the receiver deletes it.
struct SAvatarAnswer {
    uint64_t nTicket = 0;
    std::wstring strPath; // the local file; empty when there is none (no URL, failed download)
};

class CAvatarFetcher {
public:
    // Answers go to `target` as `answerMsg`. The worker starts with the first request.
    CAvatarFetcher(HWND target, UINT answerMsg);
    // Waits for the request in progress (at most the transport's time-out); the others are
    // dropped unanswered.
    ~CAvatarFetcher();
    CAvatarFetcher(const CAvatarFetcher&) = delete;
    CAvatarFetcher& operator=(const CAvatarFetcher&) = delete;

    void Request(uint64_t ticket, const std::wstring& key, const std::wstring& url);

private:
    struct SRequest {
        uint64_t nTicket;
        std::wstring strKey, strUrl;
    };
    void Run();

    HWND m_hTarget;
    UINT m_nAnswerMsg;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<SRequest> m_queue;
    bool m_bStop = false;
    std::thread m_worker;
};
