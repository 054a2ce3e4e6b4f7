#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <thread>

#include "app/log.h"
#include "tests/support/test_support.h"

namespace {
const char kBanner[] = "=====================start=====================";
const std::regex kPrefix(R"(<\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}> )");

bool HasTimePrefix(const std::string& line)
{
    return line.size() >= 22 && std::regex_match(line.substr(0, 22), kPrefix);
}
}  // namespace

TEST(LogTest, BannerPrefixAndCrLfLines)
{
    vt::TempDir dir("log");
    const std::string path = dir / "log.log";
    vt::WriteFileBytes(path, "old content\r\n");
    LogInit(path.c_str());
    EXPECT_EQ(WriteLog("启动参数：%s", "360 hide"), "启动参数：360 hide");
    WriteLog("first\nsecond");

    const std::string bytes = vt::ReadFileBytes(path);
    EXPECT_EQ(bytes.find("old content"), std::string::npos);
    auto lines = vt::ReadCrLfLines(path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], kBanner);
    EXPECT_TRUE(HasTimePrefix(lines[1])) << lines[1];
    EXPECT_EQ(lines[1].substr(22), "启动参数：360 hide");
    EXPECT_EQ(lines[1].substr(22, 2), "\xC6\xF4");  // code page 936 bytes of "启"
    EXPECT_TRUE(HasTimePrefix(lines[2]));
    EXPECT_EQ(lines[2].substr(22), "first");
    EXPECT_EQ(lines[3], "second");
}

TEST(LogTest, KeepingTheExistingFileAppendsTheBanner)
{
    vt::TempDir dir("log");
    const std::string path = dir / "log.log";
    vt::WriteFileBytes(path, "earlier run\r\n");
    LogInit(path.c_str(), true);
    WriteLog("next");
    auto lines = vt::ReadCrLfLines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier run");
    EXPECT_EQ(lines[1], kBanner);
    EXPECT_EQ(lines[2].substr(22), "next");
}

TEST(LogTest, LongMessagesAreCutAtTheLimit)
{
    vt::TempDir dir("log");
    const std::string path = dir / "log.log";
    LogInit(path.c_str());
    const std::string exact(4094, 'e');
    EXPECT_EQ(WriteLog("%s", exact.c_str()).GetLength(), 4094);
    const std::string huge(100000, 'h');
    CString cut = WriteLog("%s", huge.c_str());
    EXPECT_EQ(cut, CString(std::string(4094, 'h')));

    auto lines = vt::ReadCrLfLines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(22), exact);
    EXPECT_EQ(lines[2].substr(22), std::string(4094, 'h'));
}

TEST(LogTest, TwoThreadsNeverInterleaveLines)
{
    vt::TempDir dir("log");
    const std::string path = dir / "log.log";
    LogInit(path.c_str());
    const std::string a(300, 'a'), b(300, 'b');
    auto writer = [](const std::string* text) {
        for (int i = 0; i < 300; ++i)
            WriteLog("%s", text->c_str());
    };
    std::thread first(writer, &a), second(writer, &b);
    first.join();
    second.join();

    auto lines = vt::ReadCrLfLines(path);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], kBanner);
    for (size_t i = 1; i < lines.size(); ++i) {
        ASSERT_TRUE(HasTimePrefix(lines[i])) << i;
        const std::string message = lines[i].substr(22);
        EXPECT_TRUE(message == a || message == b) << "line " << i << " is mixed";
    }
}

TEST(LogTest, UnwritableLogLosesLinesButNotTheProcess)
{
    vt::TempDir dir("log");
    const std::string path = dir / "missing-folder\\log.log";
    LogInit(path.c_str());
    EXPECT_EQ(WriteLog("still %d", 1), "still 1");
    EXPECT_FALSE(vt::FileExists(path));

    // A log held open without sharing by another program drops the line.
    const std::string held = dir / "held.log";
    LogInit(held.c_str());
    HANDLE lock = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    WriteLog("dropped");
    CloseHandle(lock);
    WriteLog("kept");
    auto lines = vt::ReadCrLfLines(held);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(22), "kept");
}
