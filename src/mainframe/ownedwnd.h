#pragma once
// How the main window makes the windows it owns: as hidden pop-ups that report to it, and, for
// those nothing needs before the merchant first reaches them, only on that first use.
#include <memory>

#include "common/custommsg.h"
#include "platform/winuser.h"

// A hidden topmost tool window with no parent and the main window's class name as title,
// reporting to `mainWnd`. False when it cannot be created.
template <class Wnd>
bool CreateOwnedPopup(Wnd& wnd, HWND mainWnd) {
    if (!wnd.Create(nullptr, kMainWndClass, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST))
        return false;
    wnd.SetMainHwnd(mainWnd);
    wnd.ShowWindow(false, false);
    return true;
}

// A hidden window with `owner` as parent and an empty title. Made hidden: a window that flashed
// up would switch the program to the foreground and back, and report those switches as
// launches. False when it cannot be created.
template <class Wnd>
bool CreateOwnedHidden(Wnd& wnd, HWND owner) {
    if (!wnd.Create(owner, L"", WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE))
        return false;
    wnd.ShowWindow(false, false);
    return true;
}

// `wnd` once it exists; otherwise a new one made by `create`, kept in `wnd`. None when `create`
// fails, and the next use tries again.
template <class Wnd, class Create>
Wnd* OnFirstUse(Wnd*& wnd, Create create) {
    if (!wnd) {
        auto fresh = std::make_unique<Wnd>();
        if (create(*fresh))
            wnd = fresh.release();
    }
    return wnd;
}

// An owned pop-up (above), made on its first use.
template <class Wnd>
Wnd* OwnedPopupOnFirstUse(Wnd*& wnd, HWND mainWnd) {
    return OnFirstUse(wnd, [mainWnd](Wnd& fresh) { return CreateOwnedPopup(fresh, mainWnd); });
}
