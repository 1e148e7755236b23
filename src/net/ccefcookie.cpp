#include "ccefcookie.h"

#include "common/debug.h"
#include "platform/sysinfo.h"

bool CCefCookie::Visit(const DuiLib::CefCookie& cookie, int count, int, bool&) {
    // Each visit of the store writes the text anew: two collections whose visits both run after
    // the second clear must not add up.
    if (count == 0)
        Clear();
    if (!cookie.name() || !cookie.value())
        return true;
    std::string name = WideToAnsi(cookie.name());
    std::string value = WideToAnsi(cookie.value());
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_strCookies.empty())
            m_strCookies += " ";
        m_strCookies += name + "=" + value + ";";
    }
    platform::OutputDebugString(std::wstring(L"cookie name=") + cookie.name() + L" value=" + cookie.value() +
                                L"\r\n");
    return true;
}

void CCefCookie::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_strCookies.clear();
}

std::string CCefCookie::Get() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_strCookies;
}

bool CCefCookie::Release() const {
    if (m_ref.fetch_sub(1) == 1) {
        delete this;
        return true;
    }
    return false;
}
