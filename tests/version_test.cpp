#include <gtest/gtest.h>

#include <ctime>

#include "app/version.h"
#include "app/vorlan_app.h"

// Four parts of 2, 2, 3 and 2 digits; a part past its width carries into the one
// before, and the sum wraps as an unsigned 32-bit number.
TEST(VersionTest, VersionToNumberTable)
{
    const std::pair<const char*, int> cases[] = {
        {"1.0.0.11", 10000011}, {"2.3", 20300000},    {"error", 0},           {"1.2.3.4.5", 10200304},
        {"1.234", 33400000},    {"215", -2144967296}, {" 1.x.2.3", 10000203}, {"-1.0.0.0", -10000000},
    };
    for (const auto& [text, number] : cases)
        EXPECT_EQ(VersionToNumber(text), number) << text;
}

// The test binary carries two translations whose FileVersion texts are "9.8" and ".7.6".
TEST(VersionTest, FileVersionJoinsEveryTranslationAndTimeIsUnixTime)
{
    EXPECT_EQ(GetAppVersionText(), "9.8.7.6");
    const int before = static_cast<int>(time(nullptr)), seconds = GetLocalTimeSeconds();
    EXPECT_TRUE(seconds >= before && seconds <= static_cast<int>(time(nullptr))) << seconds;
}

TEST(VersionTest, OperatingSystemNames)
{
    EXPECT_EQ(OSNameFromVersion(6, 3), "Windows 8.1");
    EXPECT_EQ(OSNameFromVersion(6, 4), "OS_UNKNOWN");  // GetOSName: StartupTest, as Windows 10
}
