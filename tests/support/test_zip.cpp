#include "tests/support/test_zip.h"

#include <zip.h>

namespace vt {
namespace {
bool AddEntry(zipFile archive, const ZipEntry& entry)
{
    const zip_fileinfo info{};
    const int method = entry.deflated ? Z_DEFLATED : 0;
    const int raw = entry.wrongCrc ? 1 : 0;
    if (zipOpenNewFileInZip2(archive, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                             entry.deflated ? Z_DEFAULT_COMPRESSION : 0, raw) != ZIP_OK)
        return false;
    if (!entry.data.empty() &&
        zipWriteInFileInZip(archive, entry.data.data(), static_cast<unsigned>(entry.data.size())) != ZIP_OK)
        return false;
    if (!entry.wrongCrc)
        return zipCloseFileInZip(archive) == ZIP_OK;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size()));
    return zipCloseFileInZipRaw(archive, static_cast<uLong>(entry.data.size()), crc ^ 1) == ZIP_OK;
}
}  // namespace

bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries)
{
    zipFile archive = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!archive)
        return false;
    bool written = true;
    for (const ZipEntry& entry : entries)
        written = written && AddEntry(archive, entry);
    return zipClose(archive, nullptr) == ZIP_OK && written;
}

}  // namespace vt
