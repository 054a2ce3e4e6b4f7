#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/vorlan_app.h"
#include "base/log.h"
#include "tests/support/test_support.h"

using Parts = std::vector<std::string>;

TEST(SplitStringTest, TableOfCases)
{
    const struct {
        std::string text, separator;
        int count;
        Parts parts;
    } cases[] = {
        // clang-format off
        {"360  hide cmd7", " ", 0, {"360", "hide", "cmd7"}}, {"=x==b&", "=", 0, {"x", "b&"}}, {"===", "=", 0, {}},
        {"a=b=c", "=", 1, {"a", "b=c"}}, {"a=", "=", 1, {"a", ""}}, {"", "=", 0, {}},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitString(c.text, c.separator, c.count), c.parts) << c.text << " count " << c.count;
}

// The first word is the platform; "hide" and "cmd<n>" count only after it, and
// "simplemode=<platform>" anywhere puts the other words aside instead.
TEST(CommandLineTest, PlatformHideCommandKeyAndSimpleMode)
{
    const struct {
        const char* tail;
        const char* platform;
        int hide, cmdKey, simpleMode;
        const char* simpleArgs;
    } cases[] = {
        {"hide 360 HIDE hidden", "hide", 0, 0, 0, " hide 360 HIDE hidden"},
        {"cmd5 hide", "cmd5", 1, 0, 0, " cmd5 hide"},
        {"360 cmd-3", "360", 0, -3, 0, " 360 cmd-3"},
        {"360 cmdx cmd12x", "360", 0, 12, 0, " 360 cmdx cmd12x"},
        {"360 cmd 7 cmd+8", "360", 0, 8, 0, " 360 cmd 7 cmd+8"},
        {"=== 360 == hide", "===", 1, 0, 0, " === 360 == hide"},
        {"   ", "", 0, 0, 0, ""},
        {"a simplemode=one b simplemode=two cmd5", "two", 0, 0, 1, " a b cmd5"},
        {"simplemode=", "", 0, 0, 1, ""},
        {"simplemode=yy 2144 hide", "yy", 0, 0, 1, " 2144 hide"},
    };
    vt::TempDir dir("cmdline");
    for (const auto& c : cases) {
        LogInit((dir / "log.log").c_str());
        CVorlanClientApp app;
        app.ParseCommandLine(c.tail);
        EXPECT_TRUE(app.platform == c.platform && app.hide == c.hide && app.cmdKey == c.cmdKey &&
                    app.simpleMode == c.simpleMode && app.simpleArgs == c.simpleArgs)
            << c.tail;
    }
    // Every word is logged; simple mode says what it keeps (the last case's log).
    EXPECT_EQ(vt::LogMessages(dir / "log.log"),
              (Parts{"参数1: simplemode=yy", "参数2: 2144", "参数3: hide", "简易模式： 2144 hide, yy"}));
}

// Every word also lands in the option map: the last occurrence of a key counts, a value ends
// at its second "=", and a word made only of "=" adds nothing and stops nothing.
TEST(CommandLineTest, OptionMap)
{
    vt::TempDir dir("options");
    LogInit((dir / "log.log").c_str());
    CVorlanClientApp app;
    app.ParseCommandLine("360 a=1 k=v=more === a=2 =name --winid");
    EXPECT_EQ(app.options,
              (std::map<std::string, std::string>{{"360", ""}, {"a", "2"}, {"k", "v"}, {"name", ""}, {"--winid", ""}}));
    EXPECT_TRUE(app.HasOption("--winid") && app.GetOption("a") == "2");
}
