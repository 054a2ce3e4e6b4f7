#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <thread>

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

// Lines that two threads write at once never run into each other: each line is one whole
// message behind its prefix (a line that finds the log open may be dropped).
TEST(LogTest, TwoThreadsNeverInterleaveLines)
{
    vt::TempDir dir("log");
    LogInit((dir / "log.log").c_str());
    const std::string a(300, 'a'), b(200, 'b');
    auto writer = [](const std::string* text) {
        for (int i = 0; i < 300; ++i)
            WriteLog("%s", text->c_str());
    };
    std::thread first(writer, &a), second(writer, &b);
    first.join(), second.join();
    const std::vector<std::string> lines = vt::ReadCrLfLines(dir / "log.log");
    ASSERT_GT(lines.size(), 1u);
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].size() > 22 && lines[i][0] == '<' &&
                    (lines[i].substr(22) == a || lines[i].substr(22) == b))
            << "line " << i;
}
