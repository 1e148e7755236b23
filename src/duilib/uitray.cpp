// Tray icon on QSystemTrayIcon.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include <map>

#include "uimanager.h"
#include "uitray.h"
#include "uitraypointer_p.h"

namespace DuiLib {

namespace {

// Each picture is read and decoded once: a number that comes back (blinking, a host restart, a
// new icon object) finds it here. Kept for the whole process, as the tray icon itself is.
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
    // The blink timer and the pointer watch went with the application. An icon still here at
    // exit is left alone: the application's end has already destroyed the window behind it.
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
    if (!m_pPointer)
        m_pPointer = new CTrayPointerWatch([this] { Notify(WM_MOUSEMOVE); }, qApp);
    ApplyIcon(m_bFrameOn);
    m_pTray->setToolTip(QString::fromStdWString(m_strTip));
    m_pTray->show();
    m_pPointer->Start();
}

// Every change of the picture repaints the icon's window and, through it, the tray host, so a
// picture already shown is not set again.
void CDuiTrayIcon::ApplyIcon(bool frameOn) {
    if (!m_pTray)
        return;
    const QIcon& want = frameOn ? m_icon : BlankIcon();
    if (m_pTray->icon().cacheKey() != want.cacheKey())
        m_pTray->setIcon(want);
}

bool CDuiTrayIcon::CreateTrayIcon(HWND hWnd, UINT nIconID, LPCTSTR lpszToolTip, UINT nNotifyMsg) {
    if (!qApp)
        return false;
    m_hWnd = hWnd;
    m_nIconID = nIconID;
    m_icon = IconFor(nIconID);
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
    if (m_pPointer)
        m_pPointer->Stop();
    if (m_pTray) {
        m_pTray->hide();
        delete m_pTray;
        m_pTray = nullptr;
    }
    m_bCreated = false;
}

bool CDuiTrayIcon::SetIcon(UINT nIconID) {
    m_nIconID = nIconID;
    m_icon = IconFor(nIconID);
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

} // namespace DuiLib
