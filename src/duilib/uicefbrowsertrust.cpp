#include "uicefbrowsertrust.h"

#include <QString>
#include <QUrl>

#include <memory>

#include "platform/cryptolib.h"

namespace DuiLib {

namespace {

using platform::SCryptoApi;

// Each object goes through the library's own free function, taken from the loaded library.
struct SFree {
    const SCryptoApi* api;
    void operator()(X509* p) const { api->X509Free(p); }
    void operator()(X509_STORE* p) const { api->StoreFree(p); }
    void operator()(X509_STORE_CTX* p) const { api->StoreCtxFree(p); }
    void operator()(OPENSSL_STACK* p) const {
        api->SkPopFree(p, reinterpret_cast<OPENSSL_sk_freefunc>(api->X509Free));
    }
};
using X509Ptr = std::unique_ptr<X509, SFree>;
using StorePtr = std::unique_ptr<X509_STORE, SFree>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, SFree>;
using ChainPtr = std::unique_ptr<OPENSSL_STACK, SFree>;

X509Ptr FromDer(const SCryptoApi* api, const std::string& der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    return X509Ptr(api->D2iX509(nullptr, &p, static_cast<long>(der.size())), SFree{api});
}

bool HostOf(const std::wstring& text, std::wstring& host, int& port) {
    QUrl url(QString::fromStdWString(text));
    if (!url.isValid() || url.host().isEmpty())
        return false;
    host = url.host().toLower().toStdWString();
    port = url.port(url.scheme() == QLatin1String("http") ? 80 : 443);
    return true;
}

} // namespace

void CPrivateCaTrust::Set(const std::wstring& caFile, const std::vector<std::wstring>& hosts) {
    m_strCaFile = QString::fromStdWString(caFile).toLocal8Bit().toStdString();
    m_hosts.clear();
    for (const std::wstring& h : hosts) {
        SHost host;
        if (HostOf(h, host.strHost, host.nPort))
            m_hosts.push_back(host);
    }
}

bool CPrivateCaTrust::IsConfiguredHost(const SHost& host) const {
    for (const SHost& h : m_hosts)
        if (h.strHost == host.strHost && h.nPort == host.nPort)
            return true;
    return false;
}

bool CPrivateCaTrust::Accepts(const std::wstring& url, const std::vector<std::string>& chainDer) const {
    SHost target;
    if (m_strCaFile.empty() || chainDer.empty() || !HostOf(url, target.strHost, target.nPort) ||
        !IsConfiguredHost(target))
        return false;
    const SCryptoApi* api = platform::Crypto();
    if (!api)
        return false;
    StorePtr store(api->StoreNew(), SFree{api});
    if (!store || api->StoreLoadLocations(store.get(), m_strCaFile.c_str(), nullptr) != 1)
        return false;
    X509Ptr leaf = FromDer(api, chainDer.front());
    ChainPtr untrusted(api->SkNewNull(), SFree{api});
    if (!leaf || !untrusted)
        return false;
    for (size_t i = 1; i < chainDer.size(); ++i) {
        X509Ptr c = FromDer(api, chainDer[i]);
        if (c && api->SkPush(untrusted.get(), c.get()))
            c.release();
    }
    StoreCtxPtr ctx(api->StoreCtxNew(), SFree{api});
    if (!ctx || api->StoreCtxInit(ctx.get(), store.get(), leaf.get(),
                                  reinterpret_cast<STACK_OF(X509)*>(untrusted.get())) != 1)
        return false;
    X509_VERIFY_PARAM* param = api->StoreCtxGet0Param(ctx.get());
    api->ParamSetPurpose(param, X509_PURPOSE_SSL_SERVER);
    QByteArray host = QString::fromStdWString(target.strHost).toUtf8();
    // An address is matched against the certificate's IP entries, a name against its DNS ones.
    if (api->ParamSet1IpAsc(param, host.constData()) != 1 &&
        api->ParamSet1Host(param, host.constData(), static_cast<size_t>(host.size())) != 1)
        return false;
    return api->VerifyCert(ctx.get()) == 1;
}

} // namespace DuiLib
