#include <gtest/gtest.h>

#include <windows.h>

#include "app/config.h"
#include "tests/support/test_support.h"

namespace {
// Configuration files live beside the executable; each test writes its own
// below a scratch folder there and loads them by relative name.
class ConfigFiles {
public:
    ConfigFiles() : m_folder("cfg_" + std::to_string(GetCurrentProcessId()))
    {
        CreateDirectoryA((vt::ExeDir() + "\\" + m_folder).c_str(), nullptr);
    }
    ~ConfigFiles() { vt::RemoveTree(vt::ExeDir() + "\\" + m_folder); }
    std::string Write(const std::string& name, const std::string& bytes)
    {
        std::string relative = m_folder + "\\" + name;
        vt::WriteFileBytes(vt::ExeDir() + "\\" + relative, bytes);
        return relative;
    }

private:
    std::string m_folder;
};
}  // namespace

// LF and CR LF lines mixed in one file, and a byte-order mark that belongs to the first key.
TEST(ConfigTest, LineFormat)
{
    ConfigFiles files;
    CConfig config;
    const std::string bom = "\xEF\xBB\xBF";
    config.Load(files
                    .Write("qx.ini", bom + "bom=1\r\na=b=c\n=x\r\nabc\n\r\nkey=\r\nKey=1\nlog = 1\r\n[game]\n#c=d\r\n"
                                           "name=微端\nlast=no newline")
                    .c_str());
    // clang-format off
    const std::pair<std::string, std::string> expected[] = {
        {"bom", ""}, {bom + "bom", "1"}, {"a", "b=c"}, {"", ""}, {"abc", ""}, {"key", ""}, {"Key", "1"},
        {"log ", " 1"}, {"log", ""}, {"#c", "d"}, {"name", "微端"}, {"last", "no newline"}, {"never", ""},
    };
    // clang-format on
    for (const auto& [key, value] : expected)
        EXPECT_EQ(config.GetValue(key.c_str()), value.c_str()) << key;
}

TEST(ConfigTest, LaterLinesAndThePlatformFileWin)
{
    ConfigFiles files;
    CConfig config;
    config.Load(files.Write("qx.ini", "page=first\nminver=3\npage=second\n").c_str());
    EXPECT_EQ(config.GetValue("page"), "second");
    config.Load(files.Write("pf_360.ini", "minver=9\r\nextra=1\r\n").c_str());
    EXPECT_EQ(config.GetValue("minver"), "9");
    EXPECT_EQ(config.GetValue("page"), "second");
    EXPECT_EQ(config.GetValue("extra"), "1");
}

TEST(ConfigTest, FoldersAndGamePath)
{
    CConfig config;
    EXPECT_EQ(std::string(config.GetExeDir()), vt::ExeDir());
    config.ParseLine("pkgName=qxgame");
    EXPECT_EQ(std::string(config.GetGameExePath()), vt::ExeDir() + "\\qxgame\\qxgame.exe");
    config.ParseLine("pkgName=");
    EXPECT_EQ(std::string(config.GetGameExePath()), vt::ExeDir() + "\\\\.exe");

    EXPECT_EQ(CConfig::GetInstance(), g_pConfig);
}

TEST(ConfigTest, ShellConfigReadsProfileSections)
{
    vt::TempDir dir("ini");
    std::string path = dir / "shellcfg.ini";
    std::string longValue(1500, 'v');
    vt::WriteFileBytes(
        path, "[game]\r\nminver = 12 \r\n[Shell]\r\nuploadFlag=\"1\"\r\n[update]\r\nlatest=" + longValue + "\r\n");
    EXPECT_EQ(GetIniString(path.c_str(), "game", "minver"), "12");
    EXPECT_EQ(GetIniString(path.c_str(), "GAME", "MINVER"), "12");
    EXPECT_EQ(GetIniString(path.c_str(), "shell", "uploadflag"), "1");
    EXPECT_EQ(GetIniString(path.c_str(), "shell", "disableExit"), "");
    EXPECT_EQ(GetIniString(path.c_str(), "missing", "minver"), "");
    EXPECT_EQ(GetIniString(path.c_str(), "update", "latest").GetLength(), 1023);
    EXPECT_EQ(GetIniString((dir / "none.ini").c_str(), "game", "minver"), "");
}
