// The real launcher started in a scratch folder, as a lobby or a shortcut would start it.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/version.h"
#include "tests/support/test_support.h"

namespace {
const char kBanner[] = "=====================start=====================";
const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\乗.exe";  // Wine's settings for the launcher below

// "乗" is 0x81 0x5C in code page 936: its second byte looks like a backslash, so a
// byte-wise search would cut the executable's own name at it.
class StartupTest : public ::testing::Test {
protected:
    vt::TempDir dir{"launcher"};
    vt::LauncherFolder folder{dir / "乗", "pkgName=qxgame\r\n", "乗.exe"};
};

TEST_F(StartupTest, PlatformFromTheCommandLineOrTheEnvFileElseTheRunIsRefused)
{
    // Wine runs the launcher as Windows 10, which GetVersionEx would call Windows 8 (6.2).
    RegSetKeyValueA(HKEY_CURRENT_USER, kAppDefaults, "Version", REG_SZ, "win10", 6);
    EXPECT_EQ(folder.Run(""), 0);
    RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults);
    EXPECT_EQ(folder.boxes, std::vector<std::string>{"启动参数错误|请从游戏大厅或桌面快捷方式进入！"});
    EXPECT_EQ(vt::ReadCrLfLines(folder / "log.log").at(0), kBanner);
    EXPECT_EQ(folder.Messages(), (std::vector<std::string>{"操作系统为：Windows 10", "微端版本号：1.0.0.1",
                                                           "启动参数：", "没有指定平台，读取.env："}));
    EXPECT_NE(folder.Read("log.log").find("\xC3\xBB\xD3\xD0"), std::string::npos);  // "没有": code page 936 text

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

TEST_F(StartupTest, LogRotation)
{
    ASSERT_EQ(folder.Run("360 first"), 0);
    EXPECT_FALSE(vt::FileExists(folder / "oldLog.log"));
    ASSERT_EQ(folder.Run("360 second"), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages("oldLog.log"), "启动参数：360 first"));
    EXPECT_TRUE(vt::Contains(folder.Messages(), "启动参数：360 second"));
    // An old log without a current one is removed, not kept.
    DeleteFileA((folder / "log.log").c_str());
    ASSERT_EQ(folder.Run("360 third"), 0);
    EXPECT_FALSE(vt::FileExists(folder / "oldLog.log"));

    // When the old log cannot be replaced, the run appends to the previous one and says so.
    folder.Write("oldLog.log", "older\r\n");
    folder.Write("log.log", "previous run\r\n");
    ASSERT_TRUE(SetFileAttributesA((folder / "oldLog.log").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(folder.Run("360"), 0);
    EXPECT_EQ(folder.Read("log.log").find("previous run\r\n" + std::string(kBanner) + "\r\n<"), 0u);
    EXPECT_EQ(folder.Messages().at(0).find("日志轮换失败，继续写入原日志："), 0u);
    EXPECT_EQ(folder.Read("oldLog.log"), "older\r\n");
}

}  // namespace

// This test binary has no version resource of its own.
TEST(NoVersionResourceTest, EmptyVersionOrError)
{
    EXPECT_EQ(GetExeFileVersion(), "");
    EXPECT_EQ(GetAppVersionText(), "error");
}
