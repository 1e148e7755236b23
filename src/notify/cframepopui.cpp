#include "cframepopui.h"

#include "displaytext.h"

void CFramePopUI::InitWindow() {
    m_pMsgTitle = Find(L"msg_title");
    m_pMsgText = Find(L"msg_text");
}

void CFramePopUI::OnReleaseWindow() {
    m_pMsgTitle = nullptr;
    m_pMsgText = nullptr;
    CFrameNotifyUI::OnReleaseWindow();
}

void CFramePopUI::ShowMessage(const std::wstring& title, const std::wstring& text, const std::wstring& link,
                              bool otherShowing) {
    platform::KillTimer(m_hWnd, kHideTimer);
    if (m_pMsgTitle)
        m_pMsgTitle->SetText(CutForDisplay(title).c_str());
    if (m_pMsgText) {
        std::wstring shown = CutForDisplay(text);
        m_pMsgText->SetText(shown.c_str());
        m_pMsgText->SetToolTip(shown.c_str());
    }
    m_strUrl = link;
    AdjustPosition(otherShowing, kLift);
    ShowForAWhile();
}

void CFramePopUI::OnTextClicked() {
    if (!m_strUrl.empty())
        OpenLink(m_strUrl);
}
