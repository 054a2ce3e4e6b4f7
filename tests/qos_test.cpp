// QoS reports as the statistics server receives them, and as the log records them.
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "app/config.h"
#include "app/log.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "net/http_client.h"
#include "tests/support/test_support.h"
#include "tests/support/test_support.h"

namespace {

// A statistics server that keeps the raw request targets it was sent.
class QosServer {
public:
    QosServer()
    {
        m_server.server().Get("/qos", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_targets.push_back(req.target);
            res.set_content("ok", "text/plain");
        });
    }
    bool Start() { return m_server.Start(); }
    std::string Url() const { return m_server.Url("/qos"); }
    std::vector<std::string> Targets()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_targets;
    }

private:
    vt::TestServer m_server;
    std::mutex m_mutex;
    std::vector<std::string> m_targets;
};

// The query of a request target with its escapes decoded ("+" stays "+").
std::string DecodedQuery(const std::string& target)
{
    return httplib::detail::decode_url(target.substr(target.find('?') + 1), false);
}

class QosReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogInit((m_dir / "log.log").c_str());
        ASSERT_TRUE(m_server.Start());
        CConfig::GetInstance()->ParseLine(("qos=" + m_server.Url()).c_str());
        m_app.appVersion = "1.0.0.5";
        m_previousClient = g_pHttpClient;
        g_pHttpClient = &m_client;
    }
    void TearDown() override
    {
        g_pHttpClient = m_previousClient;
        CConfig::GetInstance()->ParseLine("qos=");
    }

    // Sends one report and gives the texts it may have carried: one per J value that
    // the clock allowed while it ran.
    std::vector<std::string> Report(int step, const char* tag, const std::string& fieldsBeforeTag)
    {
        const int before = GetLocalTimeSeconds();
        m_app.ReportQOS(step, tag);
        const int after = GetLocalTimeSeconds();
        std::vector<std::string> texts;
        for (int now = before; now <= after; ++now)
            texts.push_back("QX={G:1;S:" + std::to_string(m_app.qosStartAt) + ";W:0;U:0;" + fieldsBeforeTag + tag +
                            "AGENT:;OS:;J:" + std::to_string(now - m_app.qosStartAt) + ";V:1.0.0.5;}");
        return texts;
    }

    vt::TempDir m_dir{"qos"};
    QosServer m_server;
    CVorlanClientApp m_app;
    CHttpClient m_client;
    CHttpClient* m_previousClient = nullptr;
};

::testing::AssertionResult IsOneOf(const std::string& actual, const std::vector<std::string>& expected)
{
    for (const std::string& candidate : expected) {
        if (actual == candidate)
            return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << actual << " is not " << expected.front();
}

TEST_F(QosReport, ServerReceivesTheTextAndTheLogShowsTheUrl)
{
    m_app.qosStartAt = GetLocalTimeSeconds() - 25;

    // Before the launch the user id is empty: "N:" is followed by ";" at once.
    const std::vector<std::string> openGame = Report(2, "opengame", "N:;T:2;");
    // A tag with a blank, and a user id in code page 936 with percent signs, reach the
    // server intact.
    m_app.userId = "玩家%s%d";
    const std::vector<std::string> pageReady = Report(1, "Windows 7_PageReady", "N:玩家%s%d;T:1;");
    const std::vector<std::string> unzipError = Report(22, "unziperr", "N:玩家%s%d;T:22;");

    const std::vector<std::string> targets = m_server.Targets();
    ASSERT_EQ(3u, targets.size());
    std::vector<std::string> expectedQueries[] = {openGame, pageReady, unzipError};
    for (size_t i = 0; i < targets.size(); ++i) {
        EXPECT_EQ(std::string::npos, targets[i].find(' ')) << targets[i];
        for (std::string& text : expectedQueries[i])
            text = "data=" + text;
        EXPECT_TRUE(IsOneOf(DecodedQuery(targets[i]), expectedQueries[i]));
    }
    EXPECT_NE(std::string::npos, DecodedQuery(targets[2]).find("T:22;unziperrAGENT:;OS:;"));

    // The log holds the URL as the launcher made it, unescaped.
    const std::vector<std::string> messages = vt::LogMessages(m_dir / "log.log");
    ASSERT_EQ(3u, messages.size());
    std::vector<std::string> logged[] = {openGame, pageReady, unzipError};
    for (size_t i = 0; i < 3; ++i) {
        for (std::string& text : logged[i])
            text = "ReportQOS, url = " + m_server.Url() + "?data=" + text;
        EXPECT_TRUE(IsOneOf(messages[i], logged[i]));
    }
}

TEST_F(QosReport, HideModeSendsAndLogsNothing)
{
    m_app.hide = 1;
    for (int step : {1, 2, 3, 5, 6, 10, 11, 12, 20, 21, 22, 41, 42, 43})
        m_app.ReportQOS(step, "tag");
    m_app.hide = 0;
    m_app.ReportQOS(3, "startquerymin");

    // Reports are synchronous, so any hidden one would have arrived before this one.
    const std::vector<std::string> targets = m_server.Targets();
    ASSERT_EQ(1u, targets.size());
    EXPECT_NE(std::string::npos, DecodedQuery(targets[0]).find(";T:3;startqueryminAGENT:;"));
    const std::vector<std::string> messages = vt::LogMessages(m_dir / "log.log");
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(0u, messages[0].find("ReportQOS, url = ")) << messages[0];
}

TEST_F(QosReport, AReportThatCannotBeDeliveredIsOnlyLogged)
{
    CConfig::GetInstance()->ParseLine("qos=");
    m_app.ReportQOS(5, "queryminerr");
    CConfig::GetInstance()->ParseLine("qos=ftp://127.0.0.1/qos");
    m_app.ReportQOS(6, "downloadpferr");
    CConfig::GetInstance()->ParseLine(("qos=" + m_server.Url()).c_str());
    m_app.ReportQOS(10, "startdownload");

    ASSERT_EQ(1u, m_server.Targets().size());
    const std::vector<std::string> messages = vt::LogMessages(m_dir / "log.log");
    ASSERT_EQ(3u, messages.size());
    EXPECT_EQ(0u, messages[0].find("ReportQOS, url = ?data=QX={G:1;")) << messages[0];
    EXPECT_EQ(0u, messages[1].find("ReportQOS, url = ftp://127.0.0.1/qos?data=QX={G:1;")) << messages[1];
    EXPECT_EQ(0u, messages[2].find("ReportQOS, url = " + m_server.Url() + "?data=QX={G:1;")) << messages[2];
}

}  // namespace
