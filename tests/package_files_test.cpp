// The removal of an old package: whole or not at all, and never through a linked folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/package_files.h"
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

// The game exe and the archive are opened for deletion before anything goes.
TEST(PackageFiles, AnOldPackageGoesWhollyOrNotAtAll)
{
    const std::pair<const char*, DWORD> holders[] = {
        {nullptr, 0}, {"qxgame\\qxgame.exe", FILE_SHARE_READ | FILE_SHARE_WRITE}, {"qxgame.pkg", FILE_SHARE_READ}};
    for (const auto& held : holders) {
        vt::TempDir dir{"pkgfiles"};
        const std::string folder = dir / "qxgame", exe = folder + "\\qxgame.exe", archive = dir / "qxgame.pkg";
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA((folder + "\\data").c_str(), nullptr);
        vt::WriteFileBytes(exe, "exe");
        SetFileAttributesA(exe.c_str(), FILE_ATTRIBUTE_READONLY);  // goes all the same
        vt::WriteFileBytes(folder + "\\data\\level.dat", "level");
        vt::WriteFileBytes(archive, "zip");
        // Another program's handle: a game running from its exe, say.
        HANDLE file = held.first ? CreateFileA((dir / held.first).c_str(), GENERIC_READ, held.second, nullptr,
                                               OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
        const bool removed = DeleteOutdatedPackage(folder.c_str(), archive.c_str(), exe.c_str());
        CloseHandle(file);
        EXPECT_EQ(removed, !held.first);
        for (const std::string& path : {exe, folder + "\\data\\level.dat", archive, folder})
            EXPECT_EQ(vt::FileExists(path), !removed) << path;
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
    const bool removed =
        DeleteOutdatedPackage(folder.c_str(), (dir / "qxgame.pkg").c_str(), (folder + "\\qxgame.exe").c_str());
    EXPECT_EQ(vt::ReadFileBytes(target + "\\qxgame.exe") + vt::ReadFileBytes(target + "\\saved.dat"), "exesaved");
    // Wine's RemoveDirectoryA cannot remove the host's link: it stays, the game exe is
    // found through it, and the old package counts as not removed.
    EXPECT_EQ(removed, !vt::FileExists(folder));
    if (vt::FileExists(folder))
        RunOnHostUntil("rm qxgame", dir.path(), [&] { return !vt::FileExists(folder); });
}
