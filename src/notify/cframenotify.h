#pragma once
// What the tip and the pop-up share: five seconds in the bottom-right corner of the work area
// of the monitor holding the window, lifted above the other one when it is showing.
#include <string>

#include "smallwindow.h"

class CFrameNotifyUI : public CSmallWindowUI {
public:
    static constexpr UINT_PTR kHideTimer = 1;
    static constexpr UINT kShowMs = 5000;

    explicit CFrameNotifyUI(bool headIcons = true) : CSmallWindowUI(headIcons) {}

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;
    void OnClick(DuiLib::TNotifyUI& msg) override;

    void HideMessage();
    bool IsShown() const { return m_bShow; }

protected:
    // Bottom-right corner, 10 pixels in from the work area's edges, `lift` pixels higher when
    // the other window is showing.
    void AdjustPosition(bool otherShowing, int lift);
    // Shows without focus and starts the five seconds again.
    void ShowForAWhile();
    // The text of "msg_text" was clicked.
    virtual void OnTextClicked() = 0;
    // Opens a link in the desktop's browser.
    static void OpenLink(const std::wstring& url);

    std::wstring m_strUrl;
    bool m_bShow = false;
};
