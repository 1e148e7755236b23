#include "dialogs/guidancepopups.h"

#include "common/custommsg.h"

using namespace DuiLib;

namespace {

// "hidebtn" hides; "btn_view" hides and posts `viewMsg` to the opener.
void GuidanceClick(CWindowWnd& wnd, HWND opener, UINT viewMsg, TNotifyUI& msg) {
    CDuiString name = msg.pSender->GetName();
    if (name == L"hidebtn") {
        wnd.ShowWindow(false, false);
    } else if (name == L"btn_view") {
        wnd.ShowWindow(false, false);
        platform::PostMessage(opener, viewMsg, 0, 0);
    }
}

} // namespace

void MoveGuidanceBelow(HWND popup, int centreX, int top) {
    RECT g{};
    platform::GetWindowRect(popup, &g);
    platform::SetWindowPos(popup, nullptr, centreX - (g.right - g.left) / 2, top + 5, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMsgGuidanceUI::OnClick(TNotifyUI& msg) {
    GuidanceClick(*this, m_hMainWnd, WM_SHOW_MSG_CENTER, msg);
    CSmallWindowUI::OnClick(msg);
}

void CSubGuidanceUI::OnClick(TNotifyUI& msg) {
    GuidanceClick(*this, m_hMainWnd, WM_SHOW_SUBSCRIBE_SET, msg);
    CSmallWindowUI::OnClick(msg);
}
