// The browser control against a page served over loopback: page calls in order, scripts run by
// the program, load callbacks and the cookie store.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include <httplib.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <thread>

#include "duitest.h"
#include "common/sysutils.h"
#include "support/testenv.h"

using namespace DuiLib;

namespace {

const char* kPage = R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>t</title>
<script>
window.shopdeskNative('early', 'a', 1, 2.5, true, null, {k: 'v'});
document.cookie = 'js=2; path=/';
window.addEventListener('load', function () {
  window.shopdeskNative('loaded', '中文');
  for (var i = 0; i < 20; i++) window.shopdeskNative('seq', i);
});
function echo(x) { window.shopdeskNative('echo', x); }
</script></head><body>page</body></html>)";

// Answers "/page" with the page and a cookie, anything else with 404.
class PageServer {
public:
    PageServer() {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
                    QByteArray req = s->readAll();
                    bool page = req.startsWith("GET /page");
                    QByteArray body = page ? QByteArray(kPage) : QByteArray("missing");
                    QByteArray resp = (page ? "HTTP/1.1 200 OK\r\nSet-Cookie: srv=1; Path=/\r\n" : "HTTP/1.1 404 Not Found\r\n");
                    resp += "Content-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
                            QByteArray::number(body.size()) + "\r\n\r\n" + body;
                    s->write(resp);
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    std::wstring Url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(QString::fromUtf8(path)).toStdWString();
    }
    QTcpServer server;
};

class CBrowserWnd : public CTestWnd, public ISetHandleSolt, public ILoadHandleSlot, public ILifeSpanHandleSlot {
public:
    explicit CBrowserWnd(std::wstring url)
        : CTestWnd(LR"(<Window size="640,480"><VerticalLayout><Control name="body" height="10"/><CefBrowser name="TestBrowser"/></VerticalLayout></Window>)"),
          m_url(std::move(url)) {}

    CControlUI* CreateControl(LPCTSTR pstrClass) override {
        if (wcscasecmp(pstrClass, L"CefBrowser") == 0)
            return new CCefBrowserUI(
                m_hWnd,
                [this](const std::wstring& name, const std::vector<std::wstring>& args) {
                    calls.push_back({name, args});
                    return false;
                },
                this, m_url.c_str());
        return CTestWnd::CreateControl(pstrClass);
    }
    ILoadHandleSlot* GetLoadHandleSlot(const std::wstring& name) override {
        askedWith = name;
        return name == L"TestBrowser" ? this : nullptr;
    }
    ILifeSpanHandleSlot* GetLifeSpanHandleSlot(const std::wstring& name) override {
        return name == L"TestBrowser" ? this : nullptr;
    }
    void OnAfterCreated(CCefBrowserUI*) override { events.push_back(L"created"); }
    bool DoClose(CCefBrowserUI*) override {
        events.push_back(L"close");
        return true;
    }
    void OnLoadError(CCefBrowserUI*, const CefFrameInfo&, int code, const std::wstring&, const std::wstring& url) override {
        events.push_back(L"error");
        errorCode = code;
        errorUrl = url;
    }
    void OnLoadingStateChange(CCefBrowserUI*, bool loading, bool, bool) override {
        events.push_back(loading ? L"loading" : L"idle");
    }
    void OnLoadStart(CCefBrowserUI*, const CefFrameInfo&) override { events.push_back(L"start"); }
    void OnLoadEnd(CCefBrowserUI*, const CefFrameInfo& frame, int status) override {
        events.push_back(L"end");
        endStatus = status;
        EXPECT_TRUE(frame.IsMain());
    }

    CCefBrowserUI* Browser() { return Find<CCefBrowserUI>(L"TestBrowser"); }
    size_t Count(const std::wstring& e) const { return std::count(events.begin(), events.end(), e); }
    std::vector<std::wstring> CallNames() const {
        std::vector<std::wstring> n;
        for (auto& c : calls)
            n.push_back(c.first);
        return n;
    }

    std::wstring m_url;
    std::wstring askedWith;
    std::vector<std::pair<std::wstring, std::vector<std::wstring>>> calls;
    std::vector<std::wstring> events;
    int errorCode = 0, endStatus = 0;
    std::wstring errorUrl;
};

// Collects "name=value;" entries the way the program's cookie text is made.
class Collector : public CefCookieVisitor {
public:
    bool Visit(const CefCookie& c, int, int total, bool& del) override {
        if (!c.name() || !c.value())
            return true;
        seen[c.name()] = c.value();
        ++visits;
        lastTotal = total;
        del = false;
        return true;
    }
    void AddRef() const override { ++refs; }
    bool Release() const override {
        if (--refs == 0) {
            released = true;
            return true;  // kept on the test's stack
        }
        return false;
    }
    bool HasOneRef() const override { return refs == 1; }
    mutable std::atomic<int> refs{0};
    mutable std::atomic<bool> released{false};
    std::map<std::wstring, std::wstring> seen;
    int visits = 0, lastTotal = -1;
};

