#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/log.h"
#include "app/vorlan_app.h"
#include "tests/support/test_support.h"

using Parts = std::vector<std::string>;

TEST(SplitStringTest, TableOfCases)
{
    struct Case {
        std::string text, separator;
        int count;
        Parts parts;
    };
    const Case cases[] = {
        {"360  hide cmd7", " ", 0, {"360", "hide", "cmd7"}},
        {"a=b=c", "=", 0, {"a", "b", "c"}},
        {"a==b", "=", 0, {"a", "b"}},
        {"=x", "=", 0, {"x"}},
        {"a=b=c", "=", 1, {"a", "b=c"}},
        {"a=", "=", 1, {"a", ""}},
        {"a", "=", 1, {"a"}},
        {"", "=", 0, {}},
        {"", " ", 3, {}},
        {"===", "=", 0, {}},
        {"  ", " ", 0, {}},
        {"a&&b&", "&", 0, {"a", "b"}},
        {"k=v&x=y", "&", 0, {"k=v", "x=y"}},
        {"a, b, c", ", ", 0, {"a", "b", "c"}},
        {"a==b==c", "==", 1, {"a", "b==c"}},
        {"a=b", "=", 2, {"a", "b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitString(c.text, c.separator, c.count), c.parts) << "text: " << c.text << " count " << c.count;
}

namespace {
// An application object with its log in a scratch folder.
struct ParsedCommandLine {
    explicit ParsedCommandLine(const char* tail)
    {
        LogInit(log.path().c_str());
        app.ParseCommandLine(tail);
    }
    std::vector<std::string> LogLines() const { return vt::LogMessages(log.path()); }

    struct LogFile {
        vt::TempDir dir{"cmdline"};
        std::string path() const { return dir / "log.log"; }
    } log;
    CVorlanClientApp app;
};

}  // namespace

TEST(CommandLineTest, PlatformFirstWordAndOptions)
{
    ParsedCommandLine run("2144 --winid=1234 --token=abc");
    EXPECT_EQ(run.app.platform, "2144");
    EXPECT_EQ(run.app.simpleMode, 0);
    const std::map<std::string, std::string> expected = {{"--token", "abc"}, {"--winid", "1234"}, {"2144", ""}};
    EXPECT_EQ(run.app.options, expected);
    EXPECT_EQ(run.app.GetOption("--winid"), "1234");
    EXPECT_EQ(run.app.GetOption("--WINID"), "");
    EXPECT_EQ(run.app.HasOption("--source"), 0);

    auto lines = run.LogLines();
    EXPECT_TRUE(vt::Contains(lines, "参数1: 2144"));
    EXPECT_TRUE(vt::Contains(lines, "参数3: --token=abc"));
}

TEST(CommandLineTest, HideAndCommandKeyOnlyAfterTheFirstWord)
{
    ParsedCommandLine hidden("360   hide cmd42");
    EXPECT_EQ(hidden.app.platform, "360");
    EXPECT_EQ(hidden.app.hide, 1);
    EXPECT_EQ(hidden.app.cmdKey, 42);
    EXPECT_TRUE(vt::Contains(hidden.LogLines(), "参数2: hide"));
    EXPECT_FALSE(vt::Contains(hidden.LogLines(), "参数4: cmd42"));

    ParsedCommandLine first("hide 360");
    EXPECT_EQ(first.app.platform, "hide");
    EXPECT_EQ(first.app.hide, 0);

    ParsedCommandLine hideCase("360 HIDE hidden");
    EXPECT_EQ(hideCase.app.hide, 0);

    const std::pair<const char*, int> keys[] = {{"360 cmd", 0},     {"360 cmdx", 0},     {"360 cmd-3", -3},
                                                {"360 cmd12x", 12}, {"360 cmd 7", 0},    {"cmd5", 0},
                                                {"360 cmd+8", 8},   {"360 cmd1 cmd2", 2}};
    for (const auto& [tail, key] : keys) {
        ParsedCommandLine run(tail);
        EXPECT_EQ(run.app.cmdKey, key) << tail;
    }
}

TEST(CommandLineTest, SimpleMode)
{
    ParsedCommandLine run("simplemode=yy 2144 hide");
    EXPECT_EQ(run.app.simpleMode, 1);
    EXPECT_EQ(run.app.platform, "yy");
    EXPECT_EQ(run.app.simpleArgs, " 2144 hide");
    EXPECT_EQ(run.app.hide, 0);
    EXPECT_EQ(run.app.GetOption("simplemode"), "yy");
    auto lines = run.LogLines();
    EXPECT_TRUE(vt::Contains(lines, "参数1: simplemode=yy"));
    EXPECT_TRUE(vt::Contains(lines, "参数2: 2144"));
    EXPECT_TRUE(vt::Contains(lines, "参数3: hide"));
    EXPECT_TRUE(vt::Contains(lines, "简易模式： 2144 hide, yy"));

    ParsedCommandLine last("a simplemode=one b simplemode=two cmd5");
    EXPECT_EQ(last.app.platform, "two");
    EXPECT_EQ(last.app.simpleArgs, " a b cmd5");
    EXPECT_EQ(last.app.cmdKey, 0);

    ParsedCommandLine empty("simplemode=");
    EXPECT_EQ(empty.app.simpleMode, 1);
    EXPECT_EQ(empty.app.platform, "");
    EXPECT_EQ(empty.app.simpleArgs, "");
}

TEST(CommandLineTest, OddWords)
{
    ParsedCommandLine repeated("360 a=1 a=2 k=v=more =name --winid");
    EXPECT_EQ(repeated.app.GetOption("a"), "2");
    EXPECT_EQ(repeated.app.GetOption("k"), "v");
    EXPECT_EQ(repeated.app.HasOption("name"), 1);
    EXPECT_EQ(repeated.app.GetOption("name"), "");
    EXPECT_EQ(repeated.app.HasOption("--winid"), 1);
    EXPECT_EQ(repeated.app.GetOption("--winid"), "");

    // A word of "=" alone has no key: nothing enters the map, and the parse goes on.
    ParsedCommandLine equals("=== 360 == hide");
    EXPECT_EQ(equals.app.platform, "===");
    EXPECT_EQ(equals.app.hide, 1);
    EXPECT_EQ(equals.app.options.size(), 2u);
    EXPECT_EQ(equals.app.HasOption(""), 0);
    EXPECT_TRUE(vt::Contains(equals.LogLines(), "参数3: =="));

    ParsedCommandLine platformWithEquals("a=b 360");
    EXPECT_EQ(platformWithEquals.app.platform, "a=b");

    ParsedCommandLine blanks("   ");
    EXPECT_EQ(blanks.app.platform, "");
    EXPECT_TRUE(blanks.app.options.empty());
}
