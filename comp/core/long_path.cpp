#include "core/long_path.h"

namespace velmora::engine {

std::wstring ExtendedLengthPath(std::wstring_view path) {
    if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return std::wstring(path);
    if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + std::wstring(path.substr(2));
    const bool drive = path.size() >= 2 && path[1] == L':' &&
                       ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    if (!drive) return std::wstring(path);
    return L"\\\\?\\" + std::wstring(path);
}

}  // namespace velmora::engine