class Browser : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(CCefBrowserUI::InitCef(nullptr, std::wstring(), std::wstring())); }
    static void TearDownTestSuite() {
        CCefBrowserUI::Quit();
        EXPECT_FALSE(CefCookieManager::GetGlobalManager());
    }
    PageServer server;
};

} // namespace

TEST_F(Browser, PageCallsBeforeAndAfterLoadArriveInOrderAsStrings) {
    CBrowserWnd w(server.Url("/page"));
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    w.ShowWindow(true, false);
    EXPECT_EQ(w.askedWith, L"TestBrowser");
    ASSERT_TRUE(WaitFor([&] { return w.calls.size() >= 22; }, 20000)) << w.calls.size() << " calls";
    ASSERT_EQ(w.calls.size(), 22u);
    EXPECT_EQ(w.calls[0].first, L"early");
    EXPECT_EQ(w.calls[0].second, (std::vector<std::wstring>{L"a", L"1", L"2.5", L"true", L"", L"{\"k\":\"v\"}"}));
    EXPECT_EQ(w.calls[1].first, L"loaded");
    EXPECT_EQ(w.calls[1].second, std::vector<std::wstring>{L"中文"});
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(w.calls[2 + i].first, L"seq");
        EXPECT_EQ(w.calls[2 + i].second, std::vector<std::wstring>{std::to_wstring(i)});
    }
    ASSERT_TRUE(WaitFor([&] { return w.Count(L"end") == 1 && w.Count(L"idle") == 1; }, 10000));
    EXPECT_EQ(w.Count(L"created"), 1u);
    EXPECT_EQ(w.endStatus, 200);
    auto pos = [&](const wchar_t* e) { return std::find(w.events.begin(), w.events.end(), e) - w.events.begin(); };
    EXPECT_LT(pos(L"loading"), pos(L"start"));
    EXPECT_LT(pos(L"start"), pos(L"end"));
    EXPECT_LT(pos(L"end"), pos(L"idle"));
    EXPECT_EQ(w.Count(L"error"), 0u);
    EXPECT_EQ(w.Browser()->GetURL(), server.Url("/page"));

    // A script run by the program reaches the page, and the page answers.
    w.Browser()->ExectueJS(L"echo('from program ' + (41 + 1));");
    ASSERT_TRUE(WaitFor([&] { return w.calls.size() == 23; }, 10000));
    EXPECT_EQ(w.calls[22].first, L"echo");
    EXPECT_EQ(w.calls[22].second, std::vector<std::wstring>{L"from program 42"});
}

TEST_F(Browser, CookiesSetByThePageAreVisited) {
    CBrowserWnd w(server.Url("/page"));
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    ASSERT_TRUE(WaitFor([&] { return w.Count(L"end") == 1; }, 20000));
    auto manager = CefCookieManager::GetGlobalManager();
    ASSERT_TRUE(manager);
    ASSERT_TRUE(WaitFor([&] { return manager->CookieCount() >= 2; }, 10000));
    Collector visitor;
    for (int round = 0; round < 2; ++round) {
        visitor.seen.clear();
        visitor.visits = 0;
        ASSERT_TRUE(manager->VisitAllCookies(CefRefPtr<CefCookieVisitor>(&visitor)));
        ASSERT_TRUE(WaitFor([&] { return visitor.released.load(); }, 5000)) << "the visit ends and lets go of the visitor";
        visitor.released = false;
        EXPECT_EQ(visitor.seen[L"srv"], L"1");
        EXPECT_EQ(visitor.seen[L"js"], L"2");
        EXPECT_EQ(visitor.visits, visitor.lastTotal);
    }
    EXPECT_FALSE(manager->VisitAllCookies(CefRefPtr<CefCookieVisitor>()));

    // Switching the user clears the store.
    w.Browser()->SwitchUser();
    EXPECT_EQ(manager->CookieCount(), 0);
}

TEST_F(Browser, LoadFailuresAndHttpErrorsReachTheLoadSlot) {
    CBrowserWnd w(L"http://127.0.0.1:1/nothing-listens-here");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    ASSERT_TRUE(WaitFor([&] { return w.Count(L"error") == 1; }, 20000));
    EXPECT_NE(w.errorCode, 0);
    EXPECT_EQ(w.errorUrl, L"http://127.0.0.1:1/nothing-listens-here");

    // A page the server refuses is a loaded page with its status, not a network failure.
    w.events.clear();
    w.Browser()->LoadURL(server.Url("/absent"));
    ASSERT_TRUE(WaitFor([&] { return w.Count(L"end") == 1 || w.Count(L"error") == 1; }, 20000));
    EXPECT_EQ(w.Count(L"error"), 0u);
    EXPECT_EQ(w.endStatus, 404);
}

