#include <gtest/gtest.h>

#include "app/config.h"
#include "tests/support/test_support.h"

// LF and CR LF lines mixed in one file, a byte-order mark that belongs to the first key,
// values that a later line or a later file replaces, and one cut at a zero byte.
TEST(ConfigTest, LineFormatAndLaterValuesWin)
{
    vt::TempDir dir("cfg");
    CConfig config;
    config.SetExeDir(dir.path().c_str());
    const std::string bom = "\xEF\xBB\xBF";
    vt::WriteFileBytes(dir / "qx.ini", bom + "bom=1\r\na=b=c\n=x\r\nabc\n\r\nkey=\r\nKey=1\nlog = 1\r\n[game]\n#c=d\r\n"
                                             "page=first\nminver=3\npage=second\nname=微端\nlast=no newline");
    vt::WriteFileBytes(dir / "pf_360.ini", std::string("minver=9\r\nextra=1\0x\r\n", 21));
    config.Load("qx.ini");
    config.Load("pf_360.ini");
    const std::pair<std::string, std::string> expected[] = {
        {"bom", ""},      {bom + "bom", "1"},     {"a", "b=c"}, {"", ""},           {"abc", ""},     {"key", ""},
        {"Key", "1"},     {"log ", " 1"},         {"#c", "d"},  {"page", "second"}, {"minver", "9"}, {"extra", "1"},
        {"name", "微端"}, {"last", "no newline"}, {"never", ""}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ(config.GetValue(key.c_str()), value.c_str()) << key;
}

// A value of shellcfg.ini is cut to 1023 characters; a missing key or file reads as "".
TEST(ConfigTest, IniValuesAreCutAt1023Characters)
{
    vt::TempDir dir("ini");
    const std::string path = dir / "shellcfg.ini";
    vt::WriteFileBytes(path, "[update]\r\nlatest=" + std::string(1500, 'v') + "\r\n");
    EXPECT_EQ(GetIniString(path.c_str(), "update", "latest"), std::string(1023, 'v'));
    EXPECT_EQ(GetIniString(path.c_str(), "update", "min"), "");
    EXPECT_EQ(GetIniString((dir / "none.ini").c_str(), "update", "latest"), "");
}
