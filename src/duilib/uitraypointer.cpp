#include "uitraypointer_p.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>

namespace DuiLib {

namespace {

// Qt's XEmbed tray icon is a frameless top-level widget of this name; it is the only way to
// reach the window without Qt's private headers, and there is one tray icon per process.
bool IsIconWindow(QObject* obj) {
    auto* w = qobject_cast<QWidget*>(obj);
    return w && w->isWindow() && w->objectName() == QLatin1String("QSystemTrayIconSys");
}

} // namespace

CTrayPointerWatch::CTrayPointerWatch(std::function<void()> onPointer, QObject* parent)
    : QObject(parent), m_onPointer(std::move(onPointer)) {}

CTrayPointerWatch::~CTrayPointerWatch() { Stop(); }

void CTrayPointerWatch::Start() {
    m_bStarted = true;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (IsIconWindow(w)) {
            Follow(w);
            return;
        }
    Search(true);
}

void CTrayPointerWatch::Stop() {
    m_bStarted = false;
    Search(false);
    if (m_pWnd) {
        m_pWnd->removeEventFilter(this);
        disconnect(m_pWnd, nullptr, this, nullptr);
    }
    m_pWnd = nullptr;
}

void CTrayPointerWatch::Follow(QWidget* wnd) {
    Search(false);
    if (m_pWnd == wnd)
        return;
    if (m_pWnd) {
        m_pWnd->removeEventFilter(this);
        disconnect(m_pWnd, nullptr, this, nullptr);
    }
    m_pWnd = wnd;
    m_ptLast = QPoint(-1, -1);
    wnd->installEventFilter(this);
    // A new tray host gets a new window from Qt: wait for it to be shown.
    connect(wnd, &QObject::destroyed, this, [this] {
        m_pWnd = nullptr;
        if (m_bStarted)
            Search(true);
    });
}

// While searching, every event of the window thread passes here; all but one kind leave at the
// first comparison.
void CTrayPointerWatch::Search(bool on) {
    if (on == m_bSearching || !qApp)
        return;
    m_bSearching = on;
    if (on)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool CTrayPointerWatch::eventFilter(QObject* obj, QEvent* e) {
    if (obj == m_pWnd) {
        if (e->type() == QEvent::Enter) {
            m_ptLast = static_cast<QEnterEvent*>(e)->globalPosition().toPoint();
            m_onPointer();
        } else if (e->type() == QEvent::MouseMove) {
            QPoint p = static_cast<QMouseEvent*>(e)->globalPosition().toPoint();
            if (p != m_ptLast) {
                m_ptLast = p;
                m_onPointer();
            }
        }
    } else if (m_bSearching && e->type() == QEvent::Show && IsIconWindow(obj)) {
        Follow(static_cast<QWidget*>(obj));
    }
    return false;
}

} // namespace DuiLib
