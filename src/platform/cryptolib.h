#pragma once
// OpenSSL's X.509 calls, loaded on their first use rather than with the program: the library
// and its relocations would otherwise cost every start before main, while only a private
// deployment's CA (an extra CA for the transport, a certificate the browser refused) needs them.
// libcurl brings the same library with it, so by then loading it costs next to nothing.
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace platform {

struct SCryptoApi {
    decltype(&SSL_CTX_get_cert_store) SslCtxGetCertStore = nullptr;
    decltype(&X509_STORE_new) StoreNew = nullptr;
    decltype(&X509_STORE_free) StoreFree = nullptr;
    decltype(&X509_STORE_load_locations) StoreLoadLocations = nullptr;
    decltype(&X509_STORE_CTX_new) StoreCtxNew = nullptr;
    decltype(&X509_STORE_CTX_free) StoreCtxFree = nullptr;
    decltype(&X509_STORE_CTX_init) StoreCtxInit = nullptr;
    decltype(&X509_STORE_CTX_get0_param) StoreCtxGet0Param = nullptr;
    decltype(&X509_VERIFY_PARAM_set_purpose) ParamSetPurpose = nullptr;
    decltype(&X509_VERIFY_PARAM_set1_ip_asc) ParamSet1IpAsc = nullptr;
    decltype(&X509_VERIFY_PARAM_set1_host) ParamSet1Host = nullptr;
    decltype(&X509_verify_cert) VerifyCert = nullptr;
    decltype(&d2i_X509) D2iX509 = nullptr;
    decltype(&X509_free) X509Free = nullptr;
    decltype(&OPENSSL_sk_new_null) SkNewNull = nullptr;
    decltype(&OPENSSL_sk_push) SkPush = nullptr;
    decltype(&OPENSSL_sk_pop_free) SkPopFree = nullptr;
};

// The calls above, loaded at the first call; null when the library or one of them is missing.
const SCryptoApi* Crypto();

} // namespace platform
