#include "startup/startup_operations_win.h"

#include <windows.h>

#include <string>

namespace velmora {

bool LoadLibraryForGood(std::wstring_view fileName) {
    // The handle is dropped on purpose: the load test keeps what it loaded.
    return ::LoadLibraryW(std::wstring(fileName).c_str()) != nullptr;
}

}  // namespace velmora
