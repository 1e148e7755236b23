#include "net/httpwork.h"

#include <curl/curl.h>

#include <cstdio>

#include "common/sysutils.h"
#include "net/jsonwrite.h"
#include "platform/cryptolib.h"
#include "platform/curllib.h"
#include "platform/wholefile.h"

const char* const kShopdeskAppVersion = "2.1.4";

const std::string& GetShopdeskUserAgent() {
    // Never destroyed: upload threads may still start requests while the process runs its exit
    // handlers, after function-local statics are gone.
    static const std::string* const ua =
        new std::string(std::string("Mozilla/5.0 (Windows NT 6.2; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
                                    "Chrome/49.0.2623.110 Safari/537.36 qdxappcode/im.qdx.windows qdxappver/") +
                        kShopdeskAppVersion);
    return *ua;
}

bool EventUploadDelivered(const SHttpResult& result) {
    long code = result.nResponseCode;
    bool serverFailed = code >= 500 || code == 408 || code == 429;
    return result.bSuccess && result.bComplete && !serverFailed;
}

std::string UrlEncode(const std::string& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    // Written through a pointer into room for the worst case: every event's body passes here.
    std::string out(bytes.size() * 3, '\0');
    char* o = &out[0];
    for (unsigned char c : bytes) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            *o++ = static_cast<char>(c);
        } else {
            *o++ = '%';
            *o++ = hex[c >> 4];
            *o++ = hex[c & 0xF];
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

void AppendParam(std::string& body, const char* key, const std::string& value, bool encode) {
    if (!body.empty())
        body += '&';
    body += key;
    body += '=';
    body += encode ? UrlEncode(value) : value;
}

void AppendParamInt64(std::string& body, const char* key, int64_t value) {
    AppendParam(body, key, std::to_string(value), false);
}

namespace {

// Adds the deployment's own CA to whatever the library already trusts, so private servers
// verify without giving up the system store.
CURLcode AddExtraCa(CURL*, void* sslctx, void* userptr) {
    const auto* caFile = static_cast<const std::string*>(userptr);
    if (!caFile || caFile->empty())
        return CURLE_OK;
    if (const platform::SCryptoApi* crypto = platform::Crypto()) {
        X509_STORE* store = crypto->SslCtxGetCertStore(static_cast<SSL_CTX*>(sslctx));
        if (store)
            crypto->StoreLoadLocations(store, caFile->c_str(), nullptr);
    }
    return CURLE_OK;
}

std::string Printf1024(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Printf1024(const char* fmt, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    return n < 0 ? std::string() : std::string(buf);
}

// The per-handle copy of the CA path must outlive the transfer; handles live on one thread.
thread_local std::string t_caFile;

} // namespace

CHttpWork* CHttpWork::GetInstance() {
    static CHttpWork* instance = new CHttpWork();
    return instance;
}

void CHttpWork::GlobalInit() {
    // libcurl loads on a thread of its own, and its set-up sets up the TLS library, before any
    // request can be made: the TLS library's exit handler is registered ahead of every handler
    // a request leads to, and runs after them, so an upload still running while the process
    // ends finds it in place.
    platform::PreloadCurl();
}

size_t CHttpWork::WriteToString(void* data, size_t size, size_t count, void* str) {
    static_cast<std::string*>(str)->append(static_cast<const char*>(data), size * count);
    return size * count;
}

CHttpWork::CHttpWork() {
    m_strOpenUdid = GetMachineGuid();
    m_strOsBits = Is64BitOS() ? "64" : "32";
    WORD packed = 0;
    GetOsVersionName(&packed);
    m_strSysVer = std::to_string(packed >> 8) + "." + std::to_string(packed & 0xFF);
    m_hosts = LoadDeployHosts(DefaultDeployConfigPath());
}

void CHttpWork::SetUid(const std::string& uid) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_strUid = uid;
}

std::string CHttpWork::GetUid() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_strUid;
}

void CHttpWork::ReloadDeployConfig() { SetDeployHosts(LoadDeployHosts(DefaultDeployConfigPath())); }

void CHttpWork::SetDeployHosts(const SDeployHosts& hosts) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_hosts = hosts;
}

