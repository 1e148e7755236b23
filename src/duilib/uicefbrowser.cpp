// Browser control on Qt WebEngine with the injected page bridge over Qt WebChannel.
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QNetworkCookie>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QSslCertificate>
#include <QWebEngineCertificateError>
#include <QWebEngineCookieStore>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include <set>

#include "uicefbrowser.h"
#include "uilog.h"
#include "uimanager.h"
#include "uiwidget_p.h"

namespace DuiLib {

const wchar_t* const kBrowserHelperName = L"Vudeda";

namespace {

// WebEngine wants shared GL contexts, which must be asked for before the application exists.
const bool s_shareContexts = [] {
    if (!QCoreApplication::instance())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

struct Runtime {
    QWebEngineProfile* profile = nullptr;
    std::vector<QNetworkCookie> cookies;  // the store's cookies, in the order they appeared
    std::set<CCefBrowserUI*> browsers;
    QString bridgeScript;
};

Runtime& RT() {
    static Runtime rt;
    return rt;
}

bool SameCookie(const QNetworkCookie& a, const QNetworkCookie& b) {
    return a.name() == b.name() && a.domain() == b.domain() && a.path() == b.path();
}

QString BuildBridgeScript() {
    QFile f(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!f.open(QIODevice::ReadOnly)) {
        UILog(UILOG_ERROR, L"%s", L"qwebchannel.js missing: pages cannot call the program");
        return QString();
    }
    QString channelJs = QString::fromUtf8(f.readAll());
    // Everything stays inside one function: the page sees only window.shopdeskNative.
    return QStringLiteral("(function(){\n") + channelJs + QStringLiteral(R"JS(
;
if (window.shopdeskNative) return;
var queue = [], bridge = null;
function text(a) {
  if (typeof a === 'string') return a;
  if (a === null || a === undefined) return '';
  if (typeof a === 'number' || typeof a === 'boolean' || typeof a === 'bigint') return String(a);
  try { var j = JSON.stringify(a); return j === undefined ? String(a) : j; } catch (e) { return String(a); }
}
function flush() {
  if (!bridge) return;
  while (queue.length) { var c = queue.shift(); bridge.call(c[0], c[1]); }
}
Object.defineProperty(window, 'shopdeskNative', { configurable: false, writable: false, value: function (name) {
  var args = [];
  for (var i = 1; i < arguments.length; i++) args.push(text(arguments[i]));
  queue.push([text(name), args]);
  flush();
}});
function connect() {
  if (typeof qt === 'undefined' || !qt.webChannelTransport) { setTimeout(connect, 5); return; }
  new QWebChannel(qt.webChannelTransport, function (ch) { bridge = ch.objects.shopdeskBridge; flush(); });
}
connect();
})();
)JS");
}

} // namespace

// The object pages reach through the channel.
class CefBridge : public QObject {
    Q_OBJECT
public:
    explicit CefBridge(CCefBrowserUI* owner) : m_owner(owner) {}
    Q_INVOKABLE void call(const QString& name, const QJsonArray& args) {
        std::vector<std::wstring> list;
        list.reserve(static_cast<size_t>(args.size()));
        for (const QJsonValue& v : args)
            list.push_back(v.toString().toStdWString());
        if (m_owner)
            m_owner->DeliverCall(name.toStdWString(), list);
    }
    CCefBrowserUI* m_owner;
};

// ---------------------------------------------------------------------------------------------
// Cookie store

CefRefPtr<CefCookieManager> CefCookieManager::GetGlobalManager(void*) {
    if (!RT().profile)
        return CefRefPtr<CefCookieManager>();
    return CefRefPtr<CefCookieManager>(new CefCookieManager);
}

int CefCookieManager::CookieCount() const { return static_cast<int>(RT().cookies.size()); }

bool CefCookieManager::VisitAllCookies(CefRefPtr<CefCookieVisitor> visitor) {
    if (!visitor || !RT().profile)
        return false;
    QTimer::singleShot(0, RT().profile, [visitor] {
        std::vector<QNetworkCookie> snapshot = RT().cookies;
        int total = static_cast<int>(snapshot.size());
        for (int i = 0; i < total; ++i) {
            const QNetworkCookie& qc = snapshot[static_cast<size_t>(i)];
            CefCookie c;
            c.has_name = !qc.name().isNull();
            c.has_value = !qc.value().isNull();
            c.name_text = QString::fromUtf8(qc.name()).toStdWString();
            c.value_text = QString::fromUtf8(qc.value()).toStdWString();
            c.domain = qc.domain().toStdWString();
            c.path = qc.path().toStdWString();
            c.secure = qc.isSecure();
            c.httponly = qc.isHttpOnly();
            bool del = false;
            bool more = visitor->Visit(c, i, total, del);
            if (del && RT().profile)
                RT().profile->cookieStore()->deleteCookie(qc);
            if (!more)
                break;
        }
    });
    return true;
}

// ---------------------------------------------------------------------------------------------
// Runtime

