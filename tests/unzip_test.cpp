// Unpacking of package archives built in the test: folders, overwriting, failures,
// names that would leave the destination, damaged data, short writes.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "base/folders.h"
#include "app/package_unzip.h"
#include "tests/support/test_support.h"
#include "tests/support/test_zip.h"

namespace {
using Paths = std::vector<std::string>;

// Every file and folder below root, relative to it, sorted.  Cut from the listed paths alone,
// so a root in the "\\?\" form works too.
Paths Tree(const std::string& root)
{
    Paths paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        paths.push_back(entry.path().string().substr(root.size() + 1));
    std::sort(paths.begin(), paths.end());
    return paths;
}

class UnzipTest : public ::testing::Test {
protected:
    bool Unzip(const std::vector<vt::ZipEntry>& entries, const std::string& to)
    {
        return vt::WriteZip(archive, entries) && UnzipPackage(archive, to);
    }
    vt::TempDir dir{"unzip"};
    const std::string archive = dir / "game.pkg", dest = dir / "dest";
    const std::string big = std::string(200000, 'a') + std::string(200000, 'b');  // more than one copy piece
};
}  // namespace

TEST_F(UnzipTest, FoldersListedBeforeTheirFilesUnpackOverAnEarlierInstallation)
{
    DWORD error = 0;
    ASSERT_TRUE(CreateFolderTree(dest + "\\game", error) &&
                vt::WriteFileBytes(dest + "\\top.ini", "an older and longer top.ini") &&
                vt::WriteFileBytes(dest + "\\game\\saved.dat", "kept"));
    ASSERT_TRUE(Unzip(
        {{"game/", ""}, {"game/bin\\", ""}, {"game/bin\\game.exe", big, true}, {"top.ini", "[top]", true}}, dest));
    EXPECT_EQ(Tree(dest), (Paths{"game", "game\\bin", "game\\bin\\game.exe", "game\\saved.dat", "top.ini"}));
    EXPECT_TRUE(vt::ReadFileBytes(dest + "\\top.ini") + vt::ReadFileBytes(dest + "\\game\\saved.dat") +
                    vt::ReadFileBytes(dest + "\\game\\bin\\game.exe") ==
                "[top]kept" + big);
    EXPECT_TRUE(Unzip({}, dir / "empty"));  // nothing to do, and no folder made for it
    EXPECT_FALSE(vt::FileExists(dir / "empty"));
}

