#pragma once
// A window built from skin text that records its notifications and messages.
#include <functional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QThread>

#include "duilib/UIlib.h"
#include "platform/winuser.h"

class CTestWnd : public DuiLib::WindowImplBase {
public:
    explicit CTestWnd(std::wstring skin) : m_skin(std::move(skin)) {}
    DuiLib::LPCTSTR GetWindowClassName() const override { return L"MainWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return m_skin; }
    void InitWindow() override {
        ++initCount;
        rootAtInit = m_PaintManager.GetRoot();
    }
    DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override {
        if (wcscasecmp(pstrClass, L"HeadIcon") == 0) {
            auto* c = new DuiLib::CLabelUI;
            c->SetUserData(L"made by the window");
            return c;
        }
        return nullptr;
    }
    void Notify(DuiLib::TNotifyUI& msg) override {
        notes.push_back(msg.sType + L":" + (msg.pSender ? msg.pSender->GetName() : DuiLib::CDuiString()));
        lastWParam = msg.wParam;
        lastLParam = msg.lParam;
        if (onNotify)
            onNotify(msg);
        WindowImplBase::Notify(msg);
    }
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override {
        messages.push_back({uMsg, wParam, lParam, QThread::currentThread()});
        if (onMessage)
            return onMessage(uMsg, wParam, lParam, bHandled);
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override {
        if (hideOnClose && (wParam & 0xFFF0) == SC_CLOSE) {
            ShowWindow(false);
            bHandled = TRUE;
            return 0;
        }
        return WindowImplBase::OnSysCommand(uMsg, wParam, lParam, bHandled);
    }
    void OnFinalMessage(HWND h) override {
        ++finalCount;
        WindowImplBase::OnFinalMessage(h);
        if (deleteSelf)
            delete this;
    }
    template <class T = DuiLib::CControlUI> T* Find(const wchar_t* name) {
        return static_cast<T*>(m_PaintManager.FindControl(name));
    }
    bool Saw(const std::wstring& note) const {
        for (auto& n : notes)
            if (n == note)
                return true;
        return false;
    }
    size_t CountMsg(UINT m) const {
        size_t n = 0;
        for (auto& r : messages)
            n += r.msg == m;
        return n;
    }

    struct Rec {
        UINT msg;
        WPARAM w;
        LPARAM l;
        QThread* thread;
    };
    std::wstring m_skin;
    int initCount = 0;
    int finalCount = 0;
    bool hideOnClose = false;
    bool deleteSelf = false;
    DuiLib::CControlUI* rootAtInit = nullptr;
    std::vector<std::wstring> notes;
    std::vector<Rec> messages;
    WPARAM lastWParam = 0;
    LPARAM lastLParam = 0;
    std::function<LRESULT(UINT, WPARAM, LPARAM, BOOL&)> onMessage;
    std::function<void(DuiLib::TNotifyUI&)> onNotify;
};

inline bool WaitFor(const std::function<bool()>& cond, int ms = 5000) {
    for (int waited = 0; !cond(); waited += 5) {
        if (waited > ms)
            return false;
        platform::PumpMessages(5);
    }
    return true;
}

inline void Pump(int ms) { WaitFor([] { return false; }, ms); }
