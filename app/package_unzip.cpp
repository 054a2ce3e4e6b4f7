#include "app/package_unzip.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/safe_name.h"

namespace {
// A name of up to 511 bytes and its terminating zero.
constexpr unsigned kNameBufferSize = 512;
// An entry is read and written in pieces of at most this size.  Every write is a system
// call, dearer under Wine: 256 KiB pieces took a fifth off the unpacker's own time
// against 4 KiB ones.  Memory stays flat: one buffer, whatever the entry's size.
constexpr unsigned kCopyBufferSize = 256 * 1024;

bool IsSeparator(char ch)
{
    return ch == '/' || ch == '\\';
}

// Copies the open entry into file.  False on damaged data or a short write.
bool CopyEntry(unzFile archive, FILE* file)
{
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBufferSize]);
    if (!buffer)
        return false;
    for (;;) {
        const int read = unzReadCurrentFile(archive, buffer.get(), kCopyBufferSize);
        if (read <= 0)
            return read == 0;
        if (std::fwrite(buffer.get(), 1, static_cast<size_t>(read), file) != static_cast<size_t>(read))
            return false;
    }
}

// Opens path for writing as fopen's "wb" does (made, or emptied when it exists), but
// empties only a file that holds bytes: Wine empties every file opened to be made anew,
// even one it has just made, and Linux file systems write a file emptied that way out to
// disk when it is closed, which cost about 5% of an unpacking.
FILE* OpenForWriting(const std::string& path)
{
    const int handle = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (handle < 0)
        return nullptr;
    // A pipe or device has no length (-1) and nothing to empty.
    FILE* file = _filelengthi64(handle) <= 0 || _chsize(handle, 0) == 0 ? _fdopen(handle, "wb") : nullptr;
    if (!file)
        _close(handle);
    return file;
}

// Writes the current entry to path.  A file that could not be written whole, or whose
// data fails the entry's CRC, is removed again: no damaged file stays under its final
// name (a damaged game executable would pass for an installed game).
bool ExtractFileEntry(unzFile archive, const std::string& path)
{
    FILE* file = OpenForWriting(path);
    if (!file)
        return false;
    bool written = unzOpenCurrentFile(archive) == UNZ_OK;
    if (written) {
        written = CopyEntry(archive, file);
        // The CRC is checked here, once the whole entry has been read.
        written = unzCloseCurrentFile(archive) == UNZ_OK && written;
    }
    // A write that the runtime still held fails at the close.
    written = std::fclose(file) == 0 && written;
    if (!written)
        std::remove(path.c_str());
    return written;
}

// An archive without entries is nothing but its end record ("PK\5\6", the counts, the
// comment).  minizip looks for that record everywhere but at the file's first byte, so it
// cannot open such an archive: it is recognised here.
bool IsEmptyArchive(const std::string& zipPath)
{
    constexpr size_t kEndRecordSize = 22;
    FILE* file = nullptr;
    if (fopen_s(&file, zipPath.c_str(), "rb") != 0 || !file)
        return false;
    unsigned char record[kEndRecordSize] = {};
    const size_t read = std::fread(record, 1, sizeof(record), file);
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    std::fclose(file);
    const auto field = [&record](size_t at) { return record[at] | record[at + 1] << 8; };
    return read >= kEndRecordSize && std::memcmp(record, "PK\5\6", 4) == 0 && field(8) == 0 && field(10) == 0 &&
           size == static_cast<long>(kEndRecordSize) + field(20);
}
}  // namespace

bool ExtractCurrentFile(unzFile archive, const char* destDir)
{
    char name[kNameBufferSize] = {};
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(archive, &info, name, sizeof(name), nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    // A name that does not fit is refused rather than cut.  The check sees every byte the
    // archive gives, a zero byte included: Windows would cut the name there.
    if (info.size_filename >= sizeof(name) || !IsSafeArchiveEntryPath(std::string_view(name, info.size_filename)))
        return false;
    const std::string path = std::string(destDir) + "\\" + name;
    if (IsSeparator(path.back())) {
        _mkdir(path.c_str());  // an existing folder is fine; a missing parent shows at its first file
        return true;
    }
    return ExtractFileEntry(archive, path);
}

bool UnzipPackage(const std::string& zipPath, const std::string& destDir)
{
    unzFile archive = unzOpen(zipPath.c_str());
    if (!archive)
        return IsEmptyArchive(zipPath);
    unz_global_info64 global{};
    bool unpacked = unzGetGlobalInfo64(archive, &global) == UNZ_OK;
    for (ZPOS64_T i = 0; unpacked && i < global.number_entry; ++i) {
        unpacked = ExtractCurrentFile(archive, destDir.c_str()) &&
                   (i + 1 == global.number_entry || unzGoToNextFile(archive) == UNZ_OK);
    }
    unzClose(archive);
    return unpacked;
}
