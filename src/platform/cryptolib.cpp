#include "cryptolib.h"

#include "module.h"

namespace platform {

namespace {

constexpr const char* kSslLibrary = "libssl.so.3";
constexpr const char* kCryptoLibrary = "libcrypto.so.3";

template <typename Fn>
bool FromCrypto(Fn& fn, const char* name) {
    return ModuleFunction(fn, kCryptoLibrary, name);
}

} // namespace

const SCryptoApi* Crypto() {
    static const SCryptoApi* api = [] {
        static SCryptoApi a;
        bool ok = ModuleFunction(a.SslCtxGetCertStore, kSslLibrary, "SSL_CTX_get_cert_store") &&
                  FromCrypto(a.StoreNew, "X509_STORE_new") && FromCrypto(a.StoreFree, "X509_STORE_free") &&
                  FromCrypto(a.StoreLoadLocations, "X509_STORE_load_locations") &&
                  FromCrypto(a.StoreCtxNew, "X509_STORE_CTX_new") && FromCrypto(a.StoreCtxFree, "X509_STORE_CTX_free") &&
                  FromCrypto(a.StoreCtxInit, "X509_STORE_CTX_init") &&
                  FromCrypto(a.StoreCtxGet0Param, "X509_STORE_CTX_get0_param") &&
                  FromCrypto(a.ParamSetPurpose, "X509_VERIFY_PARAM_set_purpose") &&
                  FromCrypto(a.ParamSet1IpAsc, "X509_VERIFY_PARAM_set1_ip_asc") &&
                  FromCrypto(a.ParamSet1Host, "X509_VERIFY_PARAM_set1_host") &&
                  FromCrypto(a.VerifyCert, "X509_verify_cert") && FromCrypto(a.D2iX509, "d2i_X509") &&
                  FromCrypto(a.X509Free, "X509_free") && FromCrypto(a.SkNewNull, "OPENSSL_sk_new_null") &&
                  FromCrypto(a.SkPush, "OPENSSL_sk_push") && FromCrypto(a.SkPopFree, "OPENSSL_sk_pop_free");
        return ok ? &a : nullptr;
    }();
    return api;
}

} // namespace platform
