#include "pagecallqueue.h"

CPageCallQueue::CPageCallQueue(AvatarOf avatarOf, Runner run) : m_avatarOf(std::move(avatarOf)), m_run(std::move(run)) {}

void CPageCallQueue::Attach(HWND window, UINT answerMsg) { m_pFetcher = std::make_unique<CAvatarFetcher>(window, answerMsg); }

void CPageCallQueue::Submit(SPageCall call) {
    std::wstring key, url;
    if (m_pFetcher && m_avatarOf(call, key, url)) {
        uint64_t ticket = m_nNextTicket++;
        m_pending.push_back({std::move(call), ticket});
        m_pFetcher->Request(ticket, key, url);
        return;
    }
    if (m_pending.empty()) {
        m_run(call);
        return;
    }
    m_pending.push_back({std::move(call), 0});
}

void CPageCallQueue::OnAnswer(SAvatarAnswer* answer) {
    if (!answer)
        return;
    for (SPending& p : m_pending) {
        if (p.nTicket == answer->nTicket) {
            p.call.strAvatarPath = std::move(answer->strPath);
            p.nTicket = 0;
            break;
        }
    }
    delete answer;
    RunReady();
}

void CPageCallQueue::RunReady() {
    while (!m_pending.empty() && m_pending.front().nTicket == 0) {
        SPageCall call = std::move(m_pending.front().call);
        m_pending.pop_front();
        m_run(call);
    }
}
