#include <gtest/gtest.h>

#include <windows.h>

#include <ctime>

#include "app/version.h"
#include "app/vorlan_app.h"

TEST(VersionTest, VersionToNumberTable)
{
    const std::pair<const char*, int> cases[] = {
        {"1.0.0.1", 10000001},
        {"1.0.0.11", 10000011},
        {"2.3", 20300000},
        {"", 0},
        {"error", 0},
        {"1.2.3.4.5", VersionToNumber("1.2.3.4")},
        {"1.234", 33400000},
        {"2", 20000000},
        {"214.74.836.47", 2147483647},
        {"215", -2144967296},
        {" 1.x.2.3", 10000203},
        {"1..5", 10000500},
        {"-1.0.0.0", -10000000},
        {"1.0.0.1a", 10000001},
    };
    for (const auto& [text, number] : cases)
        EXPECT_EQ(VersionToNumber(text), number) << text;
    EXPECT_GT(VersionToNumber("1.234"), VersionToNumber("2"));
}

// The test binary carries two translations whose FileVersion texts are "9.8" and ".7.6".
TEST(VersionTest, FileVersionJoinsEveryTranslation)
{
    EXPECT_EQ(GetExeFileVersion(), "9.8.7.6");
    EXPECT_EQ(GetAppVersionText(), "9.8.7.6");
}

TEST(VersionTest, LocalTimeSecondsIsUnixTime)
{
    const time_t before = time(nullptr);
    const int seconds = GetLocalTimeSeconds();
    const time_t after = time(nullptr);
    EXPECT_GE(seconds, static_cast<int>(before));
    EXPECT_LE(seconds, static_cast<int>(after));
}

TEST(VersionTest, OperatingSystemNames)
{
    EXPECT_EQ(OSNameFromVersion(5, 0), "Windows 2000");
    EXPECT_EQ(OSNameFromVersion(5, 1), "Windows XP");
    EXPECT_EQ(OSNameFromVersion(5, 2), "Windows 2003");
    EXPECT_EQ(OSNameFromVersion(6, 0), "Windows Vista");
    EXPECT_EQ(OSNameFromVersion(6, 1), "Windows 7");
    EXPECT_EQ(OSNameFromVersion(6, 2), "Windows 8");
    EXPECT_EQ(OSNameFromVersion(6, 3), "Windows 8.1");
    EXPECT_EQ(OSNameFromVersion(10, 0), "Windows 10");
    EXPECT_EQ(OSNameFromVersion(10, 1), "OS_UNKNOWN");
    EXPECT_EQ(OSNameFromVersion(6, 4), "OS_UNKNOWN");
    EXPECT_EQ(OSNameFromVersion(5, 3), "OS_UNKNOWN");

    // The name comes from the same numbers the kernel reports for the process.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(rtlGetVersion, nullptr);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(rtlGetVersion(&info), 0);
    EXPECT_EQ(GetOSName(), OSNameFromVersion(info.dwMajorVersion, info.dwMinorVersion));
}
