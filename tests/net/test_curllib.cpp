// libcurl and OpenSSL come into the process with their first use, not with the program: a program
// of its own, so that no other test has made a request before.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "net/httpwork.h"
#include "platform/cryptolib.h"

namespace {

bool Mapped(const char* library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(library) != std::string::npos)
            return true;
    return false;
}

bool CurlMapped() { return Mapped("/libcurl.so"); }

} // namespace

// Before the curl test, which brings OpenSSL in with libcurl.
TEST(CryptoLibrary, ComesWithItsFirstUseAndEveryCallIsThere) {
    ASSERT_FALSE(Mapped("/libcrypto.so")) << "OpenSSL was linked into the program again";
    ASSERT_FALSE(Mapped("/libssl.so"));
    const platform::SCryptoApi* api = platform::Crypto();
    ASSERT_NE(api, nullptr);
    EXPECT_TRUE(Mapped("/libcrypto.so"));
    // A call through the table works on the library's own objects.
    X509_STORE* store = api->StoreNew();
    ASSERT_NE(store, nullptr);
    EXPECT_NE(api->StoreLoadLocations(store, "/nonexistent/ca.pem", nullptr), 1);
    api->StoreFree(store);
    EXPECT_EQ(platform::Crypto(), api) << "loaded once";
}

TEST(CurlLibrary, ComesWithTheFirstCallsWhichAllWorkWhenThreadsMakeThemAtOnce) {
    ASSERT_FALSE(CurlMapped()) << "libcurl was linked into the program again";

    // Every kind of option argument goes through the forwarding: a number, a text, a function.
    std::atomic<int> working{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            CURL* h = curl_easy_init();
            if (!h)
                return;
            std::string body;
            bool ok = curl_easy_setopt(h, CURLOPT_URL, "http://127.0.0.1:1/") == CURLE_OK &&
                      curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, 2000L) == CURLE_OK &&
                      curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CHttpWork::WriteToString) == CURLE_OK &&
                      curl_easy_setopt(h, CURLOPT_WRITEDATA, &body) == CURLE_OK &&
                      curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0)) == CURLE_OK &&
                      curl_easy_setopt(h, static_cast<CURLoption>(CURLOPTTYPE_LONG + 9999), 1L) == CURLE_UNKNOWN_OPTION;
            // Nothing listens on port 1: the library itself answers, with its own words.
            ok = ok && curl_easy_perform(h) == CURLE_COULDNT_CONNECT &&
                 std::string(curl_easy_strerror(CURLE_COULDNT_CONNECT)) == "Couldn't connect to server";
            long code = -1;
            ok = ok && curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK && code == 0;
            curl_easy_cleanup(h);
            working += ok;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(working, 8);
    EXPECT_TRUE(CurlMapped());
}
