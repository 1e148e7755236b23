#include "avatarfetcher.h"

#include "avatarcache.h"

CAvatarFetcher::CAvatarFetcher(HWND target, UINT answerMsg) : m_hTarget(target), m_nAnswerMsg(answerMsg) {}

CAvatarFetcher::~CAvatarFetcher() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStop = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void CAvatarFetcher::Request(uint64_t ticket, const std::wstring& key, const std::wstring& url) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_queue.push_back({ticket, key, url});
        if (!m_worker.joinable())
            m_worker = std::thread([this] { Run(); });
    }
    m_wake.notify_one();
}

void CAvatarFetcher::Run() {
    for (;;) {
        SRequest request;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_wake.wait(guard, [this] { return m_bStop || !m_queue.empty(); });
            if (m_bStop)
                return;
            request = std::move(m_queue.front());
            m_queue.pop_front();
        }
        auto* answer = new SAvatarAnswer{request.nTicket, {}};
        CAvatarCache::GetInstance()->GetAvatar(request.strKey, request.strUrl, answer->strPath);
        if (!platform::PostMessage(m_hTarget, m_nAnswerMsg, reinterpret_cast<WPARAM>(answer), 0))
            delete answer;
    }
}
