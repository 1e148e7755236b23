#pragma once
// Request workers of the message center and subscription windows: one short-lived thread per
// HTTP call, which posts its task back to the window as WM_MSG_REQUEST_DONE. The window owns
// every task it takes back; tasks whose window has gone are freed here, never posted.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/httpwork.h"
#include "platform/winuser.h"

// The record a worker fills and posts back. The first four fields are the transport's answer.
struct SRequestTask : SHttpResult {
    HWND hTarget = nullptr;
    std::string strCookies;
    int nKind = 0;
    std::string strCategory;
    // Which opening of the window started the request; answers of an earlier one are stale.
    uint64_t nGeneration = 0;
    virtual ~SRequestTask() = default;
};

// A delivered answer with a 2xx status; other statuses are server failures, not answers to show.
inline bool IsAnswered(const SHttpResult& r) { return r.bSuccess && r.nResponseCode >= 200 && r.nResponseCode < 300; }

class CRequestWorkers {
public:
    CRequestWorkers();
    // Waits as Close does.
    ~CRequestWorkers();
    CRequestWorkers(const CRequestWorkers&) = delete;
    CRequestWorkers& operator=(const CRequestWorkers&) = delete;

    // Runs `call` on a thread of its own, then posts the task to its hTarget. A call that
    // failed sooner than 200 ms is held back to 200 ms, so a waiting ring never just flickers.
    void Start(std::unique_ptr<SRequestTask> task, std::function<void(SRequestTask&)> call);
    // The task a WM_MSG_REQUEST_DONE carried, now the caller's; none for a pointer this set
    // did not post (a forged or repeated message).
    std::unique_ptr<SRequestTask> Take(WPARAM wParam);
    // Requests whose answer the window has not taken yet: still running, or posted and waiting
    // in the window's queue.
    size_t Running() const;
    // Waits up to `ms` for every running worker together, then frees the tasks posted but not
    // taken; workers still running afterwards free their own task instead of posting it.
    void Close(int ms);

private:
    struct State;
    std::shared_ptr<State> m_state;
};
