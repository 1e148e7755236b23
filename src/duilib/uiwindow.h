#pragma once
// Windows: CWindowWnd (one frameless Qt top-level window behind a handle) and WindowImplBase (a
// window built from a skin, with overridable handlers).
#include "uibase.h"
#include "uicontrols.h"
#include "uimanager.h"

namespace DuiLib {

class DuiHostWidget;

class CWindowWnd : public platform::IWindowMessageTarget {
public:
    CWindowWnd();
    ~CWindowWnd() override;
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the window (hidden unless WS_VISIBLE) and sends it WM_CREATE. `hwndParent` owns it:
    // it stays above its owner and ShowModal disables the owner. WS_EX_TOOLWINDOW keeps it off
    // the taskbar, WS_EX_TOPMOST above other windows. Returns none on failure (no application).
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, void* hMenu = nullptr);
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT rc, void* hMenu = nullptr) {
        return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hMenu);
    }
    // Shows (taking focus when asked) or hides.
    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    // Shows the window and runs a nested loop until it is destroyed (returns the code given to
    // Close) or a quit message arrives (returns 0). The owner is disabled meanwhile.
    UINT ShowModal();
    // Ends the window: posts WM_CLOSE with the code in wParam.
    void Close(UINT nRet = IDOK);
    // Centres over the owner when it is visible, else on the work area of the window's screen.
    void CenterWindow();
    void ResizeClient(int cx = -1, int cy = -1);
    // Window icon from the "res.xml" ICON entry with this number.
    void SetIcon(UINT nRes);
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    HWND GetOwner() const { return m_hWndOwner; }

    virtual LPCTSTR GetWindowClassName() const = 0;
    // Message handling; unhandled messages end in the default handling below.
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Called after the window is destroyed; the object may delete itself here.
    virtual void OnFinalMessage(HWND hWnd) {}

    // The Qt top-level widget behind the window (none before Create and after destruction).
    QWidget* GetHostWidget() const;

    // platform::IWindowMessageTarget
    LRESULT OnWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyRequest(HWND hwnd) override;

protected:
    // What an unhandled message does: WM_CLOSE destroys, WM_SYSCOMMAND minimises, maximises,
    // restores or closes, a caption double-click maximises or restores.
    LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Removes the window without the destruction messages (for destructors).
    void ReleaseWindow();
    // The host widget is about to go: controls are released first.
    virtual void OnReleaseWindow() {}

    HWND m_hWnd = nullptr;
    HWND m_hWndOwner = nullptr;
    DuiHostWidget* m_pHost = nullptr;
    DWORD m_dwStyle = 0;
    DWORD m_dwExStyle = 0;
    bool m_bDestroying = false;

    friend class DuiHostWidget;
};

class WindowImplBase : public CWindowWnd, public INotifyUI, public IDialogBuilderCallback {
public:
    WindowImplBase();
    ~WindowImplBase() override;

    virtual void InitWindow() {}
    void OnFinalMessage(HWND hWnd) override;
    void Notify(TNotifyUI& msg) override;
    // "click" notifications; the base knows "closebtn", "minbtn", "maxbtn" and "restorebtn".
    virtual void OnClick(TNotifyUI& msg);

    virtual CDuiString GetSkinFolder() { return CDuiString(); }
    // Skin file name, or an id of "res.xml".
    virtual CDuiString GetSkinFile() = 0;
    LPCTSTR GetWindowClassName() const override = 0;

    CControlUI* CreateControl(LPCTSTR pstrClass) override { return nullptr; }

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    // Messages the switch in HandleMessage does not take; set bHandled to stop there.
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // Answered with 0: a skinned window draws its own caption buttons, and a double-click on
    // its caption never maximises it. Override to let the default handling maximise.
    virtual LRESULT OnNcLButtonDblClk(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    CPaintManagerUI& GetPaintManager() { return m_PaintManager; }

protected:
    void OnReleaseWindow() override;
    CPaintManagerUI m_PaintManager;
};

} // namespace DuiLib
