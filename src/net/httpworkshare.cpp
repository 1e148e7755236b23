// Easy handles that join this share leave their connections in one cache that later handles,
// on any thread, pick up again.
#include <curl/curl.h>

#include <mutex>

#include "net/httpworkshare.h"

namespace {

struct SConnectionShare {
    CURLSH* share = nullptr;
    std::mutex locks[CURL_LOCK_DATA_LAST];
};

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    static_cast<SConnectionShare*>(user)->locks[data].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void* user) { static_cast<SConnectionShare*>(user)->locks[data].unlock(); }

// Never destroyed: threads still transferring at exit may hold connections from it.
SConnectionShare* TheShare() {
    static SConnectionShare* shared = [] {
        auto* s = new SConnectionShare;
        s->share = curl_share_init();
        if (s->share) {
            curl_share_setopt(s->share, CURLSHOPT_LOCKFUNC, &LockShare);
            curl_share_setopt(s->share, CURLSHOPT_UNLOCKFUNC, &UnlockShare);
            curl_share_setopt(s->share, CURLSHOPT_USERDATA, s);
            curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
            curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
            curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        }
        return s;
    }();
    return shared;
}

} // namespace

void ReuseConnections(CURL* handle) {
    SConnectionShare* s = TheShare();
    if (handle && s->share)
        curl_easy_setopt(handle, CURLOPT_SHARE, s->share);
}

namespace {

struct SKeptHandle {
    CURL* handle = nullptr;
    ~SKeptHandle() {
        if (handle)
            curl_easy_cleanup(handle);
    }
};

struct SKeptMulti {
    CURLM* multi = nullptr;
    ~SKeptMulti() {
        if (multi)
            curl_multi_cleanup(multi);
    }
};

} // namespace

CURL* ThreadKeptHandle() {
    thread_local SKeptHandle kept;
    if (!kept.handle)
        kept.handle = curl_easy_init();
    else
        curl_easy_reset(kept.handle); // options of the last request (its body, its buffer) go
    ReuseConnections(kept.handle);
    return kept.handle;
}

CURLM* ThreadKeptMulti() {
    thread_local SKeptMulti kept;
    if (!kept.multi)
        kept.multi = curl_multi_init();
    return kept.multi;
}

int WaitForTransfer(CURLM* multi, CURL* handle) {
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            return CURLE_FAILED_INIT;
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(multi, &left))
            if (m->msg == CURLMSG_DONE && m->easy_handle == handle)
                return m->data.result;
        if (running == 0) // ended without a word: nothing was transferred
            return CURLE_FAILED_INIT;
        // The library wakes sooner for its own time-outs.
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
}
