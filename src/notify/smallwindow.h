#pragma once
// What every small skinned window shares: the class name "MainWnd", round avatars for
// "HeadIcon" skin tags, and the window that opened it.
#include "duilib/uiwindow.h"

class CSmallWindowUI : public DuiLib::WindowImplBase {
public:
    // `headIcons`: whether the skin's "HeadIcon" tags become round avatar controls.
    explicit CSmallWindowUI(bool headIcons = true) : m_bHeadIcons(headIcons) {}

    DuiLib::LPCTSTR GetWindowClassName() const override { return L"MainWnd"; }
    DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;

    // The window that opened this one; messages are posted there.
    void SetMainHwnd(HWND hWnd) { m_hMainWnd = hWnd; }

protected:
    // The control of the skin named `name`, or none.
    DuiLib::CControlUI* Find(const wchar_t* name) { return m_PaintManager.FindControl(name); }

    HWND m_hMainWnd = nullptr;

private:
    bool m_bHeadIcons;
};
