#include "modalwnds.h"

#include "common/custommsg.h"

using DuiLib::TNotifyUI;

void CNoNetMsg::OnClick(TNotifyUI& msg) {
    DuiLib::CDuiString name = msg.pSender->GetName();
    if (name == L"btn_quit")
        Close(IDCANCEL);
    else if (name == L"btn_reload")
        Close(IDOK);
    else if (name == L"close_btn")
        Close(IDCLOSE);
    CSmallWindowUI::OnClick(msg);
}

void COtherPlaceLoginUI::OnClick(TNotifyUI& msg) {
    DuiLib::CDuiString name = msg.pSender->GetName();
    if (name == L"btn_cancel")
        Close(IDCANCEL);
    else if (name == L"btn_relogin")
        Close(IDOK);
    CSmallWindowUI::OnClick(msg);
}

bool CQuitMsgUI::AllSolveSelected() {
    auto* option = static_cast<DuiLib::COptionUI*>(Find(L"op_allsolve"));
    return option && option->IsSelected();
}

void CQuitMsgUI::OnClick(TNotifyUI& msg) {
    DuiLib::CDuiString name = msg.pSender->GetName();
    if (name == L"btn_cancel") {
        Close(IDCANCEL);
    } else if (name == L"btn_quit") {
        platform::PostMessage(m_hMainWnd, WM_CHANGE_STATE, 1, AllSolveSelected() ? 1 : 0);
        Close(IDOK);
    } else if (name == L"btn_forcequit") {
        if (AllSolveSelected())
            platform::PostMessage(m_hMainWnd, WM_CHANGE_STATE, 0, 1);
        else
            m_bForceQuit = 1;
        Close(IDOK);
    }
    CSmallWindowUI::OnClick(msg);
}
