#pragma once
// The process-wide HTTP object: every request of the program goes through here, performed
// synchronously on the calling thread; one libcurl easy handle per request, except for event
// uploads, which keep one per thread and may leave it to run while the thread does other work.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "net/deployconfig.h"

typedef void CURL;
struct SEventLogMsgEx;

// The application version carried in the user agent and in every usage event.
extern const char* const kShopdeskAppVersion; // "2.1.4"
// One user agent for every request that sends one.
const std::string& GetShopdeskUserAgent();

struct SHttpResult {
    std::string strResponse; // whole decoded body; untouched when the body was empty
    std::string strError;    // the transfer library's text for its result, also on success
    bool bSuccess = false;   // a non-empty body arrived
    bool bComplete = false;  // the transfer ended without a transport error (nothing cut short)
    long nResponseCode = 0;  // HTTP status of the last response, 0 without one
};

// Form-body encoding: "&" between fields, key unchanged, value percent-encoded when asked.
void AppendParam(std::string& body, const char* key, const std::string& value, bool encode);
void AppendParamInt64(std::string& body, const char* key, int64_t value);
// Unreserved bytes (letters, digits, "-._~") pass; every other byte becomes "%XX" (upper case).
std::string UrlEncode(const std::string& bytes);

// Whether an event upload reached the server: a complete answer with a body whose status is
// not a server failure (5xx), a time-out (408) or a throttle (429). A body cut short or an
// error page would otherwise delete an event the server never took.
bool EventUploadDelivered(const SHttpResult& result);

class CHttpWork {
public:
    static CHttpWork* GetInstance();
    // curl_global_init(CURL_GLOBAL_ALL), once, before the first request: made on a thread of its
    // own as libcurl is loaded there (platform/curllib.h), unless a request on another thread has
    // begun loading it already; returns at once, and the first request waits for it.
    static void GlobalInit();
    static size_t WriteToString(void* data, size_t size, size_t count, void* str);

    void SetUid(const std::string& uid);
    std::string GetUid() const;
    const std::string& GetOpenUdid() const { return m_strOpenUdid; }
    const std::string& GetOsBits() const { return m_strOsBits; }
    const std::string& GetSysVer() const { return m_strSysVer; }

    // Re-reads "Deploy.cfg" and the environment (the hosts are read once on first use).
    void ReloadDeployConfig();
    void SetDeployHosts(const SDeployHosts& hosts);
    SDeployHosts GetDeployHosts() const;

    // A handle with the common options (user agent, TLS checks, cookie, gzip, time-out, body
    // collection into `response`); null when the library gives none.
    CURL* CreateRequest(const std::string& cookie, std::string& response, long timeoutSeconds);
    // Performs and destroys the handle, filling `result`; returns result->bSuccess.
    bool FinishRequest(CURL* handle, std::string& response, SHttpResult* result);
    // The same pair for a handle the caller keeps for its next request: the common options
    // are set on `handle` as it stands, and performing it leaves it in place.
    void PrepareRequest(CURL* handle, const std::string& cookie, std::string& response, long timeoutSeconds);
    bool PerformRequest(CURL* handle, std::string& response, SHttpResult* result);

    bool CheckUpdate(std::string& body);
    // Fetches an http or https URL into `localPath`, written whole. False, with no file made,
    // for any other scheme, a transport failure, a status outside 2xx or an empty body.
    bool DownloadFile(const std::string& url, const std::wstring& localPath);

    // Merchant API (cookie-authenticated).
    bool MsgCenter_GetSubscribe(const std::string& cookie, SHttpResult& result);
    bool MsgCenter_GetMsgList(const std::string& cookie, const std::string& type, long offset, int pageSize,
                              SHttpResult& result);
    bool MsgCenter_AllRead(const std::string& cookie, SHttpResult& result);
    bool Subscription_GetPermission(const std::string& cookie, int32_t otaId, std::string& body);
    bool Subscription_GetShopList(const std::string& cookie, std::string& body);
    bool Subscription_GetSubPermission(const std::string& cookie, const std::string& type, int32_t otaId,
                                       SHttpResult& result);
    bool Subscription_SetNotice(const std::string& cookie, int32_t otaId, const std::string& messageType, int status,
                                SHttpResult& result);
    bool Subscription_SetNoticeBatch(const std::string& cookie, int32_t otaId,
                                     const std::vector<std::string>& messageTypes, int status, SHttpResult& result);
    bool Subscription_SetSubscribe(const std::string& cookie, int32_t otaId, const std::string& type, int status,
                                   SHttpResult& result);

    // Mobile API: one usage event, signed (built by the event reporter), in steps, so that a
    // thread sending events one after another builds the next request while the server answers
    // the last: the signed form of an event; its upload on the calling thread's kept handle,
    // started and left once the request is out (false when it could not start); and the wait
    // for the answer, true when the server took the event (see EventUploadDelivered); otherwise
    // the event is to be stored and sent again. A thread has one upload in progress at a time.
    std::string BuildEventForm(const SEventLogMsgEx& event) const;
    bool StartUpload(std::string form);
    bool FinishUpload(SHttpResult& result);

private:
    CHttpWork();
    void ApplyTransportOptions(CURL* handle);
    // Fills `result` from a transfer that ended with `rc`; returns result->bSuccess.
    static bool ReportTransfer(CURL* handle, int rc, const std::string& response, SHttpResult* result);
    bool PerformBodyOnly(CURL* handle, std::string& response, std::string& body);
    bool GetWithResult(const std::string& cookie, const std::string& url, long timeout, SHttpResult& result);
    bool PostForm(const std::string& cookie, const std::string& url, const std::string* form, long timeout,
                  SHttpResult& result);
    std::string MerchantUrl(const char* pathAndQuery) const;

    mutable std::mutex m_lock; // guards m_strUid and the hosts, which change after start
    std::string m_strUid;
    std::string m_strOpenUdid;
    std::string m_strOsBits;
    std::string m_strSysVer;
    SDeployHosts m_hosts;
};
