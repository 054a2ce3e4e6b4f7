// How the launch pipeline reaches the main window and its content, and the files it
// fetches under a temporary name.  Without a main window (the pipeline driven on its
// own) the window calls do nothing and boxes have no owner.
#pragma once

#include <windows.h>

#include "afx/afxstr.h"
#include "ui/content_dlg.h"

HWND PipelineWindow();
IContentDlg* PipelineContent();
void SetPipelineTimer(UINT_PTR id, UINT elapseMs);
void KillPipelineTimer(UINT_PTR id);
// A box with an OK button owned by the main window; waits for the user.
void ShowPipelineBox(const CString& text, const char* caption);

// shellcfg.ini beside the executable.
CString ShellConfigPath();
// <folder>\<pkg>\<pkg>_Data\<name> of the game package; "" when the configured package
// name names no folder.
CString GameDataPath(const CString& name);

// path without its ".downloading" suffix.
CString WithoutDownloadingSuffix(const CString& path);

// Gives a finished download at partPath its final name (without the suffix), replacing
// an earlier file there.  On failure the part is removed, an earlier file stays, and
// error holds the Windows error code.
bool CommitDownloadedFile(const CString& partPath, DWORD& error);

// The value of key used as a printf format with the arguments that follow, whose kinds
// ('s' text, 'd' int) kinds lists.  A value whose conversions do not fit them is
// refused with a log line and counts as not configured: the result is "".
CString FormatConfiguredValue(const char* key, const char* kinds, ...);
// The same for a format read elsewhere (shellcfg.ini), logged under name.
CString FormatCheckedValue(const char* name, const CString& format, const char* kinds, ...);

// The package name from the configuration, or "" (with a log line) when it is not one
// that names a folder beside the executable.
CString ConfiguredPackageName();
