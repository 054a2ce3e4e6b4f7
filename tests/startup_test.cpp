// The real launcher started in a scratch folder, as a lobby or a shortcut would start it.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/test_support.h"

namespace {
const char kBanner[] = "=====================start=====================";
constexpr DWORD kTimeoutMs = 30000;

class LauncherFolder {
public:
    explicit LauncherFolder(const std::string& subfolder = "", const std::string& exeName = "VorlanClient.exe")
        : m_exeName(exeName)
    {
        m_path = subfolder.empty() ? m_dir.path() : m_dir / subfolder;
        CreateDirectoryA(m_path.c_str(), nullptr);
        vt::CopyFileTo(vt::LauncherExe(), Exe());
    }
    std::string Exe() const { return File(m_exeName); }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }
    void Write(const std::string& name, const std::string& bytes) const { vt::WriteFileBytes(File(name), bytes); }
    std::vector<std::string> Log(const std::string& name = "log.log") const { return vt::ReadCrLfLines(File(name)); }
    std::vector<std::string> Messages(const std::string& name = "log.log") const { return vt::LogMessages(File(name)); }

    // Runs the launcher until it ends or shows its window, which then quits; gives
    // the exit code.  Answers no message box.
    long RunToEnd(const std::string& tail) const
    {
        vt::Process launcher;
        if (!launcher.Start(Exe(), tail, m_path))
            return -2;
        return launcher.WaitOrQuitAtWindow(kTimeoutMs);
    }

    // Runs the launcher, answers the one message box it shows with OK, and gives the
    // exit code; -1 when it did not end (a second box would keep it running).
    long RunAnsweringOneBox(const std::string& tail, vt::MessageBoxSeen& box) const
    {
        vt::Process launcher;
        if (!launcher.Start(Exe(), tail) || !vt::WaitForMessageBox(launcher.pid(), box, kTimeoutMs))
            return -2;
        vt::PressOk(box);
        return launcher.WaitOrQuitAtWindow(kTimeoutMs);
    }

private:
    vt::TempDir m_dir{"launcher"};
    std::string m_exeName;
    std::string m_path;
};

}  // namespace

TEST(StartupTest, RefusesToRunWithoutAPlatform)
{
    LauncherFolder folder;
    folder.Write("qxconfig.ini", "pkgName=qxgame\r\n");
    vt::MessageBoxSeen box;
    EXPECT_EQ(folder.RunAnsweringOneBox("", box), 0);
    EXPECT_EQ(box.title, "启动参数错误");
    EXPECT_EQ(box.text, "请从游戏大厅或桌面快捷方式进入！");

    auto lines = folder.Log();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], kBanner);
    auto messages = folder.Messages();
    EXPECT_EQ(messages[0].substr(0, 12), "操作系统为：");
    EXPECT_EQ(messages[1], "微端版本号：1.0.0.1");
    EXPECT_EQ(messages[2], "启动参数：");
    EXPECT_EQ(messages[3], "没有指定平台，读取.env：");
    // The log is code page 936 text.
    EXPECT_EQ(messages[3].substr(0, 4), "\xC3\xBB\xD3\xD0");
    EXPECT_FALSE(vt::FileExists(folder.File("oldLog.log")));
}

TEST(StartupTest, PlatformFromEnvFile)
{
    LauncherFolder folder;
    folder.Write("qxconfig.ini", "pkgName=qxgame\r\n");
    folder.Write(".env", "360\r\nignored\r\n");
    EXPECT_EQ(folder.RunToEnd(""), 0);
    auto messages = folder.Messages();
    EXPECT_TRUE(vt::Contains(messages, "没有指定平台，读取.env：360"));

    // The whole first line is the platform: "hide" in it is no hide word.
    folder.Write(".env", "2144 hide");
    EXPECT_EQ(folder.RunToEnd("simplemode="), 0);
    messages = folder.Messages();
    EXPECT_TRUE(vt::Contains(messages, "简易模式：, "));
    EXPECT_TRUE(vt::Contains(messages, "没有指定平台，读取.env：2144 hide"));

    // A platform on the command line needs no .env.
    EXPECT_EQ(folder.RunToEnd("yy cmd3"), 0);
    messages = folder.Messages();
    EXPECT_TRUE(vt::Contains(messages, "启动参数：yy cmd3"));
    EXPECT_TRUE(vt::Contains(messages, "参数2: cmd3"));
    for (const std::string& m : messages)
        EXPECT_EQ(m.find(".env"), std::string::npos) << m;
}

