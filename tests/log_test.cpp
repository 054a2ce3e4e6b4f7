#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

#include "base/log.h"
#include "tests/support/test_support.h"

TEST(LogTest, BannerPrefixCrLfLinesTheLimitAndUnwritableLogs)
{
    vt::TempDir dir("log");
    const std::string path = dir / "log.log";
    vt::WriteFileBytes(path, "old content\r\n");
    LogInit(path.c_str());
    EXPECT_EQ(WriteLog("启动参数：%s", "360 hide"), "启动参数：360 hide");
    WriteLog("first\nsecond");
    const std::string limit(4094, 'e');
    EXPECT_EQ(WriteLog("%s", (limit + std::string(100000, 'h')).c_str()), limit.c_str());
    LogInit(path.c_str(), true);  // keeps the lines before
    WriteLog("next");

    // Every message behind a "<date time> " prefix, the banner and a message's later lines without.
    const std::regex prefix(R"(<\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}> )");
    const std::string banner = "=====================start=====================\r\n";
    EXPECT_EQ(std::regex_replace(vt::ReadFileBytes(path), prefix, "<> "),
              banner + "<> 启动参数：360 hide\r\n<> first\r\nsecond\r\n<> " + limit + "\r\n" + banner + "<> next\r\n");

    // The log is opened unshared, so that two threads never mix their lines: one that is open
    // elsewhere, even shared, drops the line.  One that cannot be made loses them all.
    HANDLE lock =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    WriteLog("dropped");
    CloseHandle(lock);
    WriteLog("kept");
    EXPECT_EQ(vt::LogMessages(path).back(), "kept");
    EXPECT_EQ(vt::LogMessages(path).size(), 5u);
    LogInit((dir / "missing-folder\\log.log").c_str());
    EXPECT_EQ(WriteLog("still %d", 1), "still 1");
    EXPECT_FALSE(vt::FileExists(dir / "missing-folder"));
}