bool CCefBrowserUI::InitCef(HINSTANCE, const std::wstring& cachePath, const std::wstring&) {
    if (RT().profile)
        return true;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        UILog(UILOG_ERROR, L"%s", L"browser runtime started without an application");
        return false;
    }
    if (qEnvironmentVariableIsEmpty("QTWEBENGINEPROCESS_PATH")) {
        QString helper = QString::fromStdWString(CPaintManagerUI::GetInstancePath() + kBrowserHelperName);
        QFileInfo fi(helper);
        if (fi.isFile() && fi.isExecutable())
            qputenv("QTWEBENGINEPROCESS_PATH", helper.toLocal8Bit());
    }
    QWebEngineProfile* profile = nullptr;
    if (cachePath.empty()) {
        profile = new QWebEngineProfile(qApp);
    } else {
        std::wstring base = cachePath;
        for (auto& c : base)
            if (c == L'\\')
                c = L'/';
        if (base.back() != L'/')
            base += L'/';
        profile = new QWebEngineProfile(QStringLiteral("shopdesk"), qApp);
        profile->setPersistentStoragePath(QString::fromStdWString(base + L"Browser"));
        profile->setCachePath(QString::fromStdWString(base + L"BrowserCache"));
        // The sign-in must survive a restart, session cookie or not.
        profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    }
    RT().profile = profile;
    RT().cookies.clear();
    QWebEngineCookieStore* store = profile->cookieStore();
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, profile, [](const QNetworkCookie& c) {
        auto& v = RT().cookies;
        for (auto& old : v)
            if (SameCookie(old, c)) {
                old = c;
                return;
            }
        v.push_back(c);
    });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, profile, [](const QNetworkCookie& c) {
        auto& v = RT().cookies;
        v.erase(std::remove_if(v.begin(), v.end(), [&](const QNetworkCookie& o) { return SameCookie(o, c); }), v.end());
    });
    store->loadAllCookies();
    RT().bridgeScript = BuildBridgeScript();
    return true;
}

bool CCefBrowserUI::IsInitialized() { return RT().profile != nullptr; }
QWebEngineProfile* CCefBrowserUI::Profile() { return RT().profile; }

void CCefBrowserUI::Quit() {
    std::set<CCefBrowserUI*> browsers = RT().browsers;
    for (CCefBrowserUI* b : browsers) {
        if (b->m_pView) {
            delete b->m_pView;
            b->m_pView = nullptr;
        }
    }
    RT().browsers.clear();
    // Views closed earlier are waiting for deferred deletion; their pages must go first.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete RT().profile;
    RT().profile = nullptr;
    RT().cookies.clear();
}

// ---------------------------------------------------------------------------------------------
// Control

CCefBrowserUI::CCefBrowserUI(HWND hParent, CefJsCallback callback, ISetHandleSolt* pSlots, LPCTSTR url)
    : m_hParent(hParent), m_callback(std::move(callback)), m_pSlots(pSlots), m_startUrl(url ? url : L"") {
    auto* lay = new QVBoxLayout(m_pWidget);
    lay->setContentsMargins(0, 0, 0, 0);
    if (!RT().profile)
        InitCef(nullptr, std::wstring(), std::wstring());
    CreateView();
}

CCefBrowserUI::~CCefBrowserUI() { ReleaseView(); }

void CCefBrowserUI::ReleaseView() {
    RT().browsers.erase(this);
    if (m_pBridge)
        static_cast<CefBridge*>(m_pBridge)->m_owner = nullptr;
    m_pBridge = nullptr;
    if (!m_pView)
        return;
    // The view outlives this object until its deferred deletion: nothing of it may call back
    // into us meanwhile. The page may be inside one of its own callbacks right now.
    QObject::disconnect(m_pView->page(), nullptr, m_pView, nullptr);
    m_pView->page()->triggerAction(QWebEnginePage::Stop);
    m_pView->setParent(nullptr);
    m_pView->hide();
    m_pView->deleteLater();
    m_pView = nullptr;
}

LPVOID CCefBrowserUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"CefBrowser"))
        return this;
    return CControlUI::GetInterface(pstrName);
}

void CCefBrowserUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (pstrName && wcscmp(pstrName, L"url") == 0) {
        if (m_startUrl.empty())
            m_startUrl = pstrValue ? pstrValue : L"";
        return;
    }
    CControlUI::SetAttribute(pstrName, pstrValue);
}

