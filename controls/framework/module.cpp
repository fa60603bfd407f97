#include "framework/module.h"

#include <atomic>

#include "winsupport/system_text_win.h"

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

std::wstring ThisModulePath() { return ModulePath(ThisModule()); }

void LockModule() noexcept { ++moduleUsers; }
void UnlockModule() noexcept { --moduleUsers; }
bool ModuleInUse() noexcept { return moduleUsers.load() != 0; }

}  // namespace velmora::controls
