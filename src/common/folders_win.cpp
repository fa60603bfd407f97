#include "common/folders_win.h"

#include <windows.h>

#include "common/folder_path.h"
#include "common/system_error_win.h"

namespace velmora {

std::wstring ApplicationFolder() {
    // Paths may be longer than MAX_PATH; grow until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) throw FailureFromLastError();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::optional<std::wstring> folder = FolderOfFile(path);
    if (!folder) throw FailureFromError(ERROR_BAD_PATHNAME);
    return *std::move(folder);
}

void SetWorkingFolder(const std::wstring& folder) {
    if (!::SetCurrentDirectoryW(folder.c_str())) throw FailureFromLastError();
}

}  // namespace velmora
