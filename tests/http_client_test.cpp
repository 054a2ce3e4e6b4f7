// The GET client against real peers on 127.0.0.1: an HTTP server for bodies and
// statuses, a raw listener for the request's exact bytes and for a silent peer.
#include "tests/support/raw_listener.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include "net/http_client.h"
#include "net/request_url.h"

namespace {

std::string HeadOf(const std::string& request)
{
    return request.substr(0, request.find("\r\n\r\n") + 2);
}

TEST(RequestUrl, EscapesOnlyWhatCannotStandInARequestLine)
{
    struct Case {
        const char* url;
        const char* escaped;
    };
    const Case cases[] = {
        {"http://h/q?data=QX={G:1;T:1;Windows 7_PageReadyAGENT:;}",
         "http://h/q?data=QX=%7BG:1;T:1;Windows%207_PageReadyAGENT:;%7D"},
        {"http://h/a b/c?x y", "http://h/a%20b/c?x%20y"},
        {"http://h/p?a=%41&b=%zz&c=%4", "http://h/p?a=%41&b=%25zz&c=%254"},
        {"http://h/p?\t\r\n\x7f", "http://h/p?%09%0D%0A%7F"},
        {"http://h/\xc4\xe3?n=\xc4\xe3", "http://h/%C4%E3?n=%C4%E3"},
        {"http://h/p?a=\"<>\\^`|#x", "http://h/p?a=%22%3C%3E%5C%5E%60%7C%23x"},
        {"http://h/{p}?q", "http://h/{p}?q"},
        {"http://h/p?a+b&c=d;e:f/g?h@i!$'()*,[]~", "http://h/p?a+b&c=d;e:f/g?h@i!$'()*,[]~"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.escaped, EscapeUrlForRequestLine(c.url).GetString()) << c.url;
}

TEST(RequestUrl, SplitsLikeABrowser)
{
    struct Case {
        const char* url;
        INTERNET_SCHEME scheme;
        const char* server;
        int port;
        const char* object;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8080/a b/c?x y", INTERNET_SCHEME_HTTP, "127.0.0.1", 8080, "/a%20b/c?x%20y"},
        {"https://h/p", INTERNET_SCHEME_HTTPS, "h", 443, "/p"},
        {"http://h", INTERNET_SCHEME_HTTP, "h", 80, "/"},
        {"http://h:99?x=1", INTERNET_SCHEME_HTTP, "h", 99, "/?x=1"},
        {"http://h/a/../b\\c?q=../1", INTERNET_SCHEME_HTTP, "h", 80, "/b/c?q=../1"},
        {"http://h/{p}?{q}", INTERNET_SCHEME_HTTP, "h", 80, "/%7Bp%7D?%7Bq%7D"},
        {"http://h/q?qos?data=1", INTERNET_SCHEME_HTTP, "h", 80, "/q?qos?data=1"},
        {"ftp://h/x", INTERNET_SCHEME_FTP, "h", 21, "/x"},
    };
    for (const Case& c : cases) {
        CRequestUrl parts;
        ASSERT_TRUE(ParseRequestUrl(c.url, parts)) << c.url;
        EXPECT_EQ(c.scheme, parts.scheme) << c.url;
        EXPECT_STREQ(c.server, parts.server.GetString()) << c.url;
        EXPECT_EQ(c.port, parts.port) << c.url;
        EXPECT_STREQ(c.object, parts.object.GetString()) << c.url;
    }
    for (const char* bad : {"", "nohost", "127.0.0.1/x", "http:///p"}) {
        CRequestUrl parts;
        EXPECT_FALSE(ParseRequestUrl(bad, parts)) << bad;
    }
}

TEST(HttpClient, DeliversTheBodyConvertedToTheAnsiCodePage)
{
    std::string big(2500, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    std::string zeroAt10 = big;
    zeroAt10[10] = '\0';

    vt::TestServer server;
    auto& http = server.server();
    http.Get("/big", [&](const httplib::Request&, httplib::Response& res) { res.set_content(big, "text/plain"); });
    http.Get("/zero", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(zeroAt10, "application/octet-stream");
    });
    http.Get("/chinese", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(u8"中文：微端 ok", "text/plain; charset=utf-8");
    });
    http.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("not here", "text/plain");
    });
    http.Get("/empty", [](const httplib::Request&, httplib::Response& res) { res.set_content("", "text/plain"); });
    ASSERT_TRUE(server.Start());

    // One client for every request: each call reuses the session of the one before.
    CHttpClient client;
    std::string response = "stale";
    EXPECT_EQ(HTTP_GET_OK, client.HttpGet(server.Url("/big").c_str(), response));
    EXPECT_EQ(big, response);

    // The first chunk is cut at its zero byte; the chunks after it arrive whole.
    EXPECT_EQ(HTTP_GET_OK, client.HttpGet(server.Url("/zero").c_str(), response));
    EXPECT_EQ(big.substr(0, 10) + big.substr(1024), response);

    EXPECT_EQ(HTTP_GET_OK, client.HttpGet(server.Url("/chinese").c_str(), response));
    EXPECT_EQ(std::string("中文：微端 ok"), response);  // the literal is code page 936

    EXPECT_EQ(HTTP_GET_OK, client.HttpGet(server.Url("/missing").c_str(), response));
    EXPECT_EQ("not here", response);

    EXPECT_EQ(HTTP_GET_OK, client.HttpGet(server.Url("/empty").c_str(), response));
    EXPECT_EQ("", response);
}

