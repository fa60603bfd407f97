#pragma once
// Identity of the tab strip control.
#include <windows.h>
#include <ole2.h>

namespace velmora::controls::tab_strip {

// {15D171C9-2501-45BE-95EE-E6D6C6BCC138}
inline constexpr CLSID kClsid = {0x15D171C9, 0x2501, 0x45BE, {0x95, 0xEE, 0xE6, 0xD6, 0xC6, 0xBC, 0xC1, 0x38}};
inline constexpr wchar_t kProgId[] = L"MSComctlLib.TabStrip";

}  // namespace velmora::controls::tab_strip
