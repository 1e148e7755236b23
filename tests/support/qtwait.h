#pragma once
// Helpers for tests that run windows: waiting while the event loop runs, and a plain window
// that records the program's messages posted to it.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "duilib/uiwindow.h"
#include "platform/winuser.h"

// Runs the event loop until `cond` holds or `ms` have passed; whether it held.
inline bool WaitFor(const std::function<bool()>& cond, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        platform::PumpMessages(5);
    }
    return true;
}

// Runs the event loop for `ms`.
inline void Pump(int ms) {
    WaitFor([] { return false; }, ms);
}

// Ends a window a test created on the heap: destroyed, its last messages delivered, deleted,
// and a quit it caused forgotten.
inline void DestroyTestWindow(DuiLib::CWindowWnd*& wnd) {
    if (wnd) {
        platform::DestroyWindow(wnd->GetHWND());
        Pump(50);
        delete wnd;
        wnd = nullptr;
    }
    platform::RunModalLoop(nullptr);
}

// Stands in for the main window: records every message at or above WM_USER. A posted string
// in wParam of `ownedStringMsg` is taken over (copied, then deleted) as the real receiver does.
class CRecorderWnd : public DuiLib::WindowImplBase {
public:
    struct Rec {
        UINT msg;
        WPARAM w;
        LPARAM l;
        std::wstring text;
    };
    explicit CRecorderWnd(UINT ownedStringMsg = 0) : m_ownedStringMsg(ownedStringMsg) {}
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"RecorderWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return L"<Window size=\"10,10\"><VerticalLayout/></Window>"; }
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override {
        if (uMsg >= WM_USER) {
            Rec r{uMsg, wParam, lParam, {}};
            if (m_ownedStringMsg && uMsg == m_ownedStringMsg && wParam) {
                auto* s = reinterpret_cast<std::wstring*>(wParam);
                r.text = *s;
                delete s;
            }
            received.push_back(r);
        }
        bHandled = FALSE;
        return 0;
    }
    size_t Count(UINT msg) const {
        size_t n = 0;
        for (const Rec& r : received)
            n += r.msg == msg;
        return n;
    }
    std::vector<Rec> received;

private:
    UINT m_ownedStringMsg;
};
