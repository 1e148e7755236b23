#include "curllib.h"

// Our definitions below stand in for the library's; the type-checking macros would rename them.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <thread>

#include "module.h"

namespace platform {

namespace {

constexpr const char* kCurlLibrary = "libcurl.so.4";

struct SCurlApi {
    decltype(&curl_global_init) GlobalInit = nullptr;
    decltype(&curl_easy_init) EasyInit = nullptr;
    decltype(&curl_easy_cleanup) EasyCleanup = nullptr;
    decltype(&curl_easy_reset) EasyReset = nullptr;
    decltype(&curl_easy_perform) EasyPerform = nullptr;
    decltype(&curl_easy_setopt) EasySetopt = nullptr;
    decltype(&curl_easy_getinfo) EasyGetinfo = nullptr;
    decltype(&curl_easy_strerror) EasyStrerror = nullptr;
    decltype(&curl_share_init) ShareInit = nullptr;
    decltype(&curl_share_setopt) ShareSetopt = nullptr;
    decltype(&curl_multi_init) MultiInit = nullptr;
    decltype(&curl_multi_add_handle) MultiAddHandle = nullptr;
    decltype(&curl_multi_remove_handle) MultiRemoveHandle = nullptr;
    decltype(&curl_multi_perform) MultiPerform = nullptr;
    decltype(&curl_multi_poll) MultiPoll = nullptr;
    decltype(&curl_multi_info_read) MultiInfoRead = nullptr;
    decltype(&curl_multi_cleanup) MultiCleanup = nullptr;
};

template <typename Fn>
bool Resolve(Fn& fn, const char* name) {
    // The library brings some thirty of its own (TLS, compression, directory and name lookups),
    // whose references would otherwise each be searched through the program's libraries first.
    return ModuleFunction(fn, kCurlLibrary, name, ModuleBinding::OwnFirst);
}

// Set by the first thread that loads the library.
std::atomic<bool> g_bLoadBegun{false};

// The library, loaded and set up; null when it or one of its calls is missing, or its set-up
// failed. Loaded at the first call, which other threads' first calls wait for.
const SCurlApi* Curl() {
    static const SCurlApi* api = [] {
        g_bLoadBegun.store(true);
        static SCurlApi a;
        bool ok = Resolve(a.GlobalInit, "curl_global_init") && Resolve(a.EasyInit, "curl_easy_init") &&
                  Resolve(a.EasyCleanup, "curl_easy_cleanup") && Resolve(a.EasyReset, "curl_easy_reset") &&
                  Resolve(a.EasyPerform, "curl_easy_perform") && Resolve(a.EasySetopt, "curl_easy_setopt") &&
                  Resolve(a.EasyGetinfo, "curl_easy_getinfo") && Resolve(a.EasyStrerror, "curl_easy_strerror") &&
                  Resolve(a.ShareInit, "curl_share_init") && Resolve(a.ShareSetopt, "curl_share_setopt") &&
                  Resolve(a.MultiInit, "curl_multi_init") && Resolve(a.MultiAddHandle, "curl_multi_add_handle") &&
                  Resolve(a.MultiRemoveHandle, "curl_multi_remove_handle") &&
                  Resolve(a.MultiPerform, "curl_multi_perform") && Resolve(a.MultiPoll, "curl_multi_poll") &&
                  Resolve(a.MultiInfoRead, "curl_multi_info_read") && Resolve(a.MultiCleanup, "curl_multi_cleanup");
        return ok && a.GlobalInit(CURL_GLOBAL_ALL) == CURLE_OK ? &a : nullptr;
    }();
    return api;
}

// Joined at exit, so that the process never ends while the library is being loaded.
struct SPreloader {
    std::thread thread;
    ~SPreloader() {
        if (thread.joinable())
            thread.join();
    }
};

} // namespace

void PreloadCurl() {
    if (g_bLoadBegun.load())
        return;
    static std::once_flag started;
    std::call_once(started, [] {
        static SPreloader preloader;
        preloader.thread = std::thread([] { Curl(); });
    });
}

} // namespace platform

using platform::Curl;

extern "C" {

CURL* curl_easy_init() { return Curl() ? Curl()->EasyInit() : nullptr; }

void curl_easy_cleanup(CURL* handle) {
    if (Curl())
        Curl()->EasyCleanup(handle);
}

void curl_easy_reset(CURL* handle) {
    if (Curl())
        Curl()->EasyReset(handle);
}

CURLcode curl_easy_perform(CURL* handle) { return Curl() ? Curl()->EasyPerform(handle) : CURLE_FAILED_INIT; }

// The one argument after the option has the type its number range gives, as the library reads it.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    if (!Curl())
        return CURLE_FAILED_INIT;
    auto set = Curl()->EasySetopt;
    va_list arg;
    va_start(arg, option);
    CURLcode rc;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        rc = set(handle, option, va_arg(arg, long));
    else if (option < CURLOPTTYPE_FUNCTIONPOINT)
        rc = set(handle, option, va_arg(arg, void*));
    else if (option < CURLOPTTYPE_OFF_T)
        rc = set(handle, option, va_arg(arg, void (*)()));
    else if (option < CURLOPTTYPE_BLOB)
        rc = set(handle, option, va_arg(arg, curl_off_t));
    else
        rc = set(handle, option, va_arg(arg, curl_blob*));
    va_end(arg);
    return rc;
}

// Every piece of information is written through a pointer.
CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    if (!Curl())
        return CURLE_FAILED_INIT;
    va_list arg;
    va_start(arg, info);
    CURLcode rc = Curl()->EasyGetinfo(handle, info, va_arg(arg, void*));
    va_end(arg);
    return rc;
}

const char* curl_easy_strerror(CURLcode code) {
    return Curl() ? Curl()->EasyStrerror(code) : "libcurl could not be loaded or set up";
}

CURLSH* curl_share_init() { return Curl() ? Curl()->ShareInit() : nullptr; }

CURLSHcode curl_share_setopt(CURLSH* share, CURLSHoption option, ...) {
    if (!Curl())
        return CURLSHE_NOT_BUILT_IN;
    auto set = Curl()->ShareSetopt;
    va_list arg;
    va_start(arg, option);
    CURLSHcode rc;
    switch (option) {
    case CURLSHOPT_SHARE:
    case CURLSHOPT_UNSHARE: rc = set(share, option, va_arg(arg, int)); break;
    case CURLSHOPT_LOCKFUNC: rc = set(share, option, va_arg(arg, curl_lock_function)); break;
    case CURLSHOPT_UNLOCKFUNC: rc = set(share, option, va_arg(arg, curl_unlock_function)); break;
    case CURLSHOPT_USERDATA: rc = set(share, option, va_arg(arg, void*)); break;
    default: rc = CURLSHE_BAD_OPTION; break;
    }
    va_end(arg);
    return rc;
}

CURLM* curl_multi_init() { return Curl() ? Curl()->MultiInit() : nullptr; }

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    return Curl() ? Curl()->MultiAddHandle(multi, handle) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle) {
    return Curl() ? Curl()->MultiRemoveHandle(multi, handle) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    return Curl() ? Curl()->MultiPerform(multi, running) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra[], unsigned int extraCount, int timeoutMs, int* ready) {
    return Curl() ? Curl()->MultiPoll(multi, extra, extraCount, timeoutMs, ready) : CURLM_INTERNAL_ERROR;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
    return Curl() ? Curl()->MultiInfoRead(multi, left) : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) { return Curl() ? Curl()->MultiCleanup(multi) : CURLM_INTERNAL_ERROR; }

} // extern "C"