TEST(HttpClient, SendsTheFixedRequestInOrder)
{
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::Reply));
    CHttpClient client;
    std::string response;
    const std::string url = peer.Url("/qos?data=QX={G:1;T:1;Windows 7_PageReadyAGENT:;}");
    ASSERT_EQ(HTTP_GET_OK, client.HttpGet(url.c_str(), response));
    EXPECT_EQ("ok", response);

    const std::vector<std::string> received = peer.Received();
    ASSERT_EQ(1u, received.size());
    const std::string head = HeadOf(received[0]);
    EXPECT_EQ(0u, head.find("GET /qos?data=QX=%7BG:1;T:1;Windows%207_PageReadyAGENT:;%7D HTTP/1.0\r\n")) << head;
    EXPECT_NE(
        std::string::npos,
        head.find("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)\r\n"))
        << head;
    size_t last = 0;
    for (const char* header :
         {"\r\nAccept: *,*/*\r\n", "\r\nAccept-Language: zh-cn\r\n",
          "\r\nContent-Type: application/x-www-form-urlencoded\r\n", "\r\nAccept-Encoding: gzip, deflate\r\n"}) {
        const size_t at = head.find(header);
        ASSERT_NE(std::string::npos, at) << header << " missing in\n" << head;
        EXPECT_LT(last, at) << header << " out of order in\n" << head;
        last = at;
    }
}

TEST(HttpClient, FailuresAreOneAndATimeOutIsTwo)
{
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::Reply));
    CHttpClient client;
    std::string response = "stale";

    // Another scheme is refused before any connection; the http request made after it
    // is then the only one the peer ever accepted.
    EXPECT_EQ(HTTP_GET_FAILED, client.HttpGet(peer.Url("/x", "ftp").c_str(), response));
    EXPECT_EQ("", response);
    EXPECT_EQ(HTTP_GET_FAILED, client.HttpGet("nohost", response));
    ASSERT_EQ(HTTP_GET_OK, client.HttpGet(peer.Url("/after").c_str(), response));
    ASSERT_EQ(1u, peer.Received().size());
    EXPECT_EQ(0u, peer.Received()[0].find("GET /after "));

    response = "stale";
    const std::string refused = "http://127.0.0.1:" + std::to_string(vt::UnusedPort()) + "/";
    EXPECT_EQ(HTTP_GET_FAILED, client.HttpGet(refused.c_str(), response));
    EXPECT_EQ("", response);

    vt::RawListener silent;
    ASSERT_TRUE(silent.Start(vt::RawListener::Mode::Silent));
    client.SetReceiveTimeout(1000);
    response = "stale";
    EXPECT_EQ(HTTP_GET_TIMEOUT, client.HttpGet(silent.Url("/never").c_str(), response));
    EXPECT_EQ("", response);
    EXPECT_EQ(1, silent.Connections());

    // A body that stops coming is a time-out too; the part already read is not handed out.
    vt::RawListener stalling;
    ASSERT_TRUE(stalling.Start(vt::RawListener::Mode::Stall, "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc"));
    response = "stale";
    EXPECT_EQ(HTTP_GET_TIMEOUT, client.HttpGet(stalling.Url("/slow").c_str(), response));
    EXPECT_EQ("", response);

    // A reset before the reply is never taken for a time-out.  (Depending on when Wine's
    // stack notices it, it is a failure or an empty reply.)
    vt::RawListener resetting;
    ASSERT_TRUE(resetting.Start(vt::RawListener::Mode::Reset));
    client.SetReceiveTimeout(30000);
    response = "stale";
    EXPECT_NE(HTTP_GET_TIMEOUT, client.HttpGet(resetting.Url("/reset").c_str(), response));
    EXPECT_EQ("", response);
    EXPECT_EQ(1, resetting.Connections());
}

TEST(HttpClient, HttpsGoesOutEncrypted)
{
    // A plain peer on the https port sees a TLS hello, never the request in clear text.
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::Reply));
    CHttpClient client;
    client.SetReceiveTimeout(5000);
    std::string response = "stale";
    EXPECT_EQ(HTTP_GET_FAILED, client.HttpGet(peer.Url("/secret", "https").c_str(), response));
    EXPECT_EQ("", response);
    const std::vector<std::string> received = peer.Received();
    ASSERT_FALSE(received.empty());
    ASSERT_FALSE(received[0].empty());
    EXPECT_EQ(0x16, received[0][0]);  // TLS handshake record
    EXPECT_EQ(std::string::npos, received[0].find("/secret"));
}

}  // namespace
