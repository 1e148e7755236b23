#pragma once
// The first-use guidance window: a still picture with a view button. Viewing replaces the picture
// with "guidance.mov" from the executable's folder, played silently into the native child window
// of the "VideoTag" control; when the video has played to its end the view button gives way to
// the acknowledge button. The window tells its main window that the guidance was viewed
// (WM_GUIDANCE_DONE) and that it was closed (WM_GUIDANCE_CLOSED).
#include <string>

#include "cvideoplayer.h"
#include "duilib/uiwindow.h"

namespace DuiLib {
class CWndUI;
}

class CGuidanceUI : public DuiLib::WindowImplBase {
public:
    // Posted by the player to this window when it ends; wParam is the player's result.
    static constexpr UINT WM_VIDEO_END = WM_USER + 0x116;

    CGuidanceUI() = default;
    ~CGuidanceUI() override;

    DuiLib::LPCTSTR GetWindowClassName() const override { return L"MainWnd"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    void OnClick(DuiLib::TNotifyUI& msg) override;
    DuiLib::CDuiString GetSkinFile() override { return L"guidance.xml"; }
    // "VideoTag": the video area, a native child window at 40, 40, 581 x 404.
    DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;

    void SetMainHwnd(HWND hWnd) { m_hMainWnd = hWnd; }
    const std::wstring& GetVideoPath() const { return m_strVideoPath; }
    DuiLib::CWndUI* GetVideoControl() const { return m_pVideo; }
    const CVideoPlayer& GetPlayer() const { return m_Player; }

protected:
    // The window is going: the player must stop drawing into its child first.
    void OnReleaseWindow() override;

private:
    void StartVideo();

    DuiLib::CControlUI* m_pBtnHide = nullptr;
    DuiLib::CControlUI* m_pGuidanceImg = nullptr;
    DuiLib::CControlUI* m_pOpNotNotice = nullptr;
    DuiLib::CControlUI* m_pVLayoutAll = nullptr;
    DuiLib::CWndUI* m_pVideo = nullptr;
    DuiLib::CControlUI* m_pBtnView = nullptr;
    DuiLib::CControlUI* m_pBtnKnown = nullptr;
    HWND m_hMainWnd = nullptr;
    std::wstring m_strVideoPath;
    CVideoPlayer m_Player;
};
