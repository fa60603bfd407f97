#pragma once
// Identity of the rich text box control and its one dispatch member.
#include <windows.h>
#include <ole2.h>

namespace velmora::controls::rich_text_box {

// {383BC559-48BC-4057-A6F3-DC389244F401}
inline constexpr CLSID kClsid = {0x383BC559, 0x48BC, 0x4057, {0xA6, 0xF3, 0xDC, 0x38, 0x92, 0x44, 0xF4, 0x01}};
inline constexpr wchar_t kProgId[] = L"RichTextLib.RichTextBox";

inline constexpr DISPID kText = DISPID_VALUE;

}  // namespace velmora::controls::rich_text_box
