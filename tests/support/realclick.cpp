#include "realclick.h"

#include <cstdio>
#include <cstdlib>

#include <QWidget>
#include <QWindow>

#include "duilib/uiwindow_p.h"
#include "platform/winuser.h"
#include "support/qtwait.h"

DuiLib::WindowImplBase* WindowOf(HWND hwnd) {
    auto* host = dynamic_cast<DuiLib::DuiHostWidget*>(static_cast<QWidget*>(platform::WidgetFromHandle(hwnd)));
    return host ? dynamic_cast<DuiLib::WindowImplBase*>(host->Owner()) : nullptr;
}

DuiLib::CControlUI* FindControlIn(HWND hwnd, const wchar_t* name) {
    DuiLib::WindowImplBase* wnd = WindowOf(hwnd);
    return wnd ? wnd->GetPaintManager().FindControl(name) : nullptr;
}

HWND FindShownWindow(const std::function<bool(HWND)>& match) {
    HWND found = nullptr;
    platform::EnumWindows([&](HWND h) {
        if (platform::IsLocalWindow(h) && platform::IsWindowVisible(h) && match(h)) {
            found = h;
            return false;
        }
        return true;
    });
    return found;
}

bool ClickAt(int x, int y, int button, int times) {
    char command[160];
    if (times > 1)
        std::snprintf(command, sizeof(command), "xdotool mousemove %d %d click --repeat %d --delay 5 %d", x, y,
                      times, button);
    else
        std::snprintf(command, sizeof(command), "xdotool mousemove %d %d click %d", x, y, button);
    return std::system(command) == 0;
}

bool ClickControl(DuiLib::CControlUI* control, int button) {
    QWidget* widget = control ? control->GetWidget() : nullptr;
    if (!widget)
        return false;
    // Only an exposed window takes pointer input; the first expose may still be on its way.
    if (!WaitFor([&] {
            QWidget* top = widget->window();
            return widget->isVisible() && top->windowHandle() && top->windowHandle()->isExposed();
        }))
        return false;
    QPoint centre = widget->mapToGlobal(widget->rect().center());
    return ClickAt(centre.x(), centre.y(), button);
}

ClickWhenShown::ClickWhenShown(std::wstring marker, std::wstring button, std::function<void(HWND)> inspect)
    : m_strMarker(std::move(marker)), m_strButton(std::move(button)), m_inspect(std::move(inspect)) {
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    m_timer.start(50);
}

void ClickWhenShown::Tick() {
    HWND h = FindShownWindow([this](HWND w) { return FindControlIn(w, m_strMarker.c_str()) != nullptr; });
    if (!h)
        return;
    m_timer.stop();
    m_hWnd = h;
    if (m_inspect)
        m_inspect(h);
    m_bClicked = ClickControl(FindControlIn(h, m_strButton.c_str()));
}
