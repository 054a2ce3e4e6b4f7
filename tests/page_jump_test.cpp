// The page-jump rule's redirect probe and chain, against real redirect chains served
// on 127.0.0.1.
#include "tests/support/raw_listener.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "app/log.h"
#include "tests/support/test_support.h"
#include "ui/page_jump.h"

namespace {

class PageJump : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogInit(m_logPath.c_str());
        // /go/N: N more hops, then the page that holds the jump text; /long/N: a Location of N bytes.
        for (int n = 1; n <= 10; ++n)
            m_locations["/go/" + std::to_string(n)] = "/go/" + std::to_string(n - 1);
        for (size_t n : {1023, 1024, 1100})
            m_locations["/long/" + std::to_string(n)] = "http://h/?" + std::string(n - 10, 'x');
        m_server.server().set_keep_alive_max_count(1);  // no pooled connection holds the server's stop
        m_server.server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            m_loopHits += req.path.compare(0, 6, "/loop/") == 0;
            if (req.path == "/slow")
                Sleep(50);
            const auto location = m_locations.find(req.path);
            if (location == m_locations.end())
                return res.set_content("page", "text/html");
            res.status = 302;
            res.set_header("Location", location->second);
        });
        ASSERT_TRUE(m_server.Start());
        m_locations["/go/0"] = Url("/enter?jumpme");
        ASSERT_TRUE(m_silent.Start(vt::RawListener::Mode::Stall, ""));
    }
    std::string Url(const std::string& path) { return m_server.Url(path); }

    vt::TempDir m_dir{"pagejump"};
    const std::string m_logPath = m_dir / "log.log";
    std::map<std::string, std::string> m_locations = {
        {"/enter", "/game?a=1&b=2"},
        {"/rel/a/b", "../c?jumpme"},
        {"/rel/c", "http://g.example/?p=1"},
        {"/loop/a", "b"},
        {"/loop/b", "a"},
        {"/slow", "/slow"},
        {"/tolong", "http://h/?jumpme" + std::string(1100, 'x')},
    };
    vt::TestServer m_server;
    vt::RawListener m_silent;  // accepts, reads the request, never answers
    std::atomic<int> m_loopHits{0};
    CRedirectProbe m_probe{500};
};

TEST_F(PageJump, ProbeReadsOneLocationAndClosesWhatItOpens)
{
    const struct {
        std::string url;
        std::string location;
    } cases[] = {
        {Url("/enter"), "/game?a=1&b=2"},  // relative, as the server wrote it
        {Url("/go/0"), Url("/enter?jumpme")},
        {Url("/long/1023"), m_locations["/long/1023"]},
        {Url("/long/1024"), ""},  // does not fit the 1024-byte buffer
        {Url("/plain"), ""},
        {"http://127.0.0.1:" + std::to_string(vt::UnusedPort()) + "/x", ""},
        {m_silent.Url("/x"), ""},  // the hop's time-out ends the wait
        {"not a url", ""},
    };
    // Handles are numbered from the lowest free one: a hop that left any open would
    // move the number that the next root handle gets.
    HINTERNET before = InternetOpenA("t", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    InternetCloseHandle(before);
    for (const auto& c : cases) {
        EXPECT_EQ(c.location, m_probe.GetLocation(c.url.c_str()).str()) << c.url;
        HINTERNET after = InternetOpenA("t", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        InternetCloseHandle(after);
        EXPECT_EQ(before, after) << c.url;
    }
}

TEST_F(PageJump, RedirectChainEndsAtTheGameOrGivesUp)
{
    const RedirectChainLimits limits;
    const struct {
        std::string url;
        std::string target;
        const char* lastLine;
    } cases[] = {
        // Three hops to the page with the jump text, whose relative Location is the game.
        {Url("/go/3"), Url("/game?a=1&b=2"), "获取游戏跳转链接："},
        {Url("/enter?jumpme"), Url("/game?a=1&b=2"), "获取游戏跳转链接："},  // no hop needed
        {Url("/rel/a/b"), "http://g.example/?p=1", "获取游戏跳转链接："},    // "../c?jumpme"
        // /go/N asks N + 2 times in all: the limit counts the last hop too.
        {Url("/go/" + std::to_string(limits.maxHops - 2)), Url("/game?a=1&b=2"), "获取游戏跳转链接："},
        {Url("/go/" + std::to_string(limits.maxHops - 1)), "", "跳转次数或时间超出限制，停止分析："},
        {Url("/plain"), "", "跳转链接为空，停止分析"},
        {Url("/long/1100"), "", "跳转链接为空，停止分析"},
        {m_silent.Url("/x"), "", "跳转链接为空，停止分析"},
        {Url("/tolong?jumpme"), "", "获取游戏跳转链接："},  // the game's own Location is too long
        {Url("/plain?jumpme"), "", "获取游戏跳转链接："},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.target, FollowRedirectChain(m_probe, c.url.c_str(), "jumpme").str()) << c.url;
        const auto lines = vt::LogMessages(m_logPath);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(0u, lines.back().find(c.lastLine)) << c.url << ": " << lines.back();
    }
    // A loop stops at the hop limit, having asked exactly that many times.
    EXPECT_EQ("", FollowRedirectChain(m_probe, Url("/loop/a").c_str(), "jumpme").str());
    EXPECT_EQ(limits.maxHops, m_loopHits.load());
    // The time limit ends a chain that would go on: checked before each later hop.
    RedirectChainLimits quick;
    quick.maxMs = 1;
    EXPECT_EQ("", FollowRedirectChain(m_probe, Url("/slow").c_str(), "jumpme", quick).str());
    EXPECT_TRUE(vt::Contains(vt::LogMessages(m_logPath), "跳转次数或时间超出限制，停止分析：" + Url("/slow")));
}

}  // namespace
