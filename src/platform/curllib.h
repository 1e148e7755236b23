#pragma once
// libcurl is loaded on its first use, not with the program: it brings some eighteen libraries
// (TLS, LDAP, SSH, IDN, ...) whose loading and set-up would otherwise run before main, on the
// start's path, while the program's first request comes later and off the window thread.
//
// The program does not link libcurl. The curl_* functions it calls are defined in curllib.cpp
// and forward to the library, which the first of them loads, setting it up right after with
// curl_global_init(CURL_GLOBAL_ALL), once for the process; calls made meanwhile on other threads
// wait for that. Without the library every call fails as libcurl's own would: null handles,
// CURLE_FAILED_INIT, CURLSHE_NOT_BUILT_IN, CURLM_INTERNAL_ERROR, and curl_easy_strerror says why.
// curl_global_init itself is not among them: the loading makes that call.

namespace platform {

// Loads and sets up libcurl on a thread of its own and returns at once. The thread is waited for
// when the process ends. Nothing is started once another thread has begun the load: making a
// thread while libraries load waits for the loader's lock, so the caller would wait for the load.
void PreloadCurl();

} // namespace platform
