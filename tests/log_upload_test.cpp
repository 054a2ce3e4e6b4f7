// The once-per-run upload of the game's output log and the launcher's log, run in a
// scratch folder that stands in for the executable's folder.
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <mutex>
#include <regex>
#include <vector>

#include "app/config.h"
#include "app/log.h"
#include "app/vorlan_app.h"
#include "tests/support/test_support.h"
#include "tests/support/test_support.h"

namespace {

struct Upload {
    std::string name;
    std::string content;
};

class LogUpload : public ::testing::Test {
protected:
    void SetUp() override
    {
        CConfig* config = CConfig::GetInstance();
        m_previousExeDir = config->GetExeDir();
        config->SetExeDir(m_dir.path().c_str());
        config->ParseLine("pkgName=game");
        LogInit(m_logPath.c_str());

        m_server.server().Post("/upload", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto file = req.files.find("logfile");
            if (file != req.files.end())
                m_uploads.push_back({file->second.filename, file->second.content});
            res.set_content("ok", "text/plain");
        });
        ASSERT_TRUE(m_server.Start());
        config->ParseLine(("upload=" + m_server.Url("/upload")).c_str());

        m_app.platform = "yy";
        CreateDirectoryA((m_dir / "game").c_str(), nullptr);
        CreateDirectoryA((m_dir / "game\\game_Data").c_str(), nullptr);
    }
    void TearDown() override
    {
        CConfig::GetInstance()->SetExeDir(m_previousExeDir);
        CConfig::GetInstance()->ParseLine("upload=");
    }

    void WriteShellConfig(const std::string& text) { ASSERT_TRUE(vt::WriteFileBytes(m_dir / "shellcfg.ini", text)); }
    void WriteUnityLog() { ASSERT_TRUE(vt::WriteFileBytes(m_unityLogPath, "unity says hello\r\n")); }
    std::vector<Upload> Uploads()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_uploads;
    }

    vt::TempDir m_dir{"logupload"};
    const std::string m_logPath = m_dir / "log.log";
    const std::string m_unityLogPath = m_dir / "game\\game_Data\\output_log.txt";
    vt::TestServer m_server;
    std::mutex m_mutex;
    std::vector<Upload> m_uploads;
    CVorlanClientApp m_app;
    CString m_previousExeDir;
};

TEST_F(LogUpload, BothLogsOnceWhenTheSwitchIsOn)
{
    WriteUnityLog();
    WriteShellConfig("[shell]\r\nuploadFlag=1\r\n");
    m_app.UploadLogs();
    m_app.UploadLogs();
    EXPECT_EQ(1, m_app.isLogUploaded);

    const std::vector<Upload> uploads = Uploads();
    ASSERT_EQ(2u, uploads.size());
    // An empty user id leaves two underscores in a row; both names carry one time.
    std::smatch unity, shell;
    ASSERT_TRUE(std::regex_match(uploads[0].name, unity, std::regex("yy_(-?[0-9]+)__unity\\.txt"))) << uploads[0].name;
    ASSERT_TRUE(std::regex_match(uploads[1].name, shell, std::regex("yy_(-?[0-9]+)__shell\\.txt"))) << uploads[1].name;
    EXPECT_EQ(unity[1].str(), shell[1].str());
    EXPECT_EQ("unity says hello\r\n", uploads[0].content);

    // The launcher's log that went out already holds the line of the first upload,
    // but not its own, which is written after it.
    const std::string unityLine = "上传日志：" + uploads[0].name + "， 结果：0, Response = ok";
    const std::string shellLine = "上传日志：" + uploads[1].name + "， 结果：0, Response = ok";
    EXPECT_NE(std::string::npos, uploads[1].content.find(unityLine));
    EXPECT_EQ(std::string::npos, uploads[1].content.find("上传日志：" + uploads[1].name));
    EXPECT_EQ((std::vector<std::string>{unityLine, shellLine}), vt::LogMessages(m_logPath));
}

TEST_F(LogUpload, NothingWhileTheSwitchIsOffThenTheFirstCallThatFindsItOn)
{
    WriteUnityLog();
    m_app.UploadLogs();  // no shellcfg.ini
    WriteShellConfig("[shell]\r\nuploadFlag=0\r\n");
    m_app.UploadLogs();
    WriteShellConfig("[other]\r\nuploadFlag=1\r\n");
    m_app.UploadLogs();
    WriteShellConfig("[shell]\r\nuploadFlag=true\r\n");
    m_app.UploadLogs();
    EXPECT_EQ(0, m_app.isLogUploaded);
    EXPECT_TRUE(vt::LogMessages(m_logPath).empty());

    // The switch is read again on each call.
    WriteShellConfig("[shell]\r\nuploadFlag=1\r\n");
    m_app.UploadLogs();
    EXPECT_EQ(1, m_app.isLogUploaded);
    EXPECT_EQ(2u, Uploads().size());
}

TEST_F(LogUpload, AMissingGameLogIsLoggedAndAFailedUploadIsNotRepeated)
{
    WriteShellConfig("[shell]\r\nuploadFlag=1\r\n");
    m_app.userId = "10086";
    m_app.UploadLogs();
    const std::vector<Upload> uploads = Uploads();
    ASSERT_EQ(1u, uploads.size());
    EXPECT_TRUE(std::regex_match(uploads[0].name, std::regex("yy_-?[0-9]+_10086_shell\\.txt"))) << uploads[0].name;
    const std::vector<std::string> messages = vt::LogMessages(m_logPath);
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ("unity日志不存在", messages[0]);
    EXPECT_EQ("上传日志：" + uploads[0].name + "， 结果：0, Response = ok", messages[1]);

    // Without an upload URL each log gets its line with -1; a later call does nothing.
    LogInit(m_logPath.c_str());
    m_app.isLogUploaded = 0;
    WriteUnityLog();
    CConfig::GetInstance()->ParseLine("upload=");
    m_app.UploadLogs();
    m_app.UploadLogs();
    const std::vector<std::string> failed = vt::LogMessages(m_logPath);
    ASSERT_EQ(2u, failed.size());
    EXPECT_TRUE(
        std::regex_match(failed[0], std::regex("上传日志：yy_-?[0-9]+_10086_unity\\.txt， 结果：-1, Response = ")))
        << failed[0];
    EXPECT_TRUE(
        std::regex_match(failed[1], std::regex("上传日志：yy_-?[0-9]+_10086_shell\\.txt， 结果：-1, Response = ")))
        << failed[1];
    EXPECT_EQ(1u, Uploads().size());
}

}  // namespace
