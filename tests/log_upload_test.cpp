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
    void WriteUnityLog() { ASSERT_TRUE(vt::WriteFileBytes(m_dir / "game\\game_Data\\output_log.txt", "unity\r\n")); }
    std::vector<Upload> Uploads()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_uploads;
    }

    vt::TempDir m_dir{"logupload"};
    const std::string m_logPath = m_dir / "log.log";
    vt::TestServer m_server;
    std::mutex m_mutex;
    std::vector<Upload> m_uploads;
    CVorlanClientApp m_app;
    CString m_previousExeDir;
};

TEST_F(LogUpload, UploadsOncePerRunWhenTheSwitchIsOn)
{
    m_app.UploadLogs();  // no shellcfg.ini
    for (const char* config : {"[shell]\r\nuploadFlag=0", "[other]\r\nuploadFlag=1", "[shell]\r\nuploadFlag=true"}) {
        WriteShellConfig(config);
        m_app.UploadLogs();
    }
    EXPECT_EQ(0, m_app.isLogUploaded);
    EXPECT_TRUE(vt::LogMessages(m_logPath).empty());

    // The switch is read again on each call.  No game log and no upload URL: the missing
    // log is noted, the launcher's log still tried, and the failure not repeated.
    WriteShellConfig("[shell]\r\nuploadFlag=1\r\n");
    CConfig::GetInstance()->ParseLine("upload=");
    m_app.UploadLogs();
    m_app.UploadLogs();
    EXPECT_EQ(1, m_app.isLogUploaded);
    const std::vector<std::string> failed = vt::LogMessages(m_logPath);
    ASSERT_EQ(2u, failed.size());
    EXPECT_EQ("unity日志不存在", failed[0]);
    // An empty user id leaves two underscores in a row.
    EXPECT_TRUE(std::regex_match(failed[1], std::regex("上传日志：yy_-?[0-9]+__shell\\.txt， 结果：-1, Response = ")));

    // Next run: both logs, the game's first, under names that carry one time and the user id.
    LogInit(m_logPath.c_str());
    m_app.isLogUploaded = 0;
    m_app.userId = "10086";
    WriteUnityLog();
    CConfig::GetInstance()->ParseLine(("upload=" + m_server.Url("/upload")).c_str());
    m_app.UploadLogs();
    const std::vector<Upload> uploads = Uploads();
    ASSERT_EQ(2u, uploads.size());
    std::smatch unity, shell;
    ASSERT_TRUE(std::regex_match(uploads[0].name, unity, std::regex("yy_(-?[0-9]+)_10086_unity\\.txt")));
    ASSERT_TRUE(std::regex_match(uploads[1].name, shell, std::regex("yy_(-?[0-9]+)_10086_shell\\.txt")));
    EXPECT_EQ(unity[1].str(), shell[1].str());
    EXPECT_EQ("unity\r\n", uploads[0].content);
    // The launcher's log that went out already holds the line of the first upload,
    // but not its own, which is written after it.
    const std::string unityLine = "上传日志：" + uploads[0].name + "， 结果：0, Response = ok";
    const std::string shellLine = "上传日志：" + uploads[1].name + "， 结果：0, Response = ok";
    EXPECT_NE(std::string::npos, uploads[1].content.find(unityLine));
    EXPECT_EQ(std::string::npos, uploads[1].content.find("上传日志：" + uploads[1].name));
    EXPECT_EQ((std::vector<std::string>{unityLine, shellLine}), vt::LogMessages(m_logPath));
}

}  // namespace
