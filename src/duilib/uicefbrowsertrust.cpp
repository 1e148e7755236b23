#include "uicefbrowsertrust.h"

#include <QString>
#include <QUrl>

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

namespace DuiLib {

namespace {

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using StorePtr = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX, X509_STORE_CTX_free>>;

void FreeChain(STACK_OF(X509)* chain) { sk_X509_pop_free(chain, X509_free); }
using ChainPtr = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), FreeChain>>;

X509Ptr FromDer(const std::string& der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    return X509Ptr(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
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
    StorePtr store(X509_STORE_new());
    if (!store || X509_STORE_load_locations(store.get(), m_strCaFile.c_str(), nullptr) != 1)
        return false;
    X509Ptr leaf = FromDer(chainDer.front());
    ChainPtr untrusted(sk_X509_new_null());
    if (!leaf || !untrusted)
        return false;
    for (size_t i = 1; i < chainDer.size(); ++i) {
        X509Ptr c = FromDer(chainDer[i]);
        if (c && sk_X509_push(untrusted.get(), c.get()))
            c.release();
    }
    StoreCtxPtr ctx(X509_STORE_CTX_new());
    if (!ctx || X509_STORE_CTX_init(ctx.get(), store.get(), leaf.get(), untrusted.get()) != 1)
        return false;
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx.get());
    X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
    QByteArray host = QString::fromStdWString(target.strHost).toUtf8();
    // An address is matched against the certificate's IP entries, a name against its DNS ones.
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.constData()) != 1 &&
        X509_VERIFY_PARAM_set1_host(param, host.constData(), static_cast<size_t>(host.size())) != 1)
        return false;
    return X509_verify_cert(ctx.get()) == 1;
}

} // namespace DuiLib
