// The console page itself, in a real browser window, clicked with the real pointer.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include <QCoreApplication>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>
#include <QWindow>

#include "demopeer.h"
#include "support/qtwait.h"
#include "support/realclick.h"
#include "support/testenv.h"

namespace {

// Stands in for the workbench's bridge: counts the page's calls and keeps the last one.
const char kBridge[] = "window.shopdeskCalls = 0;"
                       "window.shopdeskNative = (...args) => { window.shopdeskCalls++; window.shopdeskLast = args; };";

// The script's value; an invalid one when the page gave none in time (the answer, arriving
// later, then goes nowhere).
QVariant Evaluate(QWebEngineView& view, const QString& script) {
    auto answer = std::make_shared<std::pair<bool, QVariant>>();
    view.page()->runJavaScript(script, [answer](const QVariant& v) { *answer = {true, v}; });
    WaitFor([&] { return answer->first; }, 30000);
    return answer->second;
}

} // namespace

TEST(DemoConsolePage, LogPanelKeepsTheNewestFiveHundredLines) {
    ScopedTestHome home;
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    std::string cookie = peer.SignIn("u1");
    size_t eq = cookie.find('=');
    ASSERT_NE(eq, std::string::npos);

    QWebEngineProfile profile; // off the record: nothing outlives the test
    QUrl base(QString::fromStdString(peer.BaseUrl()));
    profile.cookieStore()->setCookie(
        QNetworkCookie(QByteArray::fromStdString(cookie.substr(0, eq)),
                       QByteArray::fromStdString(cookie.substr(eq + 1, cookie.size() - eq - 2))),
        base);
    QWebEngineScript bridge;
    bridge.setSourceCode(kBridge);
    bridge.setInjectionPoint(QWebEngineScript::DocumentCreation);
    bridge.setWorldId(QWebEngineScript::MainWorld);
    profile.scripts()->insert(bridge);
    {
        QWebEnginePage page(&profile);
        QWebEngineView view;
        view.setPage(&page);
        view.resize(1400, 860);
        view.move(0, 0);
        view.show();
        view.load(QUrl(QString::fromStdString(peer.BaseUrl() + "/admin/index.php?uid=u1")));
        // Signed in, the page lists its first conversations once it has read the session.
        ASSERT_TRUE(WaitFor(
            [&] { return Evaluate(view, "document.querySelectorAll('#convs .conv').length").toInt() > 0; }, 30000));
        ASSERT_TRUE(WaitFor([&] { return view.windowHandle() && view.windowHandle()->isExposed(); }));
        QVariantList rect = Evaluate(view, "(() => { const b = document.getElementById('sim-unread');"
                                           "b.scrollIntoView({block: 'center'}); const r = b.getBoundingClientRect();"
                                           "return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                                .toList();
        ASSERT_EQ(rect.size(), 2);
        int before = Evaluate(view, "window.shopdeskCalls").toInt();
        QPoint centre = view.mapToGlobal(QPoint(rect[0].toInt(), rect[1].toInt()));

        const int clicks = 520;
        ASSERT_TRUE(ClickAt(centre.x(), centre.y(), 1, clicks));
        EXPECT_TRUE(
            WaitFor([&] { return Evaluate(view, "window.shopdeskCalls").toInt() >= before + clicks; }, 60000))
            << Evaluate(view, "window.shopdeskCalls").toInt() - before << " of " << clicks << " clicks arrived";
        EXPECT_EQ(Evaluate(view, "document.getElementById('call-log').childElementCount").toInt(), 500);
        // The lines dropped are the oldest: the newest call is the first line.
        EXPECT_TRUE(Evaluate(view, "(() => { const a = window.shopdeskLast;"
                                   "const text = a[0] + '(' + a.slice(1).map((s) => JSON.stringify(s)).join(', ') + ')';"
                                   "return document.getElementById('call-log').firstElementChild.textContent"
                                   ".endsWith(text); })()")
                        .toBool());
    }
    // Views and pages hand parts of themselves to deferred deletion; those must go before
    // their profile does.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    peer.Stop();
}
