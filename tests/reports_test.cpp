// What the platform's servers receive from a run: QoS reports and the once-per-run upload
// of the game's and the launcher's logs.  A scratch folder stands in for the executable's.
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <regex>

#include "app/config.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "base/log.h"
#include "net/http_client.h"
#include "tests/support/test_support.h"

namespace {
// What the server got is read once the reply came: the handlers need no lock.
class Reports : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.server().Get("/qos", [this](const httplib::Request& req, httplib::Response&) {
            queries.push_back(req.target.substr(req.target.find('?') + 1));
        });
        server.server().Post("/upload", [this](const httplib::Request& req, httplib::Response& res) {
            const auto file = req.files.find("logfile");
            if (file != req.files.end())
                uploads.emplace_back(file->second.filename, file->second.content);
            res.set_content("ok", "text/plain");
        });
        ASSERT_TRUE(server.Start());
        CConfig::GetInstance()->SetExeDir(dir.path().c_str());
        CConfig::GetInstance()->ParseLine("pkgName=game");
        LogInit(logPath.c_str());
        g_pHttpClient = &client;
        app.platform = "yy";
    }
    void TearDown() override { g_pHttpClient = nullptr; }

    vt::TempDir dir{"reports"};
    const std::string logPath = dir / "log.log";
    vt::TestServer server;
    std::vector<std::string> queries;
    std::vector<std::pair<std::string, std::string>> uploads;  // name and content
    CHttpClient client;
    CVorlanClientApp app;
};
}  // namespace

// Outside hide mode (the end-to-end runs show that it reports nothing).
TEST_F(Reports, TheQosServerGetsTheTextAndTheLogTheUrl)
{
    CConfig::GetInstance()->ParseLine(("qos=" + server.Url("/qos")).c_str());
    app.appVersion = "1.0.0.5";
    app.qosStartAt = GetLocalTimeSeconds() - 25;
    const int before = GetLocalTimeSeconds() - app.qosStartAt;
    // A tag with a blank, and a user id in code page 936 with percent signs, reach the server intact.
    app.userId = "玩家%s%d";
    app.ReportQOS(1, "Windows 7_PageReady");
    const int after = GetLocalTimeSeconds() - app.qosStartAt;

    const std::string text = "QX={G:1;S:" + std::to_string(app.qosStartAt) +
                             ";W:0;U:0;N:玩家%s%d;T:1;Windows 7_PageReadyAGENT:;OS:;J:;V:1.0.0.5;}";
    const std::vector<std::string> messages = vt::LogMessages(logPath);
    ASSERT_TRUE(queries.size() == 1 && messages.size() == 1);
    // The query as the server's application reads it, escapes decoded ("+" stays "+"), and the
    // URL as the launcher made it in the log; J is the time since start-up.
    const std::string data = httplib::detail::decode_url(queries[0], false);
    std::smatch j;
    ASSERT_TRUE(std::regex_search(data, j, std::regex("J:(\\d+);")));
    EXPECT_TRUE(std::stoi(j[1]) >= before && std::stoi(j[1]) <= after) << j[1];
    const auto withoutJ = [](const std::string& t) { return std::regex_replace(t, std::regex("J:\\d+;"), "J:;"); };
    EXPECT_EQ("data=" + text, withoutJ(data));
    EXPECT_EQ("ReportQOS, url = " + server.Url("/qos") + "?data=" + text, withoutJ(messages[0]));
}

TEST_F(Reports, LogsAreUploadedOncePerRunWhenTheSwitchIsOn)
{
    CreateDirectoryA((dir / "game").c_str(), nullptr);
    CreateDirectoryA((dir / "game\\game_Data").c_str(), nullptr);
    app.UploadLogs();  // no shellcfg.ini
    vt::WriteFileBytes(dir / "shellcfg.ini", "[shell]\r\nuploadFlag=true\r\n[other]\r\nuploadFlag=1\r\n");
    app.UploadLogs();
    EXPECT_TRUE(vt::LogMessages(logPath).empty());
    // The switch is read again on each call.  No game log and no upload URL: the missing
    // log is noted, the launcher's log still tried, and the failure not repeated.
    vt::WriteFileBytes(dir / "shellcfg.ini", "[shell]\r\nuploadFlag=1\r\n");
    app.UploadLogs();
    app.UploadLogs();
    const std::vector<std::string> failed = vt::LogMessages(logPath);
    ASSERT_EQ(2u, failed.size());
    EXPECT_EQ("unity日志不存在", failed[0]);
    // An empty user id leaves two underscores in a row.
    EXPECT_TRUE(std::regex_match(failed[1], std::regex("上传日志：yy_-?[0-9]+__shell\\.txt， 结果：-1, Response = ")));
    // Next run: both logs, the game's first, under names that carry one time and the user id.
    LogInit(logPath.c_str());
    app.isLogUploaded = 0;
    app.userId = "10086";
    vt::WriteFileBytes(dir / "game\\game_Data\\output_log.txt", "unity\r\n");
    CConfig::GetInstance()->ParseLine(("upload=" + server.Url("/upload")).c_str());
    app.UploadLogs();
    ASSERT_EQ(2u, uploads.size());
    std::smatch time;
    ASSERT_TRUE(std::regex_match(uploads[0].first, time, std::regex("yy_(-?[0-9]+)_10086_unity\\.txt")));
    EXPECT_EQ("yy_" + time[1].str() + "_10086_shell.txt", uploads[1].first);
    EXPECT_EQ("unity\r\n", uploads[0].second);
    // The launcher's log that went out already holds the line of the first upload.
    const std::string unityLine = "上传日志：" + uploads[0].first + "， 结果：0, Response = ok";
    EXPECT_NE(std::string::npos, uploads[1].second.find(unityLine));
    EXPECT_EQ((std::vector<std::string>{unityLine, "上传日志：" + uploads[1].first + "， 结果：0, Response = ok"}),
              vt::LogMessages(logPath));
    // A user id from the page that would break the part's header out of its quotes or onto
    // a line of its own arrives as one name.
    app.isLogUploaded = 0;
    app.userId = "1\"\r\nX-Injected: 1";
    app.UploadLogs();
    ASSERT_EQ(4u, uploads.size());
    EXPECT_TRUE(std::regex_match(uploads[3].first, std::regex("yy_-?[0-9]+_1___X-Injected: 1_shell\\.txt")))
        << uploads[3].first;
}
