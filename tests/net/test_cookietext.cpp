// The cookie text of merchant calls, collected from the browser's real cookie store as the main
// window collects it each time the console reports its account.
#include <gtest/gtest.h>

#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/duitest.h"
#include "net/ccefcookie.h"
#include "support/testenv.h"

using namespace DuiLib;

namespace {

class CConsoleWnd : public CTestWnd {
public:
    explicit CConsoleWnd(std::wstring url)
        : CTestWnd(LR"(<Window size="640,480"><VerticalLayout><CefBrowser name="Console"/></VerticalLayout></Window>)"),
          m_url(std::move(url)) {}
    CControlUI* CreateControl(LPCTSTR pstrClass) override {
        if (wcscasecmp(pstrClass, L"CefBrowser") == 0)
            return new CCefBrowserUI(m_hWnd, [](const std::wstring&, const std::vector<std::wstring>&) { return false; },
                                     nullptr, m_url.c_str());
        return CTestWnd::CreateControl(pstrClass);
    }
    CCefBrowserUI* Browser() { return Find<CCefBrowserUI>(L"Console"); }
    std::wstring m_url;
};

// What the main window does on an account report: clear, then let the store visit later.
bool Collect(CCefCookie* visitor) {
    CefRefPtr<CefCookieManager> manager = CefCookieManager::GetGlobalManager();
    if (!manager)
        return false;
    visitor->Clear();
    return manager->VisitAllCookies(CefRefPtr<CefCookieVisitor>(visitor));
}

} // namespace

TEST(CookieText, TwoCollectionsBeforeTheFirstVisitRunsGiveTheTextOnce) {
    ASSERT_TRUE(CCefBrowserUI::InitCef(nullptr, std::wstring(), std::wstring()));
    ScopedTestHome home;
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    {
        CConsoleWnd w(Utf8ToWide(peer.BaseUrl()) + L"/admin");
        ASSERT_NE(w.Create(nullptr, L"console", WS_POPUP, 0), nullptr);
        ASSERT_TRUE(WaitFor([&] { return w.Browser() && w.Browser()->GetURL().find(L"/admin") != std::wstring::npos; }, 20000));
        CefRefPtr<CefCookieManager> manager = CefCookieManager::GetGlobalManager();
        ASSERT_TRUE(manager);
        ASSERT_TRUE(WaitFor(
            [&] {
                w.Browser()->ExectueJS(L"document.cookie = 'a=1; path=/'; document.cookie = 'b=2; path=/';");
                platform::PumpMessages(200);
                return manager->CookieCount() >= 2;
            },
            20000));

        CefRefPtr<CCefCookie> visitor(new CCefCookie());
        ASSERT_TRUE(Collect(visitor.get()));
        ASSERT_TRUE(Collect(visitor.get())); // the console reported twice in a row
        ASSERT_TRUE(WaitFor([&] { return !visitor->Get().empty(); }, 5000));
        platform::PumpMessages(300); // both visits have run
        EXPECT_EQ(visitor->Get(), "a=1; b=2;");

        ASSERT_TRUE(Collect(visitor.get()));
        platform::PumpMessages(300);
        EXPECT_EQ(visitor->Get(), "a=1; b=2;");
        platform::DestroyWindow(w.GetHWND());
        platform::PumpMessages(50);
    }
    peer.Stop();
    CCefBrowserUI::Quit();
}
