#include "common/folder_path.h"

namespace velmora {

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path += name;
    return path;
}

std::optional<std::wstring> FolderOfFile(std::wstring_view path) {
    const std::size_t separator = path.find_last_of(L'\\');
    if (separator == std::wstring_view::npos) return std::nullopt;
    const bool driveRoot = separator > 0 && path[separator - 1] == L':';
    return std::wstring(path.substr(0, driveRoot ? separator + 1 : separator));
}

}  // namespace velmora
