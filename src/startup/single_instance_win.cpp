#include "startup/single_instance_win.h"

#include <windows.h>

#include <string>

#include "startup/single_instance.h"
#include "window/updater_window_win.h"
#include "winsupport/parent_folder.h"
#include "winsupport/system_text_win.h"

namespace velmora {
namespace {

// The folder's long form, so that a start through a short (8.3) name of it
// counts as the same folder; the path as it is when the system cannot tell.
std::wstring LongForm(const std::wstring& path) {
    const DWORD length = ::GetLongPathNameW(path.c_str(), nullptr, 0);
    if (length == 0) return path;
    std::wstring longPath(length, L'\0');
    const DWORD written = ::GetLongPathNameW(path.c_str(), longPath.data(), length);
    if (written == 0 || written >= length) return path;
    longPath.resize(written);
    return longPath;
}

std::wstring NameForFolder(const std::wstring& folder) { return SingleInstanceName(LongForm(folder)); }

// The full path of another process's program; empty when the system will
// not tell.
std::wstring ProgramOfProcess(DWORD processId) {
    const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        auto length = static_cast<DWORD>(path.size());
        if (::QueryFullProcessImageNameW(process.get(), 0, path.data(), &length)) {
            path.resize(length);
            return path;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

struct WindowSearch {
    std::wstring folderName;
    HWND found = nullptr;
};

BOOL CALLBACK ConsiderWindow(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<WindowSearch*>(lParam);
    wchar_t className[64] = {};
    if (!::GetClassNameW(window, className, static_cast<int>(std::size(className))) ||
        std::wstring_view(className) != kUpdaterWindowClass || !::IsWindowVisible(window))
        return TRUE;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    const std::wstring program = ProgramOfProcess(processId);
    // Updaters of other installs keep their windows where they are.
    if (program.empty() || NameForFolder(ParentFolder(program)) != search.folderName) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

FolderClaim ClaimApplicationFolder() {
    FolderClaim claim;
    const std::wstring folder = ModuleFolder(nullptr);
    if (folder.empty()) return claim;
    claim.mutex.reset(::CreateMutexW(nullptr, FALSE, NameForFolder(folder).c_str()));
    // A mutex of that name that this process may not open (made by an
    // updater running elevated, say) is held by another updater just the
    // same.
    const DWORD error = ::GetLastError();
    claim.heldByAnother = claim.mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    if (claim.heldByAnother) claim.mutex.reset();
    return claim;
}

void BringRunningUpdaterForward() {
    const std::wstring folder = ModuleFolder(nullptr);
    if (folder.empty()) return;
    WindowSearch search{NameForFolder(folder)};
    ::EnumWindows(ConsiderWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return;
    if (::IsIconic(search.found)) ::ShowWindow(search.found, SW_RESTORE);
    ::SetForegroundWindow(search.found);
}

}  // namespace velmora