TEST_F(Browser, AClosedBrowserAsksItsSlotAndThenIgnoresCalls) {
    CBrowserWnd w{std::wstring()};
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    w.Browser()->ExectueJS(L"echo(1);");  // no page yet: lost, harmless
    w.Browser()->CloseCefWindow();
    EXPECT_EQ(w.Count(L"close"), 1u);
    w.Browser()->LoadURL(server.Url("/page"));
    w.Browser()->ExectueJS(L"echo(1);");
    w.Browser()->StopLoad();
    platform::PumpMessages(300);
    EXPECT_TRUE(w.calls.empty());
    EXPECT_EQ(w.Count(L"start"), 0u);
}

namespace {

// Writes a CA ("<name>-ca.pem") and a server certificate it signed for 127.0.0.1
// ("<name>-srv.pem", key "<name>-srv.key") into `dir`.
bool MakeCaAndServer(const std::string& dir, const std::string& name) {
    std::string p = dir + "/" + name;
    std::string script =
        "set -e; cd '" + dir + "'; "
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=" + name + " CA' "
        "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign "
        "-keyout " + p + "-ca.key -out " + p + "-ca.pem; "
        "openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout " + p + "-srv.key -out " + p + "-srv.csr; "
        "printf 'subjectAltName=IP:127.0.0.1\\nextendedKeyUsage=serverAuth\\n' > " + p + "-ext.cnf; "
        "openssl x509 -req -in " + p + "-srv.csr -CA " + p + "-ca.pem -CAkey " + p + "-ca.key -CAcreateserial "
        "-days 2 -extfile " + p + "-ext.cnf -out " + p + "-srv.pem";
    return std::system(("bash -c \"" + script + "\" >/dev/null 2>&1").c_str()) == 0;
}

// A console page served over TLS with a certificate of the given CA.
class TlsPage {
public:
    TlsPage(const std::string& cert, const std::string& key) : m_server(cert.c_str(), key.c_str()) {
        m_server.Get("/admin", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><head><title>console</title></head><body>console</body></html>", "text/html");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~TlsPage() {
        m_server.stop();
        m_thread.join();
    }
    bool Valid() { return m_server.is_valid(); }
    std::wstring Base(const char* host = "127.0.0.1") const {
        return AnsiToWide(std::string("https://") + host + ":" + std::to_string(m_port));
    }

private:
    httplib::SSLServer m_server;
    int m_port = 0;
    std::thread m_thread;
};

} // namespace

TEST_F(Browser, APrivateCaIsTrustedOnlyForItsChainsOnConfiguredHosts) {
    ScopedTestHome home;
    ASSERT_TRUE(MakeCaAndServer(home.path(), "deploy"));
    ASSERT_TRUE(MakeCaAndServer(home.path(), "stranger"));
    const std::string dir = home.path() + "/";
    TlsPage console(dir + "deploy-srv.pem", dir + "deploy-srv.key");
    TlsPage stranger(dir + "stranger-srv.pem", dir + "stranger-srv.key");
    ASSERT_TRUE(console.Valid() && stranger.Valid());

    CBrowserWnd w{std::wstring()};
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    auto load = [&](const std::wstring& url) {
        w.events.clear();
        w.Browser()->LoadURL(url);
        EXPECT_TRUE(WaitFor([&] { return w.Count(L"end") + w.Count(L"error") > 0; }, 20000)) << WideToAnsi(url);
        return w.Count(L"end") == 1 ? L"loaded" : L"refused";
    };
    // Refusals first: an accepted certificate is remembered for its host by the runtime.
    EXPECT_EQ(load(console.Base() + L"/admin"), std::wstring(L"refused")) << "no CA configured";
    const std::wstring ca = AnsiToWide(dir + "deploy-ca.pem");
    w.Browser()->SetPrivateCa(ca, {stranger.Base(), AnsiToWide("https://localhost:1")});
    EXPECT_EQ(load(console.Base() + L"/admin"), std::wstring(L"refused")) << "host not configured";
    EXPECT_EQ(load(stranger.Base() + L"/admin"), std::wstring(L"refused")) << "chain of another CA";
    w.Browser()->SetPrivateCa(ca, {console.Base("localhost"), stranger.Base()});
    EXPECT_EQ(load(console.Base("localhost") + L"/admin"), std::wstring(L"refused")) << "certificate names 127.0.0.1 only";

    w.Browser()->SetPrivateCa(ca, {console.Base()});
    EXPECT_EQ(load(console.Base() + L"/admin"), std::wstring(L"loaded"));
    EXPECT_EQ(w.endStatus, 200);
}
