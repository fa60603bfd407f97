#pragma once
// Identity of the progress bar control and the dispatch identifiers of its
// members.
#include <windows.h>
#include <ole2.h>

namespace velmora::controls::progress_bar {

// {9FC96B7C-1715-41B5-8783-863756CC1843}
inline constexpr CLSID kClsid = {0x9FC96B7C, 0x1715, 0x41B5, {0x87, 0x83, 0x86, 0x37, 0x56, 0xCC, 0x18, 0x43}};
inline constexpr wchar_t kProgId[] = L"MBProgressBar.ProgressBar";

inline constexpr DISPID kValue = DISPID_VALUE;  // 0, the default member
inline constexpr DISPID kText = 0x68030001;
inline constexpr DISPID kMaximum = 0x6803000F;
inline constexpr DISPID kMinimum = 0x68030010;
inline constexpr DISPID kRefresh = 0x60030017;

}  // namespace velmora::controls::progress_bar