TEST_F(UnzipTest, AMissingArchiveOrFolderOrDataThatDoesNotMatchFails)
{
    EXPECT_FALSE(UnzipPackage(dir / "missing.pkg", dest));
    ASSERT_TRUE(vt::WriteFileBytes(dir / "text.pkg", "PK\x05\x06 is how an empty zip starts, but this is none"));
    EXPECT_FALSE(UnzipPackage(dir / "text.pkg", dest));
    // A file without its folder entry fails, and what follows is not written; damaged data leaves no file.
    ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
    EXPECT_FALSE(Unzip({{"top.ini", "[top]", true}, {"game/a.txt", "stored"}, {"b.txt", "b"}}, dest));
    EXPECT_FALSE(Unzip({{"damaged.exe", big, false, true}}, dest));
    EXPECT_EQ(Tree(dest), Paths{"top.ini"});

    // A reader that takes one piece and leaves: every later write falls short, as on a full disk.
    const std::string pipeName = "vt_unzip_" + std::to_string(GetCurrentProcessId());
    const std::string pipePath = "\\\\.\\pipe\\" + pipeName;
    HANDLE pipe = CreateNamedPipeA(pipePath.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
    DWORD taken = 0;
    std::thread reader([pipe, &taken] {
        char piece[4096];
        if (ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED)
            ReadFile(pipe, piece, sizeof(piece), &taken, nullptr);
        CloseHandle(pipe);
    });
    EXPECT_FALSE(Unzip({{pipeName, std::string(8 << 20, 'z'), true}}, "\\\\.\\pipe"));
    // Connects the reader should the unpacker never have (closing a failed open does nothing).
    CloseHandle(CreateFileA(pipePath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    reader.join();
    EXPECT_NE(0u, taken);
}

TEST_F(UnzipTest, NamesThatWouldLeaveTheDestinationAreRefused)
{
    const std::string inside = dir / "a\\b\\dest";
    DWORD error = 0;
    ASSERT_TRUE(CreateFolderTree(inside + "\\sub\\a..b", error));
    const Paths before = Tree(dir / "a");
    for (const char* name : {"../x", "sub/../../x", "..\\x", "sub\\.. \\..\\x", "sub/.../x", "/x", "\\x",
                             "\\\\127.0.0.1\\c$\\x", "C:x", "sub/x:stream"})
        EXPECT_FALSE(Unzip({{name, "x"}}, inside)) << name;
    EXPECT_FALSE(Unzip({{std::string(510, 'a') + "//", "x"}}, inside));  // 512 bytes: cut to 511, a folder entry
    EXPECT_EQ(Tree(dir / "a"), before);
    EXPECT_TRUE(Unzip({{"sub/a..b/.x..txt", "x"}}, inside));  // dots inside names are no climbing
    EXPECT_EQ(vt::ReadFileBytes(inside + "\\sub\\a..b\\.x..txt"), "x");
}

// "." and empty components, as some zip tools write them, name the folder they stand in.
TEST_F(UnzipTest, SameFolderComponentsUnpackInPlace)
{
    ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
    ASSERT_TRUE(Unzip({{"./qxgame/", ""},
                       {"./qxgame/a.dll", "a"},
                       {"qxgame/./b.dll", "b"},
                       {"qxgame//c.dll", "c"},
                       {"qxgame\\.\\sub\\", ""},
                       {"qxgame//sub\\\\d.dll", "d"}},
                      dest));
    EXPECT_EQ(Tree(dest), (Paths{"qxgame", "qxgame\\a.dll", "qxgame\\b.dll", "qxgame\\c.dll", "qxgame\\sub",
                                 "qxgame\\sub\\d.dll"}));
    EXPECT_EQ(vt::ReadFileBytes(dest + "\\qxgame\\sub\\d.dll"), "d");
}

// An entry named after a device in any of its folders is refused before anything of it is
// written.  The destination is given in the "\\?\" form, in which Windows takes every name
// as it stands: were the check broken, such an entry would become a plain file that the tree
// shows, never a write to (or a look at) the device: Wine links COM1 to the serial port.
// In that form "/" is no separator, so every case uses "\\".  Each case has a twin that
// differs only in its device name and unpacks: nothing else makes the case fail.
TEST_F(UnzipTest, EntriesNamedAfterDevicesAreRefused)
{
    const std::string literalDest = "\\\\?\\" + dest;
    ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
    const std::pair<const char*, const char*> cases[] = {{"COM1", "COMX"},
                                                         {"nul.txt", "nux.txt"},
                                                         {"a\\CON", "a\\COX"},
                                                         {"lpt1\\", "lptx\\"},
                                                         {"CONIN$", "CONIX$"},
                                                         {"aux .txt", "auz .txt"},
                                                         {"Con.txt", "Cox.txt"},
                                                         {"a\\AUX\\", "a\\AUZ\\"},
                                                         {"PRN", "PRX"},
                                                         {"LPT9.log", "LPTX.log"},
                                                         {"conout$", "conoux$"},
                                                         {"a\\nul.", "a\\nux."},
                                                         {"com3.tar.gz", "cox3.tar.gz"}};
    for (const auto& [device, twin] : cases) {
        const std::string last = std::string(device).back() == '\\' ? "x" : "";  // a file inside a folder entry
        const auto entries = [&](const std::string& name) {
            std::vector<vt::ZipEntry> list{{"a\\", ""}, {name, last.empty() ? "x" : ""}};
            if (!last.empty())
                list.push_back({name + last, "x"});
            return list;
        };
        EXPECT_FALSE(Unzip(entries(device), literalDest)) << device;
        EXPECT_EQ(Tree(literalDest), Paths{"a"}) << device;
        EXPECT_TRUE(Unzip(entries(twin), literalDest)) << twin;
        const std::string written = literalDest + "\\" + twin + last;
        EXPECT_EQ(GetFileAttributesA(written.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << twin;
        vt::RemoveTree(literalDest);
        ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr)) << twin << " " << GetLastError();
    }
    // Names that only look like devices are written.
    EXPECT_TRUE(Unzip({{"a\\", ""}, {"a\\COM10", "1"}, {"a\\console.txt", "2"}, {"a\\nul_", "3"}}, literalDest));
    EXPECT_EQ(Tree(literalDest), (Paths{"a", "a\\COM10", "a\\console.txt", "a\\nul_"}));
    vt::RemoveTree(literalDest);  // in the same form, whatever names it holds
}
