#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <regex>

#include "base/log.h"
#include "tests/support/test_support.h"

namespace {
// The message of a line with the "<date time> " prefix; a line without one behind a "|".
std::string Message(const std::string& line)
{
    static const std::regex prefix(R"(<\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}> )");
    return line.size() >= 22 && std::regex_match(line.substr(0, 22), prefix) ? line.substr(22) : "|" + line;
}
}  // namespace

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

    std::vector<std::string> lines = vt::ReadCrLfLines(path);
    std::transform(lines.begin(), lines.end(), lines.begin(), Message);
    const std::string banner = "|=====================start=====================";
    EXPECT_EQ(lines,
              (std::vector<std::string>{banner, "启动参数：360 hide", "first", "|second", limit, banner, "next"}));

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
