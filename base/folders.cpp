#include "base/folders.h"

#include <vector>

#include "afx/afxstr.h"

namespace {
bool IsSeparator(char ch)
{
    return ch == '\\' || ch == '/';
}

// Byte positions of the separators in path, stepping over double-byte characters.
std::vector<size_t> SeparatorPositions(const std::string& path)
{
    std::vector<size_t> positions;
    for (size_t pos = 0; pos < path.size(); pos += AfxCharLength(path.c_str() + pos)) {
        if (IsSeparator(path[pos]))
            positions.push_back(pos);
    }
    return positions;
}

// How many leading separators belong to the root and are never created: the
// "\\server\share\" of a network path, else none (a drive "C:" exists or fails on its own).
size_t RootSeparatorCount(const std::string& path)
{
    return path.size() > 1 && IsSeparator(path[0]) && IsSeparator(path[1]) ? 4 : 0;
}

bool CreateOneLevel(const std::string& folder, DWORD& error)
{
    if (folder.empty() || IsExistingFolder(folder))
        return true;
    if (CreateDirectoryA(folder.c_str(), nullptr))
        return true;
    error = GetLastError();
    // Another creator may have made it between the test and the call.
    return IsExistingFolder(folder);
}
}  // namespace

std::string ParentFolder(const std::string& path)
{
    const std::vector<size_t> separators = SeparatorPositions(path);
    return separators.empty() ? std::string() : path.substr(0, separators.back());
}

bool IsExistingFolder(const std::string& folder)
{
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolderTree(const std::string& folder, DWORD& error)
{
    error = 0;
    if (IsExistingFolder(folder))
        return true;
    const std::vector<size_t> separators = SeparatorPositions(folder);
    for (size_t i = RootSeparatorCount(folder); i < separators.size(); ++i) {
        if (separators[i] > 0 && !CreateOneLevel(folder.substr(0, separators[i]), error))
            return false;
    }
    return CreateOneLevel(folder, error);
}
