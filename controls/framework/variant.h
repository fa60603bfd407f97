#pragma once
// The coercions the controls accept their values by: whatever
// VariantChangeType turns into the wanted type, by value or by reference.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

#include "winsupport/variant_win.h"

namespace velmora::controls {

// DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW when the value does not convert.
HRESULT ToInt32(const VARIANT& value, LONG& result);
HRESULT ToBool(const VARIANT& value, bool& result);
HRESULT ToText(const VARIANT& value, std::wstring& result);
// Colours arrive as signed or unsigned 32-bit numbers; system colours have
// the top bit set, so both readings of the same bits are accepted.
HRESULT ToColor(const VARIANT& value, OLE_COLOR& result);

}  // namespace velmora::controls
