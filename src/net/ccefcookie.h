#pragma once
// The cookie visitor that turns the browser's cookie store into the Cookie text of merchant
// calls: "name=value;" per cookie, entries separated by one space, in the store's order. A visit
// replaces the text from its first cookie on, so collecting twice gives the same text.
// The browser fills it on its own schedule while the window thread reads it, so one lock
// guards the text.
#include <atomic>
#include <mutex>
#include <string>

#include "duilib/uicefbrowser.h"

class CCefCookie : public DuiLib::CefCookieVisitor {
public:
    CCefCookie() = default;

    bool Visit(const DuiLib::CefCookie& cookie, int count, int total, bool& deleteCookie) override;
    void Clear();
    std::string Get() const;

    void AddRef() const override { m_ref.fetch_add(1); }
    bool Release() const override;
    bool HasOneRef() const override { return m_ref.load() == 1; }

private:
    mutable std::atomic<int> m_ref{0};
    mutable std::mutex m_lock;
    std::string m_strCookies;
};
