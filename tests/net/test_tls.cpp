// Certificates and host names are checked; a deployment's own CA is trusted when configured.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include <httplib.h>

#include "net/httpwork.h"
#include "support/testenv.h"

TEST(NetTls, ServersAreVerifiedAgainstTheSystemStoreAndTheConfiguredCa) {
    ScopedTestHome home;
    std::string dir = home.path();
    std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                      "-addext subjectAltName=IP:127.0.0.1 -keyout " + dir + "/key.pem -out " + dir +
                      "/cert.pem >/dev/null 2>&1";
    ASSERT_EQ(0, std::system(cmd.c_str()));
    httplib::SSLServer server((dir + "/cert.pem").c_str(), (dir + "/key.pem").c_str());
    ASSERT_TRUE(server.is_valid());
    server.Get("/tessaril/api/shop/get_list", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("{\"code\":0,\"data\":[]}", "application/json");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread t([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));

    CHttpWork::GlobalInit();
    CHttpWork* http = CHttpWork::GetInstance();
    SDeployHosts hosts;
    hosts.strMerchantApiHost = "https://127.0.0.1:" + std::to_string(port);
    http->SetDeployHosts(hosts);
    std::string body;
    EXPECT_FALSE(http->Subscription_GetShopList("a=b;", body)); // unknown issuer

    hosts.strCaFile = dir + "/cert.pem";
    http->SetDeployHosts(hosts);
    EXPECT_TRUE(http->Subscription_GetShopList("a=b;", body));

    // The certificate names 127.0.0.1 only; the same server under another name is refused.
    hosts.strMerchantApiHost = "https://localhost:" + std::to_string(port);
    http->SetDeployHosts(hosts);
    body.clear();
    EXPECT_FALSE(http->Subscription_GetShopList("a=b;", body));

    server.stop();
    t.join();
}
