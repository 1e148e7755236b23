// What a handle's widget shows: visibility, enabled state, activation, geometry, screens, and
// native child windows for other libraries to draw into.
#include "winuser.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

#include "winmsg_registry_p.h"

namespace platform {

using namespace internal;

namespace {

QScreen* ScreenOf(QWidget* w) {
    QScreen* s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

} // namespace

BOOL ShowWindow(HWND hwnd, int cmd) {
    return OnWindow<BOOL>(hwnd, FALSE, [cmd](QWidget* w) {
        BOOL wasVisible = w->isVisible() ? TRUE : FALSE;
        switch (cmd) {
        case SW_HIDE: w->hide(); break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE: w->showMinimized(); break;
        case SW_SHOWMAXIMIZED: w->showMaximized(); break;
        case SW_RESTORE:
        case SW_SHOWNORMAL:
            if (w->isMinimized() || w->isMaximized())
                w->showNormal();
            else
                w->show();
            if (w->isWindow()) {
                w->raise();
                w->activateWindow();
            }
            break;
        case SW_SHOWNOACTIVATE:
        case SW_SHOWNA: {
            bool old = w->testAttribute(Qt::WA_ShowWithoutActivating);
            w->setAttribute(Qt::WA_ShowWithoutActivating, true);
            w->show();
            w->setAttribute(Qt::WA_ShowWithoutActivating, old);
            break;
        }
        default:
            w->show();
            if (w->isWindow()) {
                w->raise();
                w->activateWindow();
            }
            break;
        }
        return wasVisible;
    });
}

BOOL IsWindowVisible(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) { return w->isVisible() ? TRUE : FALSE; });
}
BOOL IsIconic(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) { return w->isMinimized() ? TRUE : FALSE; });
}
BOOL IsZoomed(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) { return w->isMaximized() ? TRUE : FALSE; });
}
BOOL EnableWindow(HWND hwnd, BOOL enable) {
    return OnWindow<BOOL>(hwnd, FALSE, [enable](QWidget* w) {
        BOOL wasDisabled = w->isEnabled() ? FALSE : TRUE;
        w->setEnabled(enable != FALSE);
        return wasDisabled;
    });
}
BOOL IsWindowEnabled(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) { return w->isEnabled() ? TRUE : FALSE; });
}

HWND GetForegroundWindow() {
    QWidget* w = QApplication::activeWindow();
    return w ? HandleFromWidget(w) : nullptr;
}
HWND GetActiveWindow() { return GetForegroundWindow(); }

BOOL SetForegroundWindow(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) {
        QWidget* top = w->window();
        top->raise();
        top->activateWindow();
        return TRUE;
    });
}

HWND SetActiveWindow(HWND hwnd) {
    HWND old = GetActiveWindow();
    SetForegroundWindow(hwnd);
    return old;
}

BOOL FlashWindowEx(const FLASHWINFO* info) {
    if (!info)
        return FALSE;
    return OnWindow<BOOL>(info->hwnd, FALSE, [info](QWidget* w) {
        BOOL wasActive = w->isActiveWindow() ? TRUE : FALSE;
        // The desktop's urgency hint is the closest thing to a flashing taskbar button; it
        // clears itself once the window is activated, as FLASHW_TIMERNOFG asks.
        if (info->dwFlags != FLASHW_STOP && !(info->dwFlags & FLASHW_TIMERNOFG && wasActive))
            QApplication::alert(w->window(), 0);
        return wasActive;
    });
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    if (!rect)
        return FALSE;
    return OnWindow<BOOL>(hwnd, FALSE, [rect](QWidget* w) {
        QRect r = w->isWindow() ? w->frameGeometry() : QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
        *rect = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
        return TRUE;
    });
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    if (!rect)
        return FALSE;
    return OnWindow<BOOL>(hwnd, FALSE, [rect](QWidget* w) {
        *rect = RECT{0, 0, w->width(), w->height()};
        return TRUE;
    });
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return OnWindow<BOOL>(hwnd, FALSE, [=](QWidget* w) {
        if (!(flags & SWP_NOSIZE))
            w->resize(std::max(cx, 0), std::max(cy, 0));
        if (!(flags & SWP_NOMOVE))
            w->move(x, y);
        if (!(flags & SWP_NOZORDER) && insertAfter == HWND_TOPMOST && w->isWindow())
            w->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        else if (!(flags & SWP_NOZORDER) && insertAfter == HWND_TOP)
            w->raise();
        if (flags & SWP_SHOWWINDOW) {
            if (flags & SWP_NOACTIVATE)
                w->setAttribute(Qt::WA_ShowWithoutActivating, true);
            w->show();
        }
        if (flags & SWP_HIDEWINDOW)
            w->hide();
        return TRUE;
    });
}

