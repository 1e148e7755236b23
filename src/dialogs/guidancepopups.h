#pragma once
// The two one-time guidance pop-ups: one points at the main window's message-center button,
// one at the message center's subscription button. Each can be dismissed or followed; following
// asks the window that opened it to open what the pop-up points at.
#include "notify/smallwindow.h"

// Moves a guidance pop-up, keeping its size, z-order and the active window, so that its top
// edge is 5 pixels below `top` and it is centred on `centreX` (screen coordinates).
void MoveGuidanceBelow(HWND popup, int centreX, int top);

// Points at "msgcenterbtn"; "btn_view" posts WM_SHOW_MSG_CENTER to the main window.
class CMsgGuidanceUI : public CSmallWindowUI {
public:
    DuiLib::CDuiString GetSkinFile() override { return L"msgcenter_guidance.xml"; }
    void OnClick(DuiLib::TNotifyUI& msg) override;
};

// Points at "subscribesetbtn"; "btn_view" posts WM_SHOW_SUBSCRIBE_SET to the message center.
class CSubGuidanceUI : public CSmallWindowUI {
public:
    DuiLib::CDuiString GetSkinFile() override { return L"subscribe_guidance.xml"; }
    void OnClick(DuiLib::TNotifyUI& msg) override;
};
