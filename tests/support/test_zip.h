// Small zip archives built in a test with minizip's writer.
#pragma once

#include <string>
#include <vector>

namespace vt {
struct ZipEntry {
    std::string name;  // a name ending in "/" or "\" is a folder entry
    std::string data;
    bool deflated = false;
    bool wrongCrc = false;  // stored with a CRC that its data does not match
};
bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries);
}  // namespace vt
