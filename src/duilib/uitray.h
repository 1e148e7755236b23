#pragma once
// The notification-area icon (one per process). Mouse input reaches the owner window as
// UIMSG_TRAYICON (0x401, or the message given at creation) with WM_MOUSEMOVE (0x200),
// WM_LBUTTONDOWN (0x201) or WM_RBUTTONUP (0x205) in lParam. WM_MOUSEMOVE comes when the pointer
// enters the icon or moves over it, told by the icon's own tray window; nothing watches the
// pointer while it is elsewhere. Without a tray host the icon keeps its state (icon, tooltip,
// blinking) and reports no geometry; it appears when a host comes up.
#include <QIcon>
#include <QPointer>

#include "uibase.h"

class QSystemTrayIcon;
class QTimer;

namespace DuiLib {

class CTrayPointerWatch;

class CDuiTrayIcon {
public:
    static CDuiTrayIcon& Instance();
    static CDuiTrayIcon* GetInstance() { return &Instance(); }

    // Icon from the "res.xml" ICON entry with this number.
    bool CreateTrayIcon(HWND hWnd, UINT nIconID, LPCTSTR lpszToolTip = nullptr, UINT nNotifyMsg = 0);
    // After the desktop's tray restarted: the icon again, with its current state.
    bool ReCreateTrayIcon();
    void DeleteTrayIcon();
    bool SetIcon(UINT nIconID);
    bool SetTooltipText(LPCTSTR lpszText);
    CDuiString GetTooltipText() const { return m_strTip; }
    void StartTwinkling(UINT nIntervalMs = 400);
    void StopTwinkling();
    bool IsTwinkling() const { return m_bTwinkling; }
    bool IsCreated() const { return m_bCreated; }
    UINT GetIconID() const { return m_nIconID; }
    // Whether the desktop shows tray icons at all.
    static bool IsTrayAvailable();
    // Screen rectangle of the icon; false without a tray host or before the icon is shown.
    bool GetIconRect(RECT& rc) const;

private:
    CDuiTrayIcon();
    ~CDuiTrayIcon();
    void Build();
    void ApplyIcon(bool visibleFrame);
    void Notify(UINT mouseMsg);

    QSystemTrayIcon* m_pTray = nullptr;
    // Both live as long as the application object that owns them.
    QPointer<QTimer> m_pTwinkle;
    QPointer<CTrayPointerWatch> m_pPointer;
    // The picture of m_nIconID, read once when the number is set, so blinking only swaps it.
    QIcon m_icon;
    HWND m_hWnd = nullptr;
    UINT m_nIconID = 0;
    UINT m_nMsg = UIMSG_TRAYICON;
    CDuiString m_strTip;
    bool m_bCreated = false;
    bool m_bTwinkling = false;
    bool m_bFrameOn = true;
};

} // namespace DuiLib
