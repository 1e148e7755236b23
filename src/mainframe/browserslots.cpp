// The browser control's callbacks, the scripts run in the page, and the two windows of the
// connection: no network and signed in elsewhere.
#include "cmainframeui.h"

#include "common/custommsg.h"
#include "common/debug.h"
#include "dialogs/modalwnds.h"
#include "events/eventlogmanage.h"
#include "pagescripts.h"

using namespace DuiLib;

ILoadHandleSlot* CMainFrameUI::GetLoadHandleSlot(const std::wstring& browserName) {
    return browserName == L"TestBrowser" ? this : nullptr;
}

ILifeSpanHandleSlot* CMainFrameUI::GetLifeSpanHandleSlot(const std::wstring& browserName) {
    return browserName == L"TestBrowser" ? this : nullptr;
}

void CMainFrameUI::OnAfterCreated(CCefBrowserUI* browser) {
    if (browser && m_pBody)
        browser->SetPos(m_pBody->GetPos(), true);
}

void CMainFrameUI::OnLoadError(CCefBrowserUI*, const CefFrameInfo&, int, const std::wstring&, const std::wstring&) {
    platform::PostMessage(m_hWnd, WM_LOAD_ERROR, 0, 0);
}

void CMainFrameUI::OnLoadingStateChange(CCefBrowserUI* browser, bool isLoading, bool, bool) {
    ShowLoadState(1);
    DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"kq180828---OnLoadingStateChange--url:%s, isLoading：%d",
              browser ? browser->GetURL().c_str() : L"", isLoading ? 1 : 0);
}

// While the browser waits for the console server, the window has just drawn its first frames
// and a core is free for the transport's library.
void CMainFrameUI::OnLoadStart(CCefBrowserUI*, const CefFrameInfo&) { StartTransport(); }

void CMainFrameUI::OnLoadEnd(CCefBrowserUI*, const CefFrameInfo&, int) { RunScript(ScriptGetWindowsConfig()); }

void CMainFrameUI::ShowLoadState(int mask) {
    if (m_pBody)
        m_pBody->SetVisible((mask & 1) != 0);
    if (m_pRingWaitLoad)
        m_pRingWaitLoad->SetVisible((mask & 2) != 0);
    if (m_pRefreshFailedLoad)
        m_pRefreshFailedLoad->SetVisible((mask & 4) != 0);
}

void CMainFrameUI::RunScript(const std::wstring& script) {
    if (auto* browser = static_cast<CCefBrowserUI*>(m_PaintManager.FindControl(L"TestBrowser")))
        browser->ExectueJS(script);
}

void CMainFrameUI::ShowNoNetwork() {
    CNoNetMsg* dialog = new CNoNetMsg();
    if (!dialog->Create(m_hWnd, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW)) {
        delete dialog;
        return;
    }
    dialog->CenterWindow();
    dialog->SetMainHwnd(m_hWnd);
    UINT result = dialog->ShowModal();
    delete dialog;
    if (result == IDOK) {
        if (m_pBrowser)
            m_pBrowser->LoadURL(ConsoleStartUrl());
    } else if (result == IDCANCEL) {
        QuitApp();
    }
}

void CMainFrameUI::ShowOtherPlaceLogin() {
    if (m_bOtherLoginShown)
        return;
    m_bOtherLoginShown = true;
    BringToFront();
    if (m_pBtnMsgCenter)
        m_pBtnMsgCenter->SetVisible(false);
    if (m_pBtnUnreadMark)
        m_pBtnUnreadMark->SetVisible(false);
    m_strUidA.clear();
    g_EventLogManage.SetUid("");
    COtherPlaceLoginUI* dialog = new COtherPlaceLoginUI();
    if (dialog->Create(m_hWnd, kMainWndClass, WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE)) {
        dialog->CenterWindow();
        if (dialog->ShowModal() == IDOK)
            RunScript(ScriptReLogin());
    }
    delete dialog;
    m_bOtherLoginShown = false;
}

bool CMainFrameUI::CollectCookies() {
    CefRefPtr<CefCookieManager> manager = CefCookieManager::GetGlobalManager(nullptr);
    if (!manager)
        return false;
    m_pCookieVisitor->Clear();
    return manager->VisitAllCookies(CefRefPtr<CefCookieVisitor>(m_pCookieVisitor.get()));
}
