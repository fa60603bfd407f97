#include "winsupport/system_text_win.h"

#include "winsupport/message_inserts.h"
#include "winsupport/parent_folder.h"

namespace velmora {

std::wstring SystemErrorText(DWORD code, std::span<const std::wstring> inserts) {
    // Inserts are left in the text by the system and filled here: asked to
    // fill them itself it would read arguments for every insert the text
    // happens to hold.
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length && buffer) text = FillInserts(std::wstring_view(buffer, length), inserts);
    ::LocalFree(buffer);
    // The system ends its texts with a line break, which has no place in a
    // one-line report.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

std::wstring ModulePath(HMODULE module) {
    // Paths may be longer than MAX_PATH; grow until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ModuleFolder(HMODULE module) { return ParentFolder(ModulePath(module)); }

}  // namespace velmora
