#pragma once
// The small modal windows of the connection and the quit flow. Each maps its buttons to a
// close code (1 affirmative, 2 cancel or quit, 8 close button) or to a message for its opener.
#include "notify/smallwindow.h"

// The web console failed to load: retry (1), quit (2) or just close (8).
class CNoNetMsg : public CSmallWindowUI {
public:
    DuiLib::CDuiString GetSkinFile() override { return L"nonetworkmsg.xml"; }
    void OnClick(DuiLib::TNotifyUI& msg) override;
};

// The account signed in elsewhere: sign in again (1) or cancel (2).
class COtherPlaceLoginUI : public CSmallWindowUI {
public:
    DuiLib::CDuiString GetSkinFile() override { return L"otherplaceloginmsg.xml"; }
    void OnClick(DuiLib::TNotifyUI& msg) override;
};

// Quit confirmation while the console reports open work. "btn_quit" asks the main window to
// change the merchant's state (WM_CHANGE_STATE); "btn_forcequit" without "op_allsolve" asks
// nothing and sets the force-quit flag, so the main window quits right after the dialog.
class CQuitMsgUI : public CSmallWindowUI {
public:
    DuiLib::CDuiString GetSkinFile() override { return L"quitmsg.xml"; }
    void OnClick(DuiLib::TNotifyUI& msg) override;
    bool IsForceQuit() const { return m_bForceQuit != 0; }

private:
    bool AllSolveSelected();
    int m_bForceQuit = 0;
};

// Shown, with the main window disabled, while the console changes the merchant's state.
class CWaitRing : public CSmallWindowUI {
public:
    CWaitRing() : CSmallWindowUI(false) {}
    DuiLib::CDuiString GetSkinFile() override { return L"waitring.xml"; }
};
