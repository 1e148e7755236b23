// Tray icon on QSystemTrayIcon.
#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include <map>

#include "uimanager.h"
#include "uitray.h"

namespace DuiLib {

namespace {

// Blinking swaps the icon every 400 ms all day long; each picture is read and decoded once.
// Kept for the whole process (never destroyed), as the tray icon itself is.
QIcon IconFor(UINT id) {
    static auto* cache = new std::map<CDuiString, QIcon>();
    CDuiString path = CPaintManagerUI::FindResourceFile(CResourceManager::GetInstance()->GetIconPath(id).c_str());
    auto it = cache->find(path);
    if (it != cache->end())
        return it->second;
    QIcon icon;
    if (!path.empty())
        icon = QIcon(QString::fromStdWString(path));
    if (icon.isNull()) {
        // Without a picture the desktop would show nothing clickable: a plain badge instead.
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0x1E, 0x88, 0xE5));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(2, 2, 28, 28, 7, 7);
        icon = QIcon(pm);
    }
    return (*cache)[path] = icon;
}

QIcon BlankIcon() {
    static auto* blank = new QIcon([] {
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        return pm;
    }());
    return *blank;
}

} // namespace

CDuiTrayIcon& CDuiTrayIcon::Instance() {
    static CDuiTrayIcon instance;
    return instance;
}

CDuiTrayIcon::CDuiTrayIcon() = default;

CDuiTrayIcon::~CDuiTrayIcon() {
    // The timers went with the application. An icon still here at exit is left alone: the
    // application's end has already destroyed the window behind it.
}

bool CDuiTrayIcon::IsTrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void CDuiTrayIcon::Build() {
    if (!qApp)
        return;
    if (!m_pTray) {
        // Not a child of the application: the application's end destroys every top-level
        // widget, the icon's own tray window among them, before it deletes its children, and the
        // icon would then destroy that window a second time.
        m_pTray = new QSystemTrayIcon();
        QObject::connect(m_pTray, &QSystemTrayIcon::activated, m_pTray, [this](QSystemTrayIcon::ActivationReason r) {
            if (r == QSystemTrayIcon::Trigger)
                Notify(WM_LBUTTONDOWN);
            else if (r == QSystemTrayIcon::Context)
                Notify(WM_RBUTTONUP);
            else if (r == QSystemTrayIcon::DoubleClick)
                Notify(WM_LBUTTONDBLCLK);
        });
    }
    if (!m_pHover) {
        m_pHover = new QTimer(qApp);
        m_pHover->setInterval(200);
        QObject::connect(m_pHover, &QTimer::timeout, m_pHover, [this] { WatchCursor(); });
    }
    ApplyIcon(m_bFrameOn);
    m_pTray->setToolTip(QString::fromStdWString(m_strTip));
    m_pTray->show();
    m_pHover->start();
}

void CDuiTrayIcon::ApplyIcon(bool frameOn) {
    if (!m_pTray)
        return;
    m_pTray->setIcon(frameOn ? IconFor(m_nIconID) : BlankIcon());
}

bool CDuiTrayIcon::CreateTrayIcon(HWND hWnd, UINT nIconID, LPCTSTR lpszToolTip, UINT nNotifyMsg) {
    if (!qApp)
        return false;
    m_hWnd = hWnd;
    m_nIconID = nIconID;
    m_nMsg = nNotifyMsg ? nNotifyMsg : UIMSG_TRAYICON;
    m_strTip = lpszToolTip ? lpszToolTip : L"";
    m_bCreated = true;
    m_bFrameOn = true;
    Build();
    if (m_bTwinkling)
        StartTwinkling();
    return true;
}

bool CDuiTrayIcon::ReCreateTrayIcon() {
    if (!m_bCreated)
        return false;
    bool twinkling = m_bTwinkling;
    if (m_pTray) {
        m_pTray->hide();
        delete m_pTray;
        m_pTray = nullptr;
    }
    Build();
    if (twinkling)
        StartTwinkling();
    return true;
}

void CDuiTrayIcon::DeleteTrayIcon() {
    StopTwinkling();
    if (m_pHover)
        m_pHover->stop();
    if (m_pTray) {
        m_pTray->hide();
        delete m_pTray;
        m_pTray = nullptr;
    }
    m_bCreated = false;
    m_bCursorInside = false;
}

bool CDuiTrayIcon::SetIcon(UINT nIconID) {
    m_nIconID = nIconID;
    if (!m_bCreated)
        return false;
    if (!m_bTwinkling || m_bFrameOn)
        ApplyIcon(true);
    return true;
}

bool CDuiTrayIcon::SetTooltipText(LPCTSTR lpszText) {
    m_strTip = lpszText ? lpszText : L"";
    if (m_pTray)
        m_pTray->setToolTip(QString::fromStdWString(m_strTip));
    return m_bCreated;
}

void CDuiTrayIcon::StartTwinkling(UINT nIntervalMs) {
    m_bTwinkling = true;
    if (!qApp)
        return;
    if (!m_pTwinkle) {
        m_pTwinkle = new QTimer(qApp);
        QObject::connect(m_pTwinkle, &QTimer::timeout, m_pTwinkle, [this] {
            m_bFrameOn = !m_bFrameOn;
            ApplyIcon(m_bFrameOn);
        });
    }
    if (!m_pTwinkle->isActive())
        m_pTwinkle->start(static_cast<int>(nIntervalMs ? nIntervalMs : 400));
}

void CDuiTrayIcon::StopTwinkling() {
    m_bTwinkling = false;
    if (m_pTwinkle)
        m_pTwinkle->stop();
    m_bFrameOn = true;
    if (m_bCreated)
        ApplyIcon(true);
}

bool CDuiTrayIcon::GetIconRect(RECT& rc) const {
    if (!m_pTray || !m_bCreated || !QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    QRect g = m_pTray->geometry();
    if (g.isEmpty())
        return false;
    rc = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    return true;
}

void CDuiTrayIcon::Notify(UINT mouseMsg) {
    if (m_hWnd)
        platform::PostMessage(m_hWnd, m_nMsg, m_nIconID, static_cast<LPARAM>(mouseMsg));
}

void CDuiTrayIcon::WatchCursor() {
    RECT rc;
    if (!GetIconRect(rc)) {
        m_bCursorInside = false;
        return;
    }
    // Like the desktop's own notification: only when the cursor moved onto or over the icon.
    QPoint p = QCursor::pos();
    bool inside = p.x() >= rc.left && p.x() < rc.right && p.y() >= rc.top && p.y() < rc.bottom;
    if (inside && (!m_bCursorInside || p != QPoint(m_ptLast.x, m_ptLast.y)))
        Notify(WM_MOUSEMOVE);
    m_bCursorInside = inside;
    m_ptLast = POINT{p.x(), p.y()};
}

} // namespace DuiLib