BOOL MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL) {
    return SetWindowPos(hwnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
    QWidget* w = static_cast<QWidget*>(WidgetFromHandle(hwnd));
    if (!w && flags == MONITOR_DEFAULTTONULL)
        return nullptr;
    QScreen* s = nullptr;
    if (w) {
        // The screen holding the window's centre, else the nearest by distance.
        QPoint c = w->isWindow() ? w->frameGeometry().center() : w->mapToGlobal(w->rect().center());
        s = QGuiApplication::screenAt(c);
        if (!s && flags == MONITOR_DEFAULTTONEAREST) {
            long best = -1;
            for (QScreen* cand : QGuiApplication::screens()) {
                QRect g = cand->geometry();
                long dx = std::max({0, g.left() - c.x(), c.x() - g.right()});
                long dy = std::max({0, g.top() - c.y(), c.y() - g.bottom()});
                long d = dx * dx + dy * dy;
                if (best < 0 || d < best) {
                    best = d;
                    s = cand;
                }
            }
        }
    }
    if (!s && flags != MONITOR_DEFAULTTONULL)
        s = QGuiApplication::primaryScreen();
    return s;
}

BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info) {
    if (!monitor || !info)
        return FALSE;
    auto* s = static_cast<QScreen*>(monitor);
    if (!QGuiApplication::screens().contains(s))
        return FALSE;
    QRect g = s->geometry(), a = s->availableGeometry();
    info->rcMonitor = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    info->rcWork = RECT{a.left(), a.top(), a.left() + a.width(), a.top() + a.height()};
    info->dwFlags = s == QGuiApplication::primaryScreen() ? 1 : 0;
    return TRUE;
}

int GetDeviceCaps(HWND hwnd, int index) {
    if (index != LOGPIXELSX && index != LOGPIXELSY)
        return 0;
    QScreen* s = ScreenOf(static_cast<QWidget*>(WidgetFromHandle(hwnd)));
    if (!s)
        return 96;
    double dpi = index == LOGPIXELSX ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
    return static_cast<int>(dpi * s->devicePixelRatio() + 0.5);
}

BOOL GetCursorPos(POINT* point) {
    if (!point)
        return FALSE;
    QPoint p = QCursor::pos();
    *point = POINT{p.x(), p.y()};
    return TRUE;
}

namespace {

// A native child that another library draws into: Qt neither paints nor erases it, so what
// the other library drew stays on screen through every repaint of the window around it.
class NativeChildWidget : public QWidget {
public:
    explicit NativeChildWidget(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_NativeWindow, true);
        setAttribute(Qt::WA_PaintOnScreen, true);
        setAttribute(Qt::WA_NoSystemBackground, true);
        setAttribute(Qt::WA_OpaquePaintEvent, true);
        setAutoFillBackground(false);
        setUpdatesEnabled(false);
        // Widgets added to the parent later (the skin's tree is attached after its controls
        // are made) may get native windows of their own stacked above this one.
        parent->installEventFilter(this);
    }
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == parentWidget() && (e->type() == QEvent::ChildAdded || e->type() == QEvent::Show))
            QMetaObject::invokeMethod(this, [this] { raise(); }, Qt::QueuedConnection);
        return QWidget::eventFilter(watched, e);
    }
};

} // namespace

HWND CreateChildWindow(HWND parent, int x, int y, int cx, int cy, bool visible) {
    QWidget* pw = static_cast<QWidget*>(WidgetFromHandle(parent));
    if (!pw)
        return nullptr;
    auto* w = new NativeChildWidget(pw);
    w->setGeometry(x, y, std::max(cx, 0), std::max(cy, 0));
    HWND h = RegisterWindowHandle(w, nullptr, false, std::wstring());
    // Destroyed with its parent, as a child window is: the handle goes with the widget.
    QObject::connect(w, &QObject::destroyed, [h] { DestroyWindowHandle(h); });
    if (visible) {
        w->show();
        w->raise();
    }
    return h;
}

uintptr_t GetNativeWindowId(HWND hwnd) {
    // Only X11 gives a window id another library can draw into; offscreen ids are fake and
    // Wayland has none.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return 0;
    return OnWindow<uintptr_t>(hwnd, 0, [](QWidget* w) { return static_cast<uintptr_t>(w->winId()); });
}

} // namespace platform
