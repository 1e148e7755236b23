#pragma once
// Clicks as a user does: the X server's own pointer (xdotool) moves over a control of a real
// window and presses the left button; the click reaches the program through its event loop.
// Needs a real X display (the test runs under xvfb-run with QT_QPA_PLATFORM=xcb).
#include <functional>
#include <string>

#include <QTimer>

#include "duilib/uiwindow.h"

// The skinned window object behind a handle of this process, or none.
DuiLib::WindowImplBase* WindowOf(HWND hwnd);
// The control named `name` in the window `hwnd`, or none.
DuiLib::CControlUI* FindControlIn(HWND hwnd, const wchar_t* name);
// The first visible top-level window of this process for which `match` holds, or none.
HWND FindShownWindow(const std::function<bool(HWND)>& match);
// Clicks `button` (1 left, 3 right) at a point of the screen, `times` times in a row; false
// when xdotool failed. Returns as soon as the X server has the clicks; pump to let them arrive.
bool ClickAt(int x, int y, int button = 1, int times = 1);
// Clicks the middle of the control once it is on screen; false when it never showed.
bool ClickControl(DuiLib::CControlUI* control, int button = 1);

// Watches, from a timer, for a shown window holding a control named `marker`; then calls
// `inspect` on it (when given) and clicks its control `button`, once. It works while a modal
// loop runs, which is how dialogs are answered while the code that opened them waits.
class ClickWhenShown {
public:
    ClickWhenShown(std::wstring marker, std::wstring button, std::function<void(HWND)> inspect = {});
    // The click went to the X server.
    bool Clicked() const { return m_bClicked; }
    // The window that was answered, or none yet.
    HWND Window() const { return m_hWnd; }

private:
    void Tick();
    std::wstring m_strMarker, m_strButton;
    std::function<void(HWND)> m_inspect;
    QTimer m_timer;
    HWND m_hWnd = nullptr;
    bool m_bClicked = false;
};
