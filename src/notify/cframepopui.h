#pragma once
// The pop-up for an order event: title and text in the corner for five seconds. Clicking the
// text opens the event's link in the desktop's browser.
#include "cframenotify.h"

class CFramePopUI : public CFrameNotifyUI {
public:
    static constexpr int kLift = 142; // above a showing tip

    CFramePopUI() : CFrameNotifyUI(false) {}
    DuiLib::CDuiString GetSkinFile() override { return L"popmsg2.xml"; }
    void InitWindow() override;

    void ShowMessage(const std::wstring& title, const std::wstring& text, const std::wstring& link, bool otherShowing);

protected:
    // The controls go with the native window.
    void OnReleaseWindow() override;

private:
    void OnTextClicked() override;

    DuiLib::CControlUI* m_pMsgTitle = nullptr;
    DuiLib::CControlUI* m_pMsgText = nullptr;
};
