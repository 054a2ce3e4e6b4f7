// Folders of local paths: the parent of a file and the creation of missing levels.
// Paths are 8-bit ANSI text; a trail byte of a double-byte character is never
// taken for a separator.
#pragma once

#include <windows.h>

#include <string>

// Everything before the last "\" or "/" of path; "" when it has none.
std::string ParentFolder(const std::string& path);

bool IsExistingFolder(const std::string& folder);

// Creates folder with every missing level above it.  True when it exists at the
// end; else false with the Windows error code of the level that failed.
bool CreateFolderTree(const std::string& folder, DWORD& error);
