// The files of the installed game package: the version file pkg.ver, the package
// name that names folder, archive and game exe, and the removal of an old package.
#pragma once

#include <windows.h>

#include "afx/afxstr.h"

// The version in the file at the executable's folder followed by name ("\pkg.ver"):
// the leading number of its last line (a final line end opens no further line); 0
// when the file is missing or holds no line.  False, with the Windows error code, when
// the file is there but cannot be read (held by another program): its version is then
// unknown, which is not 0.
bool ReadLocalPkgVersion(CString name, int& version, DWORD& error);

// Replaces pkg.ver in the executable's folder by the version in "%d", no line end.
// Written under a temporary name and renamed, so pkg.ver is never half-written.
// False (with the Windows error code) when it could not be written.
bool WritePkgVersion(int version, DWORD& error);

// Deletes dir with everything below it, read-only and hidden entries included.  A
// link, dir itself or one inside it, is removed, never followed.  True when dir is gone
// at the end.
bool DeleteDirectory(CString dir);

// Another program may hold a package file for a moment (a virus scanner, say): attempt
// is made up to kHeldFileTries times, kHeldFileRetryPauseMs apart, until it gives true.
constexpr int kHeldFileTries = 5;
constexpr DWORD kHeldFileRetryPauseMs = 200;
template <typename Attempt> bool RetryWhileHeld(Attempt attempt)
{
    for (int tries = 1;; ++tries) {
        if (attempt(tries == kHeldFileTries))
            return true;
        if (tries == kHeldFileTries)
            return false;
        Sleep(kHeldFileRetryPauseMs);
    }
}

// Removes the package folder and archive of another version, or nothing at all while
// the game exe or the archive is held by another program (a game still running from a
// second launcher), tried again as RetryWhileHeld says.  What stays is logged; false
// when the old version would be taken for the new one: its game exe or its archive is
// left.
bool DeleteOutdatedPackage(const CString& packageFolder, const CString& archive, const CString& gameExe);

// A package name names one folder beside the executable (IsSafeFileName): never one
// made only of dots and spaces, a device, nor anything holding "\", "/" or ":".  Nor
// one ending in a dot or a blank: Windows drops those from a path's last name, so the
// folder made would not be the one the game exe is looked for in.  The update's package
// file is named by the same check.
bool IsSafePackageName(const CString& name);
