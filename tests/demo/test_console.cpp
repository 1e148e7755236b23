#include <gtest/gtest.h>

#include <filesystem>
#include <httplib.h>

#include "demopeer.h"

// The console pages: sign-in by form, the session the page reads, and the redirects that keep
// the uid the workbench asked for.
TEST(DemoConsole, FormSignInLeadsToTheConsoleForTheAskedUid) {
    std::string data = std::filesystem::temp_directory_path().string() + "/shopdesk-console-peer";
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(data));
    httplib::Client client("127.0.0.1", peer.Port());

    auto start = client.Get("/admin/index.php?uid=u42");
    ASSERT_TRUE(start);
    EXPECT_EQ(start->status, 302);
    EXPECT_EQ(start->get_header_value("Location"), "/admin?uid=u42");

    auto form = client.Post("/admin/login", "account=shop&password=x&uid=u42", "application/x-www-form-urlencoded");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->status, 303);
    EXPECT_EQ(form->get_header_value("Location"), "/admin/index.php?uid=u42");
    std::string cookie = form->get_header_value("Set-Cookie");
    cookie = cookie.substr(0, cookie.find(';'));

    httplib::Headers headers = {{"Cookie", cookie}};
    auto page = client.Get("/admin/index.php?uid=u42", headers);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("ng-app"), std::string::npos);
    auto me = client.Get("/admin/session", headers);
    ASSERT_TRUE(me);
    EXPECT_NE(me->body.find("\"uid\":\"u42\""), std::string::npos);
    auto script = client.Get("/admin/console.js");
    ASSERT_TRUE(script);
    EXPECT_NE(script->body.find("shopdeskNative"), std::string::npos);

    auto anon = client.Get("/admin/session");
    ASSERT_TRUE(anon);
    EXPECT_EQ(anon->status, 401);
    peer.Stop();
    std::filesystem::remove_all(data);
}

// With the automatic sign-in switched on, a console page without a session is signed in as
// the uid it asks for; switched off again, the sign-in form is back.
TEST(DemoConsole, AutomaticSignInIssuesASessionForTheAskedUid) {
    std::string data = std::filesystem::temp_directory_path().string() + "/shopdesk-console-auto-peer";
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(data));
    httplib::Client client("127.0.0.1", peer.Port());
    peer.Get("/demo/signin?auto=1");

    auto start = client.Get("/admin?uid=u7");
    ASSERT_TRUE(start);
    EXPECT_EQ(start->status, 302);
    EXPECT_EQ(start->get_header_value("Location"), "/admin/index.php?uid=u7");
    std::string cookie = start->get_header_value("Set-Cookie");
    cookie = cookie.substr(0, cookie.find(';'));
    auto me = client.Get("/admin/session", {{"Cookie", cookie}});
    ASSERT_TRUE(me);
    EXPECT_NE(me->body.find("\"uid\":\"u7\""), std::string::npos);
    auto plain = client.Get("/admin");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->get_header_value("Location"), "/admin/index.php?uid=demo");

    peer.Get("/demo/signin?auto=0");
    auto form = client.Get("/admin?uid=u7");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->status, 200);
    EXPECT_TRUE(form->get_header_value("Set-Cookie").empty());
    peer.Stop();
    std::filesystem::remove_all(data);
}
