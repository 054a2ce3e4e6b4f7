// Unpacking of package archives built in the test: folders, overwriting, failures,
// names that would leave the destination, damaged data.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <thread>

#include "app/folders.h"
#include "app/package_unzip.h"
#include "tests/support/test_support.h"
#include "tests/support/test_zip.h"

namespace {
// Every file and folder below root, as paths relative to it, sorted.
std::vector<std::string> Tree(const std::string& root, const std::string& prefix = "")
{
    std::vector<std::string> paths;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((root + "\\" + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return paths;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        paths.push_back(prefix + name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            const std::vector<std::string> below = Tree(root, prefix + name + "\\");
            paths.insert(paths.end(), below.begin(), below.end());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(paths.begin(), paths.end());
    return paths;
}

const std::string kBig = [] {
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 509) & 0xFF);
    return bytes;
}();

class UnzipTest : public ::testing::Test {
protected:
    bool Unzip(const std::vector<vt::ZipEntry>& entries, const std::string& dest)
    {
        return vt::WriteZip(archive, entries) && UnzipPackage(archive, dest);
    }
    vt::TempDir dir{"unzip"};
    const std::string archive = dir / "game.pkg", dest = dir / "dest";
    const std::vector<vt::ZipEntry> package = {
        {"game/", ""},
        {"game/bin\\", ""},
        {"game/bin\\game.exe", kBig, true},
        {"game/readme.txt", "stored"},
        {"top.ini", "[top]", true},
    };
};
}  // namespace

TEST_F(UnzipTest, FoldersListedBeforeTheirFilesUnpackOverAnEarlierInstallation)
{
    ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr) && CreateDirectoryA((dest + "\\game").c_str(), nullptr));
    ASSERT_TRUE(vt::WriteFileBytes(dest + "\\top.ini", "an older and longer top.ini") &&
                vt::WriteFileBytes(dest + "\\game\\saved.dat", "kept"));
    ASSERT_TRUE(Unzip(package, dest));
    EXPECT_EQ((std::vector<std::string>{"game", "game\\bin", "game\\bin\\game.exe", "game\\readme.txt",
                                        "game\\saved.dat", "top.ini"}),
              Tree(dest));
    EXPECT_TRUE(vt::ReadFileBytes(dest + "\\game\\bin\\game.exe") == kBig);
    EXPECT_EQ("stored", vt::ReadFileBytes(dest + "\\game\\readme.txt"));
    EXPECT_EQ("[top]", vt::ReadFileBytes(dest + "\\top.ini"));
    EXPECT_EQ("kept", vt::ReadFileBytes(dest + "\\game\\saved.dat"));

    EXPECT_TRUE(Unzip({}, dir / "empty"));  // nothing to do, and no folder made for it
    EXPECT_FALSE(vt::FileExists(dir / "empty"));
}

TEST_F(UnzipTest, AMissingArchiveOrFolderOrDataThatDoesNotMatchFails)
{
    EXPECT_FALSE(UnzipPackage(dir / "missing.pkg", dest));
    ASSERT_TRUE(vt::WriteFileBytes(dir / "text.pkg", "PK\x03\x04 is how a zip starts, but this is none"));
    EXPECT_FALSE(UnzipPackage(dir / "text.pkg", dest));

    // Without its folder entries: the top-level file before it is written, nothing after.
    ASSERT_TRUE(CreateDirectoryA(dest.c_str(), nullptr));
    EXPECT_FALSE(Unzip({package[4], package[3], package[2]}, dest));
    EXPECT_EQ(std::vector<std::string>{"top.ini"}, Tree(dest));

    // Data that fails its CRC leaves no file behind.
    EXPECT_FALSE(Unzip({{"damaged.exe", kBig, false, true}}, dest));
    EXPECT_FALSE(vt::FileExists(dest + "\\damaged.exe"));

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
    // Releases the reader should the unpacker never have connected.
    HANDLE client = CreateFileA(pipePath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    reader.join();
    if (client != INVALID_HANDLE_VALUE)
        CloseHandle(client);
    EXPECT_NE(0u, taken);
}

TEST_F(UnzipTest, NamesThatWouldLeaveTheDestinationAreRefused)
{
    const struct {
        std::string name;
        bool unpacked;
    } cases[] = {
        {"../escaped.txt", false},
        {"sub/../../escaped.txt", false},
        {"..\\escaped.txt", false},
        {"sub\\.. \\..\\escaped.txt", false},
        {"sub/.../escaped.txt", false},
        {"/escaped.txt", false},
        {"\\escaped.txt", false},
        {"\\\\127.0.0.1\\c$\\escaped.txt", false},
        {"C:escaped.txt", false},
        {"sub/escaped.txt:stream", false},
        {std::string(510, 'a') + "//", false},  // 512 bytes: cut to 511 it would be a folder
        {"sub/a..b/.escaped..txt", true},
    };
    for (const auto& c : cases) {
        vt::TempDir root("climb");
        const std::string inside = root / "a\\b\\dest";
        DWORD error = 0;
        ASSERT_TRUE(CreateFolderTree(inside + "\\sub\\a..b", error));
        const std::vector<std::string> before = Tree(root.path());
        ASSERT_EQ(c.unpacked, Unzip({{c.name, "x"}}, inside)) << c.name;
        std::vector<std::string> after = before;
        if (c.unpacked)
            after.push_back("a\\b\\dest\\sub\\a..b\\.escaped..txt");
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, Tree(root.path())) << c.name;
    }
}
