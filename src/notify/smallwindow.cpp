#include "smallwindow.h"

#include "cheadui.h"

LRESULT CSmallWindowUI::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCLBUTTONDBLCLK)
        return 0;
    return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

DuiLib::CControlUI* CSmallWindowUI::CreateControl(DuiLib::LPCTSTR pstrClass) {
    if (m_bHeadIcons && DuiLib::EqualNoCase(pstrClass, L"HeadIcon"))
        return new CHeadUI();
    return nullptr;
}
