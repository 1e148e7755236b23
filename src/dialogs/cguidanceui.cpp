#include "cguidanceui.h"

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "duilib/UIlib.h"

using namespace DuiLib;

namespace {
constexpr WPARAM kVkSpace = 0x20;
// The video area inside the window.
constexpr int kVideoX = 40, kVideoY = 40, kVideoW = 581, kVideoH = 404;
// Opaque light grey behind the playing video.
constexpr DWORD kVideoBackColor = 0xFFF8F8F8;
} // namespace

CGuidanceUI::~CGuidanceUI() { m_Player.Stop(); }

void CGuidanceUI::OnReleaseWindow() {
    m_Player.Stop();
    WindowImplBase::OnReleaseWindow();
}

CControlUI* CGuidanceUI::CreateControl(LPCTSTR pstrClass) {
    if (!EqualNoCase(pstrClass, L"VideoTag"))
        return nullptr;
    auto* video = new CWndUI();
    video->CreateChild(m_hWnd, RECT{kVideoX, kVideoY, kVideoX + kVideoW, kVideoY + kVideoH});
    return video;
}

void CGuidanceUI::InitWindow() {
    m_pBtnHide = m_PaintManager.FindControl(L"hidebtn");
    m_pGuidanceImg = m_PaintManager.FindControl(L"guidance_img");
    m_pOpNotNotice = m_PaintManager.FindControl(L"op_not_notice");
    m_pVLayoutAll = m_PaintManager.FindControl(L"vlayout_all");
    m_pVideo = static_cast<CWndUI*>(m_PaintManager.FindControl(L"guidance_video"));
    m_pBtnView = m_PaintManager.FindControl(L"btn_view");
    m_pBtnKnown = m_PaintManager.FindControl(L"btn_known");
    m_strVideoPath = GetDirOfPath(GetModulePath()) + L"guidance.mov";
}

LRESULT CGuidanceUI::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCLBUTTONDBLCLK)
        return 0;
    if (uMsg == WM_VIDEO_END) {
        m_Player.Stop();
        if (wParam == CVideoPlayer::kPlayedToEnd) {
            if (m_pBtnView)
                m_pBtnView->SetVisible(false);
            if (m_pBtnKnown)
                m_pBtnKnown->SetVisible(true);
        }
        return 0;
    }
    // The native video child takes no keys of its own: Space reaches the player from here.
    if (uMsg == WM_KEYDOWN && wParam == kVkSpace) {
        m_Player.TogglePause();
        return 0;
    }
    return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

void CGuidanceUI::StartVideo() {
    if (m_pBtnView)
        m_pBtnView->SetEnabled(false);
    if (m_pVLayoutAll)
        m_pVLayoutAll->SetBkColor(kVideoBackColor);
    if (m_pGuidanceImg)
        m_pGuidanceImg->SetVisible(false);
    if (m_pVideo)
        m_pVideo->SetVisible(true);
    uintptr_t native = m_pVideo ? platform::GetNativeWindowId(m_pVideo->GetHWND()) : 0;
    m_Player.Start(m_strVideoPath, native, m_hWnd, WM_VIDEO_END);
    platform::PostMessage(m_hMainWnd, WM_GUIDANCE_DONE, 0, 0);
}

void CGuidanceUI::OnClick(TNotifyUI& msg) {
    CDuiString name = msg.pSender->GetName();
    if (name.CompareNoCase(L"btn_view") == 0) {
        StartVideo();
    } else if (name.CompareNoCase(L"hidebtn") == 0 || name.CompareNoCase(L"btn_known") == 0) {
        // The video, if it still plays, plays on into the hidden window until its end.
        ShowWindow(false, false);
        platform::PostMessage(m_hMainWnd, WM_GUIDANCE_CLOSED, 0, 0);
    }
    WindowImplBase::OnClick(msg);
}
