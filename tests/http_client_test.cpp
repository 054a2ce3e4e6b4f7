// The GET client against real peers on 127.0.0.1: an HTTP server for bodies and
// statuses, a raw listener for the request's exact bytes and for peers that fail.
#include "tests/support/raw_listener.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include "net/http_client.h"
#include "net/request_url.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/test_support.h"

TEST(RequestUrl, EscapesWhatCannotStandInARequestLineAndSplitsLikeABrowser)
{
    const struct {
        const char *url, *object;
        int port;  // 443 for https
    } cases[] = {
        {"https://h/p", "/p", 443},
        {"http://h:99?x=1", "/?x=1", 99},
        {"http://h/a/../b\\c?q=../1", "/b/c?q=../1", 80},
        {"http://h/a b/{p}?x y&q?r\"<>\\^`|#x", "/a%20b/%7Bp%7D?x%20y&q?r%22%3C%3E%5C%5E%60%7C%23x", 80},
        {"http://h/p?a=%41&b=%zz&c=%4\t\r\n\x7f", "/p?a=%41&b=%25zz&c=%254%09%0D%0A%7F", 80},
        // Both bytes of a double-byte character, also a trail byte that looks like "\" or "|".
        {"http://h/游戏嘰包/q?n=嘰媩", "/%D3%CE%CF%B7%87%5C%B0%FC/q?n=%87%5C%8B%7C", 80},
        {"http://h/p?a+b&c=d;e:f/g?h@i!$'()*,[]~", "/p?a+b&c=d;e:f/g?h@i!$'()*,[]~", 80},
    };
    for (const auto& c : cases) {
        CRequestUrl parts;
        ASSERT_TRUE(ParseRequestUrl(c.url, parts)) << c.url;
        EXPECT_TRUE(parts.scheme == (c.port == 443 ? INTERNET_SCHEME_HTTPS : INTERNET_SCHEME_HTTP) &&
                    parts.server == "h" && c.port == parts.port)
            << c.url;
        EXPECT_STREQ(c.object, parts.object.GetString()) << c.url;
    }
}

TEST(HttpClient, DeliversTheBodyConvertedToTheAnsiCodePage)
{
    std::string zeroAt10 = vt::Letters(2500);
    zeroAt10[10] = '\0';
    const struct {
        const char* path;
        int status;
        std::string body, response;
    } cases[] = {
        // Read in chunks of 1024: the first is cut at its zero byte, the ones after it arrive whole.
        {"/zero", 200, zeroAt10, vt::Letters(10) + vt::Letters(2500).substr(1024)},
        {"/chinese", 200, u8"中文：微端 ok", "中文：微端 ok"},  // the second literal is code page 936
        {"/missing", 404, "not here", "not here"},
        {"/empty", 200, "", ""},
        {"/huge", 200, vt::Letters(256 << 10), vt::Letters(64 << 10)},  // only what a caller can use is read
    };
    vt::TestServer server;
    for (const auto& c : cases)
        server.server().Get(c.path, [&c](const httplib::Request&, httplib::Response& res) {
            res.status = c.status;
            res.set_content(c.body, "text/plain; charset=utf-8");
        });
    ASSERT_TRUE(server.Start());
    CHttpClient client;  // one client for every request: each call reuses the session of the one before
    for (const auto& c : cases) {
        std::string response = "stale";
        EXPECT_EQ(HTTP_GET_OK, client.HttpGet(server.Url(c.path).c_str(), response)) << c.path;
        EXPECT_TRUE(c.response == response) << c.path << ": " << response.size() << " bytes";
    }
    // A reply that cannot be held in memory fails the request instead of ending the process.
    std::string response = "stale";
    vt::AllocationLimit limit(16 << 10);
    EXPECT_EQ(HTTP_GET_FAILED, client.HttpGet(server.Url("/huge").c_str(), response));
    EXPECT_EQ("", response);
}

TEST(HttpClient, FailuresAreOneAndATimeOutIsTwo)
{
    using Mode = vt::RawListener::Mode;
    vt::RawListener peer, silent, stalling, resetting;
    ASSERT_TRUE(peer.Start(Mode::Reply) && silent.Start(Mode::Stall, "") && resetting.Start(Mode::Reset) &&
                stalling.Start(Mode::Stall, "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc"));
    std::vector<std::pair<std::string, int>> cases = {
        {peer.Url("/x", "ftp"), HTTP_GET_FAILED},
        {"nohost", HTTP_GET_FAILED},
        {"http:///p", HTTP_GET_FAILED},
        {"http://127.0.0.1:" + std::to_string(vt::UnusedPort()) + "/", HTTP_GET_FAILED},
        {peer.Url("/secret", "https"), HTTP_GET_FAILED},  // a plain peer, no TLS server
        {silent.Url("/never"), HTTP_GET_TIMEOUT},
        {stalling.Url("/slow"), HTTP_GET_TIMEOUT},  // the part of the body already read is not handed out
    };
    // A reset before the reply is neither a time-out nor an empty reply.  Wine's stack
    // notices it at different moments, so it is tried several times.
    cases.insert(cases.end(), 20, {resetting.Url("/reset"), HTTP_GET_FAILED});
    CHttpClient client;
    for (const auto& [url, result] : cases) {
        // A short read wait where the peer never answers; elsewhere one past the call's 3 s
        // total limit, so that no read's time-out ends those calls (a failure slower than the
        // total limit would still come back as a time-out).
        client.SetReceiveTimeout(result == HTTP_GET_TIMEOUT ? 1000 : 30000);
        std::string response = "stale";
        EXPECT_EQ(result, client.HttpGet(url.c_str(), response)) << url;
        EXPECT_EQ("", response) << url;
    }

    // The same client then sends the fixed request, its query escaped.
    std::string response;
    ASSERT_EQ(HTTP_GET_OK,
              client.HttpGet(peer.Url("/q?data=QX={G:1;T:1;Windows 7_PageReadyAGENT:;}").c_str(), response));
    EXPECT_EQ("ok", response);
    std::vector<std::string> received = peer.Received();
    ASSERT_FALSE(received.empty());
    const std::string head = received.back().substr(0, received.back().find("\r\n\r\n") + 2);
    EXPECT_EQ(0u, head.find("GET /q?data=QX=%7BG:1;T:1;Windows%207_PageReadyAGENT:;%7D HTTP/1.0\r\n"
                            "Accept: *,*/*\r\nAccept-Language: zh-cn\r\n"
                            "Content-Type: application/x-www-form-urlencoded\r\nAccept-Encoding: gzip, deflate\r\n"))
        << head;
    EXPECT_NE(
        std::string::npos,
        head.find("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)\r\n"));
    // Before it the peer saw only TLS hellos: the https request went out encrypted and
    // the ftp URL opened no connection.
    received.pop_back();
    ASSERT_FALSE(received.empty());
    for (const std::string& hello : received)
        EXPECT_TRUE(hello.substr(0, 1) == "\x16" && hello.find("/secret") == std::string::npos);
}
