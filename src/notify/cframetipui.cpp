#include "cframetipui.h"

#include "cheadui.h"
#include "common/custommsg.h"
#include "displaytext.h"

void CFrameTipUI::InitWindow() {
    m_pUserName = Find(L"user_name");
    m_pMsgText = Find(L"msg_text");
    DuiLib::CControlUI* head = Find(L"head_image");
    m_pHeadImage = head ? static_cast<CHeadUI*>(head->GetInterface(L"HeadIcon")) : nullptr;
}

void CFrameTipUI::OnReleaseWindow() {
    m_pUserName = nullptr;
    m_pMsgText = nullptr;
    m_pHeadImage = nullptr;
    CFrameNotifyUI::OnReleaseWindow();
}

void CFrameTipUI::ShowMessage(const std::wstring& conversationId, const std::wstring& name,
                              const std::wstring& avatar, const std::wstring& text, const std::wstring& link,
                              bool otherShowing) {
    platform::KillTimer(m_hWnd, kHideTimer);
    if (m_pUserName)
        m_pUserName->SetText(CutForDisplay(name).c_str());
    if (m_pMsgText) {
        std::wstring shown = CutForDisplay(text);
        m_pMsgText->SetText(shown.c_str());
        m_pMsgText->SetToolTip(shown.c_str());
    }
    if (m_pHeadImage)
        m_pHeadImage->SetHeadImage(avatar.c_str());
    m_strConversationId = conversationId;
    m_strUrl = link;
    AdjustPosition(otherShowing, kLift);
    ShowForAWhile();
}

void CFrameTipUI::OnTextClicked() {
    if (!m_strUrl.empty()) {
        OpenLink(m_strUrl);
        return;
    }
    auto* id = new std::wstring(m_strConversationId);
    if (!platform::PostMessage(m_hMainWnd, WM_OPEN_CONVERSATION, reinterpret_cast<WPARAM>(id), 0))
        delete id;
}
