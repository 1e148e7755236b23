#include "msgcenter/pageview.h"

#include <ctime>
#include <string>

#include "events/eventlogmanage.h"

void CPageViewTimer::OnShowWindow(bool shown) {
    int64_t now = static_cast<int64_t>(time(nullptr));
    if (shown) {
        m_nShownAt = now;
        m_bShown = true;
        return;
    }
    // A hide without a show before it (a window created hidden) is no page view.
    if (!m_bShown)
        return;
    m_bShown = false;
    g_EventLogManage.AddEvent("page", {{"name", m_pageName},
                                       {"type", "native"},
                                       {"start", std::to_string(m_nShownAt)},
                                       {"duration", std::to_string(now - m_nShownAt)},
                                       {"uri", "not define"}});
}