void CCefBrowserUI::CreateView() {
    if (!RT().profile)
        return;
    m_pView = new QWebEngineView(m_pWidget);
    auto* page = new QWebEnginePage(RT().profile, m_pView);
    m_pView->setPage(page);
    m_pWidget->layout()->addWidget(m_pView);
    RT().browsers.insert(this);

    auto* bridge = new CefBridge(this);
    bridge->setParent(page);
    m_pBridge = bridge;
    auto* channel = new QWebChannel(page);
    channel->registerObject(QStringLiteral("shopdeskBridge"), bridge);
    page->setWebChannel(channel);
    if (!RT().bridgeScript.isEmpty()) {
        QWebEngineScript script;
        script.setName(QStringLiteral("shopdesk-bridge"));
        script.setSourceCode(RT().bridgeScript);
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        script.setRunsOnSubFrames(false);
        page->scripts().insert(script);
    }

    QObject::connect(page, &QWebEnginePage::certificateError, m_pView, [this](const QWebEngineCertificateError& error) {
        QWebEngineCertificateError answer = error;
        std::vector<std::string> chain;
        for (const QSslCertificate& c : answer.certificateChain())
            chain.push_back(c.toDer().toStdString());
        if (m_trust.Accepts(answer.url().toString().toStdWString(), chain)) {
            answer.acceptCertificate();
        } else {
            UILog(UILOG_WARNING, L"certificate of %s refused: %s", answer.url().toString().toStdWString().c_str(),
                      answer.description().toStdWString().c_str());
            answer.rejectCertificate();
        }
    });
    QObject::connect(page, &QWebEnginePage::loadingChanged, m_pView, [this](const QWebEngineLoadingInfo& info) {
        QWebEnginePage* p = m_pView ? m_pView->page() : nullptr;
        bool back = p && p->history()->canGoBack();
        bool forward = p && p->history()->canGoForward();
        CefFrameInfo frame{true, info.url().toString().toStdWString()};
        switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            m_bLoading = true;
            if (m_pLoadSlot) {
                m_pLoadSlot->OnLoadingStateChange(this, true, back, forward);
                m_pLoadSlot->OnLoadStart(this, frame);
            }
            break;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            m_bLoading = false;
            if (m_pLoadSlot) {
                m_pLoadSlot->OnLoadEnd(this, frame, 200);
                m_pLoadSlot->OnLoadingStateChange(this, false, back, forward);
            }
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            m_bLoading = false;
            if (m_pLoadSlot) {
                if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
                    // The server answered: the page loaded, with its status.
                    m_pLoadSlot->OnLoadEnd(this, frame, info.errorCode());
                } else {
                    m_pLoadSlot->OnLoadError(this, frame, info.errorCode(), info.errorString().toStdWString(),
                                             frame.url);
                }
                m_pLoadSlot->OnLoadingStateChange(this, false, back, forward);
            }
            break;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            m_bLoading = false;
            if (m_pLoadSlot)
                m_pLoadSlot->OnLoadingStateChange(this, false, back, forward);
            break;
        }
    });
}

void CCefBrowserUI::ResolveSlots() {
    if (!m_pSlots)
        return;
    m_pLoadSlot = m_pSlots->GetLoadHandleSlot(m_sName);
    m_pLifeSlot = m_pSlots->GetLifeSpanHandleSlot(m_sName);
    m_pSlots->GetOtherHandleSlot(m_sName);
}

void CCefBrowserUI::DoInit() {
    if (m_bInited)
        return;
    m_bInited = true;
    ResolveSlots();
    if (!m_pView)
        return;
    if (!m_startUrl.empty())
        LoadURL(m_startUrl);
    // Reported from the event loop, once the window that holds the control has finished its
    // own initialisation.
    std::weak_ptr<bool> alive = AliveToken();
    QTimer::singleShot(0, m_pView, [this, alive] {
        if (!alive.expired() && m_pLifeSlot && !m_bClosed)
            m_pLifeSlot->OnAfterCreated(this);
    });
}

void CCefBrowserUI::DeliverCall(const std::wstring& name, const std::vector<std::wstring>& args) {
    if (m_callback && !m_bClosed)
        m_callback(name, args);
}

void CCefBrowserUI::LoadURL(const std::wstring& url) {
    if (m_pView && !m_bClosed)
        m_pView->page()->load(QUrl(QString::fromStdWString(url)));
}

void CCefBrowserUI::StopLoad() {
    if (m_pView)
        m_pView->page()->triggerAction(QWebEnginePage::Stop);
}

void CCefBrowserUI::ExectueJS(const std::wstring& js) {
    if (m_pView && !m_bClosed)
        m_pView->page()->runJavaScript(QString::fromStdWString(js), QWebEngineScript::MainWorld);
}

std::wstring CCefBrowserUI::GetURL() const {
    return m_pView ? m_pView->page()->url().toString().toStdWString() : std::wstring();
}

void CCefBrowserUI::SetPrivateCa(const std::wstring& caFile, const std::vector<std::wstring>& hosts) {
    m_trust.Set(caFile, hosts);
}

void CCefBrowserUI::CloseCefWindow() {
    if (m_bClosed)
        return;
    if (m_pLifeSlot)
        m_pLifeSlot->DoClose(this);
    m_bClosed = true;
    ReleaseView();
}

void CCefBrowserUI::SwitchUser() {
    if (!m_pView || !RT().profile)
        return;
    RT().profile->cookieStore()->deleteAllCookies();
    RT().cookies.clear();
    std::wstring url = GetURL().empty() ? m_startUrl : GetURL();
    if (!url.empty())
        LoadURL(url);
}

} // namespace DuiLib

#include "uicefbrowser.moc"
