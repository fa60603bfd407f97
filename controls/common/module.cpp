#include "common/module.h"

#include <atomic>

namespace velmora::controls {
namespace {

std::atomic<long> moduleUsers{0};

}  // namespace

HMODULE ThisModule() noexcept {
    // The library is linked from these objects, so the module that holds
    // this function is the library itself; no DllMain is needed to learn it.
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

std::wstring ThisModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void LockModule() noexcept { ++moduleUsers; }
void UnlockModule() noexcept { --moduleUsers; }
bool ModuleInUse() noexcept { return moduleUsers.load() != 0; }

}  // namespace velmora::controls
