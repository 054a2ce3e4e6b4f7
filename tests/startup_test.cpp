// The real launcher started in a scratch folder, as a lobby or a shortcut would start it.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/version.h"
#include "res/version.h"
#include "tests/support/test_support.h"

namespace {
const char kBanner[] = "=====================start=====================";
const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\乗.exe";  // Wine's settings for the launcher below

// "乗" is 0x81 0x5C in code page 936: its second byte looks like a backslash, so a
// byte-wise search would cut the executable's own name at it.
class StartupTest : public ::testing::Test {
protected:
    vt::TempDir dir{"launcher"};
    vt::LauncherFolder folder{dir / "乗", "pkgName=qxgame\r\n", "乗.exe"};
};

TEST_F(StartupTest, PlatformFromTheCommandLineOrTheEnvFileElseTheRunIsRefused)
{
    // Wine runs the launcher as Windows 10, which GetVersionEx would call Windows 8 (6.2).
    RegSetKeyValueA(HKEY_CURRENT_USER, kAppDefaults, "Version", REG_SZ, "win10", 6);
    EXPECT_EQ(folder.Run(""), 0);
    RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults);
    EXPECT_EQ(folder.boxes, std::vector<std::string>{"启动参数错误|请从游戏大厅或桌面快捷方式进入！"});
    EXPECT_EQ(vt::ReadCrLfLines(folder / "log.log").at(0), kBanner);
    EXPECT_EQ(folder.Messages(), (std::vector<std::string>{"操作系统为：Windows 10", "微端版本号：1.0.0.1",
                                                           "启动参数：", "没有指定平台，读取.env："}));
    EXPECT_NE(folder.Read("log.log").find("\xC3\xBB\xD3\xD0"), std::string::npos);  // "没有": code page 936 text

    folder.Write(".env", "360\r\nignored\r\n");
    EXPECT_EQ(folder.Run(""), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages(), "没有指定平台，读取.env：360"));
    // The whole first line is the platform: "hide" in it is no hide word.
    folder.Write(".env", "2144 hide");
    EXPECT_EQ(folder.Run("simplemode="), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages(), "没有指定平台，读取.env：2144 hide"));
    EXPECT_EQ(folder.Run("yy cmd3"), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages(), "参数2: cmd3"));
    EXPECT_FALSE(vt::Contains(folder.Messages(), "没有指定平台，读取.env：2144 hide"));
}

TEST_F(StartupTest, LogRotation)
{
    ASSERT_EQ(folder.Run("360 first"), 0);
    EXPECT_FALSE(vt::FileExists(folder / "oldLog.log"));
    ASSERT_EQ(folder.Run("360 second"), 0);
    EXPECT_TRUE(vt::Contains(folder.Messages("oldLog.log"), "启动参数：360 first"));
    EXPECT_TRUE(vt::Contains(folder.Messages(), "启动参数：360 second"));
    // An old log without a current one is removed, not kept.
    DeleteFileA((folder / "log.log").c_str());
    ASSERT_EQ(folder.Run("360 third"), 0);
    EXPECT_FALSE(vt::FileExists(folder / "oldLog.log"));

    // When the old log cannot be replaced, the run appends to the previous one and says so.
    folder.Write("oldLog.log", "older\r\n");
    folder.Write("log.log", "previous run\r\n");
    ASSERT_TRUE(SetFileAttributesA((folder / "oldLog.log").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(folder.Run("360"), 0);
    EXPECT_EQ(folder.Read("log.log").find("previous run\r\n" + std::string(kBanner) + "\r\n<"), 0u);
    EXPECT_EQ(folder.Messages().at(0).find("日志轮换失败，继续写入原日志："), 0u);
    EXPECT_EQ(folder.Read("oldLog.log"), "older\r\n");
}

// A missing configuration is told in one box, and start-up goes on to the window.
TEST_F(StartupTest, AMissingConfigurationIsShownOnceAndStartUpGoesOn)
{
    DeleteFileA((folder / "qxconfig.ini").c_str());
    EXPECT_EQ(folder.Run("360"), 0);
    EXPECT_EQ(folder.boxes, std::vector<std::string>{"错误|读取配置失败：qxconfig.ini"});
    EXPECT_TRUE(vt::Contains(folder.Messages(), "参数1: 360"));
}

}  // namespace

// This test binary has no version resource of its own.
TEST(NoVersionResourceTest, EmptyVersionOrError)
{
    EXPECT_EQ(GetExeFileVersion(), "");
    EXPECT_EQ(GetAppVersionText(), "error");
}

// The launcher is a 32-bit GUI program that needs no DLL beside the system's own.
TEST(LauncherFileTest, IsA32BitGuiProgramWithSystemImportsOnly)
{
    const std::string bytes = vt::ReadFileBytes(vt::ExeDir() + "\\VorlanClient.exe");
    ASSERT_GT(bytes.size(), 4096u);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        bytes.data() + reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data())->e_lfanew);
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    auto at = [&](DWORD address) -> const char* {  // the file's bytes at a virtual address
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
            if (address >= section->VirtualAddress && address < section->VirtualAddress + section->SizeOfRawData)
                return bytes.data() + section->PointerToRawData + (address - section->VirtualAddress);
        return nullptr;
    };
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    int dlls = 0;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(imports)); entry && entry->Name;
         ++entry, ++dlls)
        EXPECT_TRUE(vt::FileExists(std::string(system) + "\\" + at(entry->Name))) << at(entry->Name);
    EXPECT_GT(dlls, 0);
}

// A new version is set in res/version.h as a text and as four numbers: the built exe
// carries the text as its FileVersion, the text the launcher reports, and the same four
// numbers in its fixed fields.
TEST(LauncherFileTest, ItsVersionTextAndNumbersAgree)
{
    const std::string exe = vt::ExeDir() + "\\VorlanClient.exe";
    DWORD unused = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(exe.c_str(), &unused));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    char* text = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\080403a8\\FileVersion",
                               reinterpret_cast<void**>(&text), &size));
    const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(std::string(text), LAUNCHER_VERSION_TEXT);
    EXPECT_EQ(numbers, LAUNCHER_VERSION_TEXT);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
}
