// The real launcher started in a scratch folder, as a lobby or a shortcut would start it.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/version.h"
#include "tests/support/test_support.h"

namespace {
const char kBanner[] = "=====================start=====================";
constexpr DWORD kTimeoutMs = 30000;

// "乗" is 0x81 0x5C in code page 936: its second byte looks like a backslash, so a
// byte-wise search would cut the executable's own name at it.
class LauncherFolder {
public:
    LauncherFolder() : m_path(m_dir / "乗"), m_exe(m_path + "\\乗.exe")
    {
        CreateDirectoryA(m_path.c_str(), nullptr);
        vt::CopyFileTo(vt::LauncherExe(), m_exe);
        Write("qxconfig.ini", "pkgName=qxgame\r\n");
    }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }
    void Write(const std::string& name, const std::string& bytes) const { vt::WriteFileBytes(File(name), bytes); }
    std::vector<std::string> Messages(const std::string& name = "log.log") const { return vt::LogMessages(File(name)); }

    // Runs the launcher until it ends or shows its window, which then quits; gives the
    // exit code.  With box, waits for one message box, keeps it and answers it with OK.
    long Run(const std::string& tail, vt::MessageBoxSeen* box = nullptr) const
    {
        vt::Process launcher;
        if (!launcher.Start(m_exe, tail, m_path) || (box && !vt::WaitForMessageBox(launcher.pid(), *box, kTimeoutMs)))
            return -2;
        if (box)
            vt::PressOk(*box);
        for (DWORD start = GetTickCount();
             GetTickCount() - start < kTimeoutMs && launcher.Wait(50) == -1 && !vt::FindMainWindow(launcher.pid());) {
        }
        launcher.PostQuit();
        return launcher.Wait(kTimeoutMs);
    }

private:
    vt::TempDir m_dir{"launcher"};  // first: the paths below are made from it
    std::string m_path, m_exe;
};

}  // namespace

TEST(StartupTest, PlatformFromTheCommandLineOrTheEnvFileElseTheRunIsRefused)
{
    LauncherFolder folder;
    vt::MessageBoxSeen box;
    EXPECT_EQ(folder.Run("", &box), 0);
    EXPECT_EQ(box.title, "启动参数错误");
    EXPECT_EQ(box.text, "请从游戏大厅或桌面快捷方式进入！");
    EXPECT_EQ(vt::ReadCrLfLines(folder.File("log.log")).at(0), kBanner);
    std::vector<std::string> messages = folder.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].substr(0, 12), "操作系统为：");
    EXPECT_EQ(messages[3].substr(0, 4), "\xC3\xBB\xD3\xD0");  // the log is code page 936 text
    messages.erase(messages.begin());
    EXPECT_EQ(messages, (std::vector<std::string>{"微端版本号：1.0.0.1", "启动参数：", "没有指定平台，读取.env："}));

    folder.Write(".env", "360\r\nignored\r\n");
    EXPECT_EQ(folder.Run(""), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages(), "没有指定平台，读取.env：360"));
    // The whole first line is the platform: "hide" in it is no hide word.
    folder.Write(".env", "2144 hide");
    EXPECT_EQ(folder.Run("simplemode="), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages(), "没有指定平台，读取.env：2144 hide"));
    EXPECT_EQ(folder.Run("yy cmd3"), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages(), "参数2: cmd3"));
    EXPECT_FALSE(vt::Contains(folder.Messages(), "没有指定平台，读取.env：2144 hide"));
}

TEST(StartupTest, LogRotation)
{
    LauncherFolder folder;
    ASSERT_EQ(folder.Run("360 first"), 0);
    EXPECT_FALSE(vt::FileExists(folder.File("oldLog.log")));
    ASSERT_EQ(folder.Run("360 second"), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages("oldLog.log"), "启动参数：360 first"));
    EXPECT_TRUE(vt::Contains(folder.Messages(), "启动参数：360 second"));
    // An old log without a current one is removed, not kept.
    DeleteFileA(folder.File("log.log").c_str());
    ASSERT_EQ(folder.Run("360 third"), 0);
    EXPECT_FALSE(vt::FileExists(folder.File("oldLog.log")));

    // When the old log cannot be replaced, the run appends to the previous one and says so.
    folder.Write("oldLog.log", "older\r\n");
    folder.Write("log.log", "previous run\r\n");
    ASSERT_TRUE(SetFileAttributesA(folder.File("oldLog.log").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(folder.Run("360"), 0);
    const std::vector<std::string> lines = vt::ReadCrLfLines(folder.File("log.log"));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "previous run");
    EXPECT_EQ(lines[1], kBanner);
    EXPECT_EQ(lines[2].substr(22, 30), "日志轮换失败，继续写入原日志：");
    EXPECT_EQ(vt::ReadFileBytes(folder.File("oldLog.log")), "older\r\n");
}

// This test binary has no version resource of its own.
TEST(NoVersionResourceTest, EmptyVersionOrError)
{
    EXPECT_EQ(GetExeFileVersion(), "");
    EXPECT_EQ(GetAppVersionText(), "error");
}
