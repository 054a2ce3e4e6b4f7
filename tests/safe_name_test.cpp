// The one check for names from outside (its users are driven in their own suites).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/safe_name.h"

using namespace std::string_literals;

TEST(SafeName, DevicesClimbingAndZeroBytesAreRefusedOtherNamesPass)
{
    // Devices in any case, with extensions, dots and spaces after them, in any component.
    const std::vector<std::string> devices = {"nul",        "CON",        "Con.txt", "AUX ",       "aux .txt", "nul.",
                                              "nul.tar.gz", "PrN",        "CONOUT$", "conin$.log", "COM1",     "com9.x",
                                              "LPT1",       "lpt0",       "COM\xB9", "lpt\xB3 .a", "a/CON/b",  "lpt1/",
                                              "./CON",      "a//nul.txt", "a/./aux", "a/AUX /b"};
    // Climbing, absolute paths, drives, streams and zero bytes.
    const std::vector<std::string> climbing = {"",
                                               " . ",
                                               "..",
                                               "a:b",
                                               "C:x",
                                               "a\0b"s,
                                               "\0"s,
                                               "a/b\0.txt"s,
                                               "/",
                                               "/x",
                                               "\\x",
                                               "//x",
                                               "\\\\server\\x",
                                               "a\\..\\b",
                                               "x\\..\\..\\esc.ini",
                                               "./../x",
                                               "a/ /b",
                                               "a/.../b",
                                               "./a:s"};
    // Names that only look like the above.
    const std::string names[] = {"game", "..game", "a..b",  " CON", "CONSOLE", "con_x.txt", "COM10",
                                 "lpt",  "nul_",   "CONIN", "COMA", "游戏",    "COM国"};
    // Several components, and a folder's trailing separator.
    const std::string pathsOnly[] = {"game/bin\\game.exe", "game/", "a\\b\\"};
    // "." and empty components name the folder they stand in: an archive's entries may hold them.
    const std::string entriesOnly[] = {".",      "./",      "./qxgame/a.dll", "qxgame/./a.dll", "qxgame//a.dll",
                                       "a\\.\\", "a\\\\b\\"};
    for (const auto& refused : {devices, climbing}) {
        for (const std::string& name : refused)
            EXPECT_FALSE(IsSafeFileName(name) || IsSafeRelativePath(name) || IsSafeArchiveEntryPath(name)) << name;
    }
    for (const std::string& name : names)
        EXPECT_TRUE(IsSafeFileName(name) && IsSafeRelativePath(name) && IsSafeArchiveEntryPath(name)) << name;
    for (const std::string& path : pathsOnly)
        EXPECT_TRUE(!IsSafeFileName(path) && IsSafeRelativePath(path) && IsSafeArchiveEntryPath(path)) << path;
    for (const std::string& entry : entriesOnly)
        EXPECT_TRUE(!IsSafeFileName(entry) && !IsSafeRelativePath(entry) && IsSafeArchiveEntryPath(entry)) << entry;
}
