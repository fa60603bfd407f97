#pragma once
// The library's own module handle and its count of live objects and server
// locks, which DllCanUnloadNow answers from.
#include <windows.h>

#include <string>

namespace velmora::controls {

HMODULE ThisModule() noexcept;
// Full path of this library file, as the registry records it.
std::wstring ThisModulePath();

void LockModule() noexcept;
void UnlockModule() noexcept;
bool ModuleInUse() noexcept;

// Held by every object the library hands out, so the library stays loaded
// while any of them lives.
class ModuleReference {
public:
    ModuleReference() noexcept { LockModule(); }
    ~ModuleReference() { UnlockModule(); }
    ModuleReference(const ModuleReference&) = delete;
    ModuleReference& operator=(const ModuleReference&) = delete;
};

}  // namespace velmora::controls
