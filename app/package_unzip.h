// Unpacking of the game package: a zip archive streamed entry by entry through minizip.
#pragma once

#include <unzip.h>

#include <string>

// Unpacks every entry of the archive at zipPath into the folder destDir, in the order of
// the archive's central directory.  True only when the archive could be opened and every
// entry was unpacked; an archive without entries gives true.  Entries written before a
// failing one stay on disk.
bool UnzipPackage(const std::string& zipPath, const std::string& destDir);

// Unpacks the archive's current entry into destDir: a folder entry (a name ending in "/"
// or "\") creates that one folder, a file entry is written anew.  A name that would land
// outside destDir or name a device (IsSafeArchiveEntryPath) is refused before anything of the
// entry is written.  True on success.
bool ExtractCurrentFile(unzFile archive, const char* destDir);
