#pragma once
// The tip for a customer conversation or a newcomer: avatar, name and text in the corner for
// five seconds. Clicking the text opens the conversation in the main window, or the link when
// the event carries one.
#include "cframenotify.h"

class CHeadUI;

class CFrameTipUI : public CFrameNotifyUI {
public:
    static constexpr int kLift = 115; // above a showing pop-up

    DuiLib::CDuiString GetSkinFile() override { return L"popmsg.xml"; }
    void InitWindow() override;

    void ShowMessage(const std::wstring& conversationId, const std::wstring& name, const std::wstring& avatar,
                     const std::wstring& text, const std::wstring& link, bool otherShowing);

protected:
    // The controls go with the native window.
    void OnReleaseWindow() override;

private:
    void OnTextClicked() override;

    DuiLib::CControlUI* m_pUserName = nullptr;
    DuiLib::CControlUI* m_pMsgText = nullptr;
    CHeadUI* m_pHeadImage = nullptr;
    std::wstring m_strConversationId;
};
