// QoS reports as the statistics server receives them, and as the log records them.
#include "tests/support/raw_listener.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <regex>

#include "app/config.h"
#include "app/log.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "net/http_client.h"
#include "tests/support/test_support.h"

namespace {

// The text with the value of its J field taken out into j, as that depends on the clock.
std::string WithoutJ(const std::string& text, int& j)
{
    std::smatch match;
    if (!std::regex_search(text, match, std::regex("J:(-?[0-9]+);")))
        return text;
    j = std::stoi(match[1].str());
    return match.prefix().str() + "J:;" + match.suffix().str();
}

class QosReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogInit((m_dir / "log.log").c_str());
        ASSERT_TRUE(m_server.Start(vt::RawListener::Mode::Reply));
        CConfig::GetInstance()->ParseLine(("qos=" + m_server.Url("/qos")).c_str());
        m_app.appVersion = "1.0.0.5";
        g_pHttpClient = &m_client;
    }
    void TearDown() override
    {
        g_pHttpClient = nullptr;
        CConfig::GetInstance()->ParseLine("qos=");
    }

    vt::TempDir m_dir{"qos"};
    vt::RawListener m_server;
    CVorlanClientApp m_app;
    CHttpClient m_client;
};

TEST_F(QosReport, TheServerGetsTheTextAndTheLogTheUrlOfEachReportOutsideHideMode)
{
    m_app.hide = 1;
    for (int step : {1, 2, 3, 5, 6, 10, 11, 12, 20, 21, 22, 41, 42, 43})
        m_app.ReportQOS(step, "tag");
    m_app.hide = 0;
    m_app.qosStartAt = GetLocalTimeSeconds() - 25;
    const int before = GetLocalTimeSeconds() - m_app.qosStartAt;
    m_app.ReportQOS(2, "opengame");  // before the launch the user id is empty
    // A tag with a blank, and a user id in code page 936 with percent signs, reach the server intact.
    m_app.userId = "玩家%s%d";
    m_app.ReportQOS(1, "Windows 7_PageReady");
    m_app.ReportQOS(22, "unziperr");
    const int after = GetLocalTimeSeconds() - m_app.qosStartAt;
    // Reports that cannot be delivered are only logged.
    CConfig::GetInstance()->ParseLine("qos=");
    m_app.ReportQOS(5, "queryminerr");
    CConfig::GetInstance()->ParseLine("qos=ftp://127.0.0.1/qos");
    m_app.ReportQOS(6, "downloadpferr");

    const std::string start = "QX={G:1;S:" + std::to_string(m_app.qosStartAt) + ";W:0;U:0;";
    const std::string texts[] = {
        start + "N:;T:2;opengameAGENT:;OS:;J:;V:1.0.0.5;}",
        start + "N:玩家%s%d;T:1;Windows 7_PageReadyAGENT:;OS:;J:;V:1.0.0.5;}",
        start + "N:玩家%s%d;T:22;unziperrAGENT:;OS:;J:;V:1.0.0.5;}",
    };
    // Reports are synchronous: one that hide mode had let through would be among these.
    const std::vector<std::string> requests = m_server.Received();
    const std::vector<std::string> messages = vt::LogMessages(m_dir / "log.log");
    ASSERT_EQ(3u, requests.size());
    ASSERT_EQ(5u, messages.size());
    for (size_t i = 0; i < 3; ++i) {
        // The query as the server's application reads it, escapes decoded ("+" stays "+").
        const std::string target = requests[i].substr(4, requests[i].find(' ', 4) - 4);
        int j = -1;
        EXPECT_EQ("data=" + texts[i],
                  WithoutJ(httplib::detail::decode_url(target.substr(target.find('?') + 1), false), j));
        EXPECT_TRUE(j >= before && j <= after) << j;
        // The log holds the URL as the launcher made it, unescaped.
        EXPECT_EQ("ReportQOS, url = " + m_server.Url("/qos") + "?data=" + texts[i], WithoutJ(messages[i], j));
    }
    EXPECT_EQ(0u, messages[3].find("ReportQOS, url = ?data=QX={G:1;S:")) << messages[3];
    EXPECT_EQ(0u, messages[4].find("ReportQOS, url = ftp://127.0.0.1/qos?data=QX={G:1;S:")) << messages[4];
}

}  // namespace
