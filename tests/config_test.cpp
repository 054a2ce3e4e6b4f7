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

TEST(ConfigTest, LineFormat)
{
    ConfigFiles files;
    CConfig config;
    config.Load(files
                    .Write("qx.ini", "a=b=c\r\n=x\r\nabc\r\n\r\nkey=\r\nKey=1\r\nlog = 1\r\n[game]\r\n#c=d\r\n"
                                     "name=微端\r\nlast=no newline")
                    .c_str());
    EXPECT_EQ(config.GetValue("a"), "b=c");
    EXPECT_EQ(config.GetValue(""), "");
    EXPECT_EQ(config.GetValue("abc"), "");
    EXPECT_EQ(config.GetValue("key"), "");
    EXPECT_EQ(config.GetValue("Key"), "1");
    EXPECT_EQ(config.GetValue("log "), " 1");
    EXPECT_EQ(config.GetValue("log"), "");
    EXPECT_EQ(config.GetValue("#c"), "d");
    EXPECT_EQ(config.GetValue("name"), "微端");
    EXPECT_EQ(config.GetValue("last"), "no newline");
    EXPECT_EQ(config.GetValue("never"), "");
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

TEST(ConfigTest, LineEndsAndByteOrderMark)
{
    ConfigFiles files;
    CConfig lf, crlf, bom;
    lf.Load(files.Write("lf.ini", "a=1\nb=2\n").c_str());
    crlf.Load(files.Write("crlf.ini", "a=1\r\nb=2\r\n").c_str());
    bom.Load(files
                 .Write("bom.ini", "\xEF\xBB\xBF"
                                   "a=1\r\nb=2\r\n")
                 .c_str());
    EXPECT_EQ(lf.GetValue("a"), "1");
    EXPECT_EQ(lf.GetValue("b"), "2");
    EXPECT_EQ(crlf.GetValue("a"), "1");
    EXPECT_EQ(crlf.GetValue("b"), "2");
    EXPECT_EQ(bom.GetValue("a"), "");
    EXPECT_EQ(bom.GetValue("\xEF\xBB\xBF"
                           "a"),
              "1");
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
