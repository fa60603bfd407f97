#include <windows.h>

#include "winsupport/owners_win.h"
#include "window/file_exists.h"

namespace velmora {

bool FileExists(const std::wstring& path, std::uint32_t mask) {
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle search(::FindFirstFileW(path.c_str(), &entry));
    if (!search) return false;
    do {
        if (EntryMatchesMask(entry.dwFileAttributes, mask)) return true;
    } while (::FindNextFileW(search.get(), &entry));
    return false;
}

}  // namespace velmora
