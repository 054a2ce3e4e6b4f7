// The removal of an old package: whole or not at all, and never through a linked folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "app/config.h"
#include "app/package_files.h"
#include "base/log.h"
#include "tests/support/test_support.h"

namespace {
bool IsLink(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Runs a program of the host's (Wine starts them as it does Windows ones, but cannot
// tell when one has ended) in folder until done() holds.
bool RunOnHostUntil(const std::string& commandLine, const std::string& folder, const std::function<bool()>& done)
{
    vt::Process host;
    return host.Start("Z:\\bin\\" + commandLine.substr(0, commandLine.find(' ')),
                      commandLine.substr(commandLine.find(' ') + 1), folder) &&
           vt::WaitUntil(done, vt::kWineWaitMs);
}
}  // namespace

// The game exe and the archive are opened for deletion before anything goes; a file held
// for a moment only (a virus scanner, say) is waited for.
TEST(PackageFiles, AnOldPackageGoesWhollyOrNotAtAll)
{
    const struct {
        const char* path;
        DWORD share;
        DWORD releasedAfterMs;  // 0: held throughout
    } holders[] = {{nullptr, 0, 0},
                   {"qxgame\\qxgame.exe", FILE_SHARE_READ | FILE_SHARE_WRITE, 0},
                   {"qxgame.pkg", FILE_SHARE_READ, 0},
                   {"qxgame\\qxgame.exe", FILE_SHARE_READ, 100},
                   {"qxgame.pkg", 0, 300}};
    for (const auto& held : holders) {
        vt::TempDir dir{"pkgfiles"};
        LogInit((dir / "log.log").c_str());
        const std::string folder = dir / "qxgame", exe = folder + "\\qxgame.exe", archive = dir / "qxgame.pkg";
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA((folder + "\\data").c_str(), nullptr);
        vt::WriteFileBytes(exe, "exe");
        SetFileAttributesA(exe.c_str(), FILE_ATTRIBUTE_READONLY);  // goes all the same
        vt::WriteFileBytes(folder + "\\data\\level.dat", "level");
        vt::WriteFileBytes(archive, "zip");
        // Another program's handle: a game running from its exe, say.
        HANDLE file = held.path ? CreateFileA((dir / held.path).c_str(), GENERIC_READ, held.share, nullptr,
                                              OPEN_EXISTING, 0, nullptr)
                                : INVALID_HANDLE_VALUE;
        std::thread releaser([&] {
            if (held.releasedAfterMs) {
                Sleep(held.releasedAfterMs);
                CloseHandle(file);
            }
        });
        const bool removed = DeleteOutdatedPackage(folder.c_str(), archive.c_str(), exe.c_str());
        releaser.join();
        if (!held.releasedAfterMs)
            CloseHandle(file);
        const bool heldThroughout = held.path && !held.releasedAfterMs;
        EXPECT_EQ(removed, !heldThroughout) << (held.path ? held.path : "nothing held");
        for (const std::string& path : {exe, folder + "\\data\\level.dat", archive, folder})
            EXPECT_EQ(vt::FileExists(path), heldThroughout) << path;
        // What stays is named once, after the last try.
        const auto messages = vt::LogMessages(dir / "log.log");
        EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                                [](const std::string& m) { return m.rfind("删除旧游戏包失败：", 0) == 0; }),
                  heldThroughout ? 1 : 0);
    }
}

// Wine's CreateSymbolicLinkA reports success and makes nothing, and it sets no junction
// (FSCTL_SET_REPARSE_POINT answers ERROR_NOT_SUPPORTED); it shows a symbolic link of the
// host's as a reparse point, though, so the host's ln makes the link there.
TEST(PackageFiles, APackageFolderThatIsALinkLosesTheLinkOnly)
{
    vt::TempDir dir{"pkglink"};
    const std::string target = dir / "elsewhere", folder = dir / "qxgame";
    CreateDirectoryA(target.c_str(), nullptr);
    vt::WriteFileBytes(target + "\\qxgame.exe", "exe");
    vt::WriteFileBytes(target + "\\saved.dat", "saved");
    ASSERT_TRUE((CreateSymbolicLinkA(folder.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) && IsLink(folder)) ||
                RunOnHostUntil("ln -s elsewhere qxgame", dir.path(), [&] { return IsLink(folder); }));
    LogInit((dir / "log.log").c_str());
    vt::WriteFileBytes(dir / "qxgame.pkg", "zip");
    const bool removed =
        DeleteOutdatedPackage(folder.c_str(), (dir / "qxgame.pkg").c_str(), (folder + "\\qxgame.exe").c_str());
    // Promised: what the link points to stays, and the archive beside it goes.
    EXPECT_EQ(vt::ReadFileBytes(target + "\\qxgame.exe") + vt::ReadFileBytes(target + "\\saved.dat"), "exesaved");
    EXPECT_FALSE(vt::FileExists(dir / "qxgame.pkg"));
    // What Wine cannot show is the link going: its RemoveDirectoryA and DeleteFileA both
    // refuse a host's link to a folder.  So here the link stays, the old game exe is still
    // found through it, and the result must say that the old package is not gone, with the
    // folder named in the log.  (Where the link goes, nothing old is left: true.)
    if (vt::FileExists(folder)) {
        EXPECT_FALSE(removed);
        EXPECT_TRUE(vt::LogHasInOrder(dir / "log.log", {"删除旧游戏包失败：" + folder + "，错误码："}));
        RunOnHostUntil("rm qxgame", dir.path(), [&] { return !vt::FileExists(folder); });
    } else {
        EXPECT_TRUE(removed);
    }
}

