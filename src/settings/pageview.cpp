#include "pageview.h"

#include <ctime>

#include "events/eventlogmanage.h"

void CPageViewTimer::OnShowWindow(bool shown) {
    int64_t now = static_cast<int64_t>(time(nullptr));
    if (shown) {
        m_nShownAt = now;
        return;
    }
    if (m_nShownAt == 0)
        return;
    g_EventLogManage.AddEvent("page", {{"name", m_strName},
                                       {"type", "native"},
                                       {"start", std::to_string(m_nShownAt)},
                                       {"duration", std::to_string(now - m_nShownAt)},
                                       {"uri", "not define"}});
    m_nShownAt = 0;
}
