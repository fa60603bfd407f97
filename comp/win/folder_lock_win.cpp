#include "folder_lock_win.h"

#include "error_text_win.h"

namespace velmora::engine {

Result<FolderLock> FolderLock::Acquire(const std::wstring& lockPath) {
    UniqueFileHandle file(::CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        return EngineError{EngineStatus::ServerError,
                           error == ERROR_SHARING_VIOLATION
                               ? "another engine works on this folder (" + Utf8(lockPath) + " is held)"
                               : "cannot open " + Utf8(lockPath) + ": " + ErrorText(error)};
    }
    return FolderLock(std::move(file));
}

}  // namespace velmora::engine