SDeployHosts CHttpWork::GetDeployHosts() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_hosts;
}

void CHttpWork::ApplyTransportOptions(CURL* h) {
    // Certificates and host names are always checked; an unverified server could read and
    // forge the merchant's session.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    t_caFile = GetDeployHosts().strCaFile;
    if (!t_caFile.empty()) {
        curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, &AddExtraCa);
        curl_easy_setopt(h, CURLOPT_SSL_CTX_DATA, &t_caFile);
    }
    // Several threads run transfers with time-outs; signals would reach the wrong one.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
}

CURL* CHttpWork::CreateRequest(const std::string& cookie, std::string& response, long timeoutSeconds) {
    CURL* h = curl_easy_init();
    if (h)
        PrepareRequest(h, cookie, response, timeoutSeconds);
    return h;
}

void CHttpWork::PrepareRequest(CURL* h, const std::string& cookie, std::string& response, long timeoutSeconds) {
    curl_easy_setopt(h, CURLOPT_USERAGENT, GetShopdeskUserAgent().c_str());
    ApplyTransportOptions(h);
    curl_easy_setopt(h, CURLOPT_COOKIE, cookie.c_str());
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(h, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CHttpWork::WriteToString);
}

bool CHttpWork::FinishRequest(CURL* handle, std::string& response, SHttpResult* result) {
    if (!handle)
        return false;
    bool ok = PerformRequest(handle, response, result);
    curl_easy_cleanup(handle);
    return ok;
}

bool CHttpWork::PerformRequest(CURL* handle, std::string& response, SHttpResult* result) {
    if (!handle || !result)
        return false;
    return ReportTransfer(handle, curl_easy_perform(handle), response, result);
}

bool CHttpWork::ReportTransfer(CURL* handle, int rc, const std::string& response, SHttpResult* result) {
    if (!response.empty())
        result->strResponse = response;
    result->strError = curl_easy_strerror(static_cast<CURLcode>(rc));
    result->bSuccess = !response.empty();
    result->bComplete = rc == CURLE_OK;
    long code = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
    result->nResponseCode = code;
    return result->bSuccess;
}

bool CHttpWork::PerformBodyOnly(CURL* handle, std::string& response, std::string& body) {
    curl_easy_perform(handle);
    curl_easy_cleanup(handle);
    if (response.empty())
        return false;
    body = response;
    return true;
}

bool CHttpWork::CheckUpdate(std::string& body) {
    CURL* h = curl_easy_init();
    if (!h)
        return false;
    std::string response;
    std::string url = GetDeployHosts().strMobileApiHost + "/system/update/native_app_check_update/v1";
    curl_easy_setopt(h, CURLOPT_USERAGENT, GetShopdeskUserAgent().c_str());
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    ApplyTransportOptions(h);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 3L);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CHttpWork::WriteToString);
    return PerformBodyOnly(h, response, body);
}

bool CHttpWork::DownloadFile(const std::string& url, const std::wstring& localPath) {
    CURL* h = curl_easy_init();
    if (!h)
        return false;
    std::string response;
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    ApplyTransportOptions(h);
    // The URL comes from the page: it must not read local files or speak to other services.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 3L);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CHttpWork::WriteToString);
    CURLcode rc = curl_easy_perform(h);
    long code = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_cleanup(h);
    // An error page, an empty answer or a body cut short is no picture, and no file is made.
    if (rc != CURLE_OK || code < 200 || code > 299 || response.empty())
        return false;
    return platform::WriteFileWhole(WideToUtf8(localPath), response);
}

std::string CHttpWork::MerchantUrl(const char* pathAndQuery) const {
    return GetDeployHosts().strMerchantApiHost + pathAndQuery;
}

bool CHttpWork::GetWithResult(const std::string& cookie, const std::string& url, long timeout, SHttpResult& result) {
    std::string response;
    CURL* h = CreateRequest(cookie, response, timeout);
    if (!h)
        return false;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    return FinishRequest(h, response, &result);
}

