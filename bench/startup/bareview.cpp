// The floor the workbench's start is held against: nothing but a Qt WebEngine view with a
// WebChannel bridge, showing one page with the profile set up as the workbench sets up its own.
//
//   bareview URL PROFILE_DIR            shows URL; prints "first-call <monotonic ns> <name>"
//                                       when the page's first call over the bridge arrives
//   bareview --sign-in URL PROFILE_DIR  loads URL (a sign-in that leads to the console),
//                                       ends once the console page has loaded, leaving
//                                       its cookie in the profile
//
// Like the workbench, it asks the console for its account once a page has loaded, which is
// what makes the console's first call.
#include <time.h>

#include <cstdio>

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QTimer>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace {

long long MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// window.shopdeskNative(name, ...args) as the console expects it, queued until the channel is up.
QString BridgeScript() {
    QFile f(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll()) + QStringLiteral(R"JS(
;(function () {
  var pending = [], native = null;
  function flush() { while (native && pending.length) { var c = pending.shift(); native.call(c[0], c[1]); } }
  window.shopdeskNative = function (name) {
    pending.push([String(name), Array.prototype.slice.call(arguments, 1).map(String)]);
    flush();
  };
  (function connect() {
    if (typeof qt === 'undefined' || !qt.webChannelTransport) { setTimeout(connect, 5); return; }
    new QWebChannel(qt.webChannelTransport, function (ch) { native = ch.objects.shopdeskBridge; flush(); });
  })();
})();
)JS");
}

} // namespace

class Bridge : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void call(const QString& name, const QJsonArray& args) {
        if (m_bReported)
            return;
        m_bReported = true;
        std::printf("first-call %lld %s\n", MonotonicNs(), name.toUtf8().constData());
        std::fflush(stdout);
    }

private:
    bool m_bReported = false;
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const bool signIn = argc == 4 && QByteArray(argv[1]) == "--sign-in";
    if (argc != 3 && !signIn) {
        std::fprintf(stderr, "usage: bareview [--sign-in] URL PROFILE_DIR\n");
        return 2;
    }
    const QString url = QString::fromLocal8Bit(argv[signIn ? 2 : 1]);
    const QString dir = QString::fromLocal8Bit(argv[signIn ? 3 : 2]);

    auto* profile = new QWebEngineProfile(QStringLiteral("shopdesk"), &app);
    profile->setPersistentStoragePath(dir + QStringLiteral("/Browser"));
    profile->setCachePath(dir + QStringLiteral("/BrowserCache"));
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);

    auto* view = new QWebEngineView();
    auto* page = new QWebEnginePage(profile, view);
    view->setPage(page);
    Bridge bridge;
    QWebChannel channel;
    channel.registerObject(QStringLiteral("shopdeskBridge"), &bridge);
    page->setWebChannel(&channel);
    QWebEngineScript script;
    script.setSourceCode(BridgeScript());
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    page->scripts().insert(script);

    QObject::connect(page, &QWebEnginePage::loadFinished, page, [&](bool ok) {
        if (signIn) {
            if (ok && page->url().path() == QLatin1String("/admin/index.php"))
                QTimer::singleShot(500, &app, &QCoreApplication::quit);
            return;
        }
        page->runJavaScript(QStringLiteral("window.angular.element('[ng-app]').scope().getWindowsConfig();"));
    });
    if (signIn)
        QTimer::singleShot(30000, &app, [&app] { app.exit(1); });

    view->resize(1200, 716);
    view->show();
    page->load(QUrl(url));
    int rc = app.exec();
    // The profile writes its cookies out when it goes, and it may go only after its pages.
    delete view;
    delete profile;
    return rc;
}

#include "bareview.moc"
