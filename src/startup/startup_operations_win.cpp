#include "startup/startup_operations_win.h"

#include <windows.h>

#include <vector>

#include "common/owners_win.h"
#include "common/system_error_win.h"
#include "common/text_conversion_win.h"

namespace velmora {

std::wstring ExecutableFolder() {
    // Paths may be longer than MAX_PATH; grow until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) throw FailureFromLastError();
        if (length < size) {
            std::wstring path(buffer.data(), length);
            const size_t separator = path.find_last_of(L'\\');
            if (separator == std::wstring::npos) throw FailureFromError(ERROR_BAD_PATHNAME);
            path.resize(separator);
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
}

void EnterFolder(const std::wstring& folder) {
    if (!::SetCurrentDirectoryW(folder.c_str())) throw FailureFromLastError();
}

bool LoadLibraryForGood(std::wstring_view fileName) {
    // Library names cross into the system in its 8-bit code page. The handle
    // is dropped on purpose: the load test keeps what it loaded.
    return ::LoadLibraryA(ToSystemCodePage(fileName).c_str()) != nullptr;
}

void StartMinimised(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION started{};
    // CreateProcessW may write into the command line it is given.
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started))
        throw FailureFromLastError();
    // Not waited for: the handles are only closed.
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
}

void ShowPlainMessage(std::wstring_view text, std::wstring_view caption) {
    const std::wstring terminatedText(text);
    const std::wstring terminatedCaption(caption);
    ::MessageBoxW(nullptr, terminatedText.c_str(), terminatedCaption.c_str(), MB_OK);
}

}  // namespace velmora