TEST(StartupTest, MissingConfigurationIsShownOnceAndStartupGoesOn)
{
    LauncherFolder folder;
    vt::MessageBoxSeen box;
    EXPECT_EQ(folder.RunAnsweringOneBox("360", box), 0);
    EXPECT_EQ(box.title, "错误");
    EXPECT_EQ(box.text, "读取配置失败：qxconfig.ini");
    EXPECT_TRUE(vt::Contains(folder.Messages(), "参数1: 360"));
}

TEST(StartupTest, LogRotationOverThreeRuns)
{
    LauncherFolder folder;
    folder.Write("qxconfig.ini", "pkgName=qxgame\r\n");
    ASSERT_EQ(folder.RunToEnd("360 first"), 0);
    EXPECT_FALSE(vt::FileExists(folder.File("oldLog.log")));
    ASSERT_EQ(folder.RunToEnd("360 second"), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages("oldLog.log"), "启动参数：360 first"));
    ASSERT_EQ(folder.RunToEnd("360 third"), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages("oldLog.log"), "启动参数：360 second"));
    auto current = folder.Log();
    EXPECT_EQ(current[0], kBanner);
    EXPECT_TRUE(vt::Contains(folder.Messages(), "启动参数：360 third"));

    // An old log without a current one is removed, not kept.
    DeleteFileA(folder.File("log.log").c_str());
    ASSERT_EQ(folder.RunToEnd("360 fourth"), 0);
    EXPECT_FALSE(vt::FileExists(folder.File("oldLog.log")));
}

TEST(StartupTest, FailedRotationKeepsThePreviousLogAndSaysSo)
{
    LauncherFolder folder;
    folder.Write("qxconfig.ini", "pkgName=qxgame\r\n");
    folder.Write("oldLog.log", "older\r\n");
    folder.Write("log.log", "previous run\r\n");
    ASSERT_TRUE(SetFileAttributesA(folder.File("oldLog.log").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(folder.RunToEnd("360"), 0);

    auto lines = folder.Log();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "previous run");
    EXPECT_EQ(lines[1], kBanner);
    EXPECT_EQ(lines[2].substr(22, 30), "日志轮换失败，继续写入原日志：");
    EXPECT_TRUE(vt::Contains(folder.Messages(), "参数1: 360"));
    EXPECT_EQ(vt::ReadFileBytes(folder.File("oldLog.log")), "older\r\n");

    // A log held open by another program: the run goes on without a log.
    SetFileAttributesA(folder.File("oldLog.log").c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE held = CreateFileA(folder.File("log.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(folder.RunToEnd("360"), 0);
    CloseHandle(held);
}

// "乗" is 0x81 0x5C in code page 936: its second byte looks like a backslash,
// so a byte-wise search would cut the executable's own name at it.
TEST(StartupTest, RunsFromAFolderWhoseNameHidesABackslash)
{
    LauncherFolder folder("乗", "乗.exe");
    folder.Write("qxconfig.ini", "pkgName=qxgame\r\n");
    folder.Write(".env", "360");
    EXPECT_EQ(folder.RunToEnd(""), 0);
    auto messages = folder.Messages();
    EXPECT_TRUE(vt::Contains(messages, "没有指定平台，读取.env：360"));
}

namespace {
// The launcher's file as bytes, with its headers and a way to read at a virtual address.
struct PeFile {
    explicit PeFile(const std::string& path) : bytes(vt::ReadFileBytes(path))
    {
        auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
        nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    }
    const char* AtAddress(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return bytes.data() + section->PointerToRawData + (rva - section->VirtualAddress);
        }
        return nullptr;
    }
    std::vector<std::string> ImportedDlls() const
    {
        std::vector<std::string> names;
        const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(AtAddress(directory.VirtualAddress));
        for (; entry && entry->Name != 0; ++entry)
            names.push_back(AtAddress(entry->Name));
        return names;
    }

    std::string bytes;
    const IMAGE_NT_HEADERS32* nt = nullptr;
};
}  // namespace

TEST(StartupTest, LauncherIsA32BitGuiProgramWithSystemImportsOnly)
{
    PeFile launcher(vt::LauncherExe());
    ASSERT_GT(launcher.bytes.size(), 4096u);
    EXPECT_EQ(launcher.nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(launcher.nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(launcher.nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

    char systemDir[MAX_PATH] = {};
    GetSystemDirectoryA(systemDir, MAX_PATH);
    const auto dlls = launcher.ImportedDlls();
    EXPECT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) {
        EXPECT_EQ(dll.find("libgcc"), std::string::npos) << dll;
        EXPECT_EQ(dll.find("libstdc++"), std::string::npos) << dll;
        EXPECT_EQ(dll.find("libwinpthread"), std::string::npos) << dll;
        EXPECT_TRUE(vt::FileExists(std::string(systemDir) + "\\" + dll)) << dll << " is not a system DLL";
    }
}
