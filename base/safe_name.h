// The one check that a name from outside (configuration, command line, archive entry,
// server) passes before it becomes part of a path below a folder of the launcher.
// Windows reads such a name in ways its text does not show: "..", or a name made only
// of dots and spaces, names a folder above or the folder itself; a drive, a leading
// separator or a ":" (a file's stream) leaves the folder; a zero byte ends the name
// for every Windows call; and a device name (CON, NUL, COM1, ...) names the device in
// any folder, also with an extension or with dots or spaces after it.
//
// Names are 8-bit ANSI text looked at byte by byte.  A "\" that is the trail byte of a
// double-byte character counts as a separator all the same: that can only refuse more
// names, never fewer, since no climbing or device name holds such a character.
#pragma once

#include <string_view>

// True when name can stand as one entry of a folder and names nothing else: not empty,
// not made only of dots and spaces, no "\", "/", ":" or zero byte, and no device name:
// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9 and LPT0-LPT9 in any case, also with
// any extension ("nul.tar.gz") and with dots or spaces after it ("AUX ", "aux .txt",
// "nul.").
bool IsSafeFileName(std::string_view name);

// True when path stays below the folder it is joined to: relative, made of components
// separated by "\" or "/" that each pass IsSafeFileName.  One separator may end it
// (a folder's name); an empty component elsewhere, a leading one included, is refused.
bool IsSafeRelativePath(std::string_view path);

// IsSafeRelativePath for the names of an archive's entries, which zip tools write as
// "./game/a.dll" or "game//a.dll": a "." component and an empty one are taken too, since
// they name the folder they stand in.  A leading separator (an absolute path) is not.
bool IsSafeArchiveEntryPath(std::string_view path);
