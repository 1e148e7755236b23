// Deferred deletion of controls released during notifications.
#include "uilifetime.h"

#include <vector>

#include "uicontrols.h"

namespace DuiLib {

namespace {
thread_local int tlsDepth = 0;
thread_local std::vector<CControlUI*> tlsReleased;
}

CNotifyScope::CNotifyScope() { ++tlsDepth; }

CNotifyScope::~CNotifyScope() {
    if (--tlsDepth > 0)
        return;
    // Deleting may release more controls (a destructor removing others): keep going until none
    // is left, still counted as inside so nothing is deleted twice.
    ++tlsDepth;
    while (!tlsReleased.empty()) {
        std::vector<CControlUI*> batch;
        batch.swap(tlsReleased);
        for (CControlUI* c : batch)
            delete c;
    }
    --tlsDepth;
}

bool CNotifyScope::IsOpen() { return tlsDepth > 0; }

void ReleaseControl(CControlUI* pControl) {
    if (!pControl)
        return;
    pControl->DetachFromWindow();
    if (tlsDepth > 0)
        tlsReleased.push_back(pControl);
    else
        delete pControl;
}

} // namespace DuiLib
