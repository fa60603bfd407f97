#include "startup/startup_operations_win.h"

#include <windows.h>

#include "winsupport/text_win.h"

namespace velmora {

bool LoadLibraryForGood(std::wstring_view fileName) {
    // Library names cross into the system in its 8-bit code page. The handle
    // is dropped on purpose: the load test keeps what it loaded.
    return ::LoadLibraryA(ToSystemCodePage(fileName).c_str()) != nullptr;
}

}  // namespace velmora