bool CHttpWork::PostForm(const std::string& cookie, const std::string& url, const std::string* form, long timeout,
                         SHttpResult& result) {
    std::string response;
    CURL* h = CreateRequest(cookie, response, timeout);
    if (!h)
        return false;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    // A POST without fields sends an explicitly empty body instead of reading standard input.
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, form ? static_cast<long>(form->size()) : 0L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, form ? form->c_str() : "");
    return FinishRequest(h, response, &result);
}

bool CHttpWork::MsgCenter_GetSubscribe(const std::string& cookie, SHttpResult& result) {
    return GetWithResult(cookie, MerchantUrl("/tessaril/api/message/get_permission"), 3, result);
}

bool CHttpWork::MsgCenter_GetMsgList(const std::string& cookie, const std::string& type, long offset, int pageSize,
                                     SHttpResult& result) {
    std::string path = Printf1024("/tessaril/api/message/get_list?message_type=%s&offset=%ld&page_size=%d",
                                  type.c_str(), static_cast<long>(static_cast<int32_t>(offset)), pageSize);
    return GetWithResult(cookie, MerchantUrl(path.c_str()), 10, result);
}

bool CHttpWork::MsgCenter_AllRead(const std::string& cookie, SHttpResult& result) {
    return PostForm(cookie, MerchantUrl("/tessaril/api/message/all_read"), nullptr, 10, result);
}

bool CHttpWork::Subscription_GetPermission(const std::string& cookie, int32_t otaId, std::string& body) {
    std::string response;
    CURL* h = CreateRequest(cookie, response, 3);
    if (!h)
        return false;
    std::string url = MerchantUrl(Printf1024("/tessaril/api/subscribe/get_permission?ota_id=%ld",
                                             static_cast<long>(otaId)).c_str());
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    return PerformBodyOnly(h, response, body);
}

bool CHttpWork::Subscription_GetShopList(const std::string& cookie, std::string& body) {
    std::string response;
    CURL* h = CreateRequest(cookie, response, 3);
    if (!h)
        return false;
    std::string url = MerchantUrl("/tessaril/api/shop/get_list");
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    return PerformBodyOnly(h, response, body);
}

bool CHttpWork::Subscription_GetSubPermission(const std::string& cookie, const std::string& type, int32_t otaId,
                                              SHttpResult& result) {
    std::string path = Printf1024("/tessaril/api/subscribe/get_sub_permission?type=%s&ota_id=%ld", type.c_str(),
                                  static_cast<long>(otaId));
    return GetWithResult(cookie, MerchantUrl(path.c_str()), 10, result);
}

bool CHttpWork::Subscription_SetNotice(const std::string& cookie, int32_t otaId, const std::string& messageType,
                                       int status, SHttpResult& result) {
    std::string form;
    AppendParamInt64(form, "ota_id", static_cast<int64_t>(static_cast<uint32_t>(otaId)));
    AppendParam(form, "message_type", messageType, true);
    AppendParam(form, "status", std::to_string(status), false);
    return PostForm(cookie, MerchantUrl("/tessaril/api/subscribe/set_notice"), &form, 10, result);
}

bool CHttpWork::Subscription_SetNoticeBatch(const std::string& cookie, int32_t otaId,
                                            const std::vector<std::string>& messageTypes, int status,
                                            SHttpResult& result) {
    Json::Value root(Json::objectValue);
    Json::Value& list = root["list"]; // stays null until the first element, as the servers expect
    for (const std::string& t : messageTypes) {
        Json::Value item(Json::objectValue);
        item["message_type"] = t;
        item["status"] = status;
        list.append(item);
    }
    root["ota_id"] = otaId;
    std::string form;
    AppendParam(form, "data", JsonCompact(root, true), true);
    return PostForm(cookie, MerchantUrl("/tessaril/api/subscribe/set_notice_batch"), &form, 10, result);
}

bool CHttpWork::Subscription_SetSubscribe(const std::string& cookie, int32_t otaId, const std::string& type,
                                          int status, SHttpResult& result) {
    std::string form;
    AppendParamInt64(form, "ota_id", static_cast<int64_t>(static_cast<uint32_t>(otaId)));
    AppendParam(form, "type", type, true);
    AppendParam(form, "status", std::to_string(status), false);
    return PostForm(cookie, MerchantUrl("/tessaril/api/subscribe/set_subscribe"), &form, 10, result);
}
