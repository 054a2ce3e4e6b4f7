// The files of the installed game package: the version file pkg.ver, the package
// name that names folder, archive and game exe, and the removal of an old package.
#pragma once

#include <windows.h>

#include "afx/afxstr.h"

// The version in the file at the executable's folder followed by name ("\pkg.ver"):
// the leading number of its last line (a final line end opens no further line); 0
// when the file cannot be read or holds no line.
int ReadLocalPkgVersion(CString name);

// Replaces pkg.ver in the executable's folder by the version in "%d", no line end.
// Written under a temporary name and renamed, so pkg.ver is never half-written.
// False (with the Windows error code) when it could not be written.
bool WritePkgVersion(int version, DWORD& error);

// Deletes dir with everything below it, read-only and hidden entries included.  A
// link inside it is removed, never followed.  True when dir is gone at the end.
bool DeleteDirectory(CString dir);

// A package name names one folder beside the executable (IsSafeFileName): never one
// made only of dots and spaces, a device, nor anything holding "\", "/" or ":".
bool IsSafePackageName(const CString& name);
