#include "tests/support/test_zip.h"

#include <zip.h>

namespace vt {
namespace {
bool AddEntry(zipFile archive, const ZipEntry& entry)
{
    const zip_fileinfo info{};
    const uLong size = static_cast<uLong>(entry.data.size());
    // A wrong CRC needs the raw mode, in which the data goes in as given.
    if (zipOpenNewFileInZip2(archive, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                             entry.deflated ? Z_DEFLATED : 0, entry.deflated ? Z_DEFAULT_COMPRESSION : 0,
                             entry.wrongCrc) != ZIP_OK ||
        (size && zipWriteInFileInZip(archive, entry.data.data(), size) != ZIP_OK))
        return false;
    if (!entry.wrongCrc)
        return zipCloseFileInZip(archive) == ZIP_OK;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), size);
    return zipCloseFileInZipRaw(archive, size, crc ^ 1) == ZIP_OK;
}
}  // namespace

bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries)
{
    zipFile archive = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    bool written = archive != nullptr;
    for (const ZipEntry& entry : entries)
        written = written && AddEntry(archive, entry);
    return archive && zipClose(archive, nullptr) == ZIP_OK && written;
}
}  // namespace vt