// One that refuses its mark unmarks the others: here the archive, which a program has
// mapped into memory (Wine refuses to delete a mapped file, as Windows does), after the
// game exe has taken its mark.  Both stay, and the archive is named.
TEST(PackageFiles, AFileThatRefusesItsMarkLeavesTheOthersUnmarked)
{
    vt::TempDir dir{"pkgmark"};
    LogInit((dir / "log.log").c_str());
    const std::string folder = dir / "qxgame", exe = folder + "\\qxgame.exe", archive = dir / "qxgame.pkg";
    CreateDirectoryA(folder.c_str(), nullptr);
    vt::WriteFileBytes(exe, "exe");
    vt::WriteFileBytes(archive, "zip");
    HANDLE file = CreateFileA(archive.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(file);  // the view alone holds the archive: it can still be opened for deletion
    const bool removed = view && DeleteOutdatedPackage(folder.c_str(), archive.c_str(), exe.c_str());
    if (view)
        UnmapViewOfFile(view);
    CloseHandle(mapping);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(removed);
    EXPECT_EQ(vt::ReadFileBytes(exe) + vt::ReadFileBytes(archive), "exezip");
    EXPECT_TRUE(vt::LogHasInOrder(dir / "log.log", {"删除旧游戏包失败：" + archive + "，错误码："}));
}

// pkg.ver is read with delete sharing: another launcher may move it away or delete it
// while this one reads it (Windows, like Wine, refuses to rename over a file that is open
// at all, delete sharing or not, so that move cannot be shown).  The file is long enough
// that a move tried a little after the read began finds it still reading.
TEST(PackageFiles, PkgVerCanBeMovedAwayWhileItIsRead)
{
    vt::TempDir dir{"pkgshare"};
    CConfig::GetInstance()->SetExeDir(dir.path().c_str());
    std::string lines;
    for (int i = 0; i < 8000000; ++i)
        lines += "6\n";  // short lines: the reader's work is by line
    lines += "7";
    int shown = 0;
    // A try proves something only when the read had opened the file before the move (it
    // then reads it whole) and had not ended after it.
    for (int attempt = 0; attempt < 10 && shown == 0; ++attempt) {
        ASSERT_TRUE(vt::WriteFileBytes(dir / "pkg.ver", lines));
        DeleteFileA((dir / "moved.ver").c_str());
        int version = -1;
        DWORD error = 0;
        std::atomic<bool> started{false}, read{false}, done{false};
        std::thread reader([&] {
            started = true;
            read = ReadLocalPkgVersion("\\pkg.ver", version, error);
            done = true;
        });
        // The read takes about a tenth of a second; its opening, a moment after its start.
        vt::WaitUntil([&] { return started.load(); }, 5000, [] { Sleep(1); });
        Sleep(10);
        bool moved = false, endedBefore = false;
        int refused = 0;
        while (!moved && !done) {
            moved = MoveFileA((dir / "pkg.ver").c_str(), (dir / "moved.ver").c_str());
            refused += !moved && GetLastError() == ERROR_SHARING_VIOLATION;
            endedBefore = done;
            if (!moved)
                Sleep(1);  // leaves the reader its share of two busy cores
        }
        reader.join();
        EXPECT_EQ(refused, 0);
        EXPECT_TRUE(read) << error;
        shown += moved && !endedBefore && version == 7;
    }
    EXPECT_EQ(shown, 1);
}
