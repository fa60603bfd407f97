#include "winsupport/parent_folder.h"

namespace velmora {

std::wstring ParentFolder(std::wstring_view path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring_view::npos) return {};
    const std::size_t drive = path.starts_with(L"\\\\?\\") ? 4 : 0;
    const bool driveRoot = separator == drive + 2 && path[drive + 1] == L':';
    return std::wstring(path.substr(0, driveRoot ? separator + 1 : separator));
}

}  // namespace velmora
