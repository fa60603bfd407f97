#pragma once
// An owned VARIANT and the coercions the controls accept their values by:
// whatever VariantChangeType turns into the wanted type, by value or by
// reference.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

namespace velmora::controls {

struct Variant : VARIANT {
    Variant() noexcept : VARIANT{} { ::VariantInit(this); }
    ~Variant() { ::VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW when the value does not convert.
HRESULT ToInt32(const VARIANT& value, LONG& result);
HRESULT ToBool(const VARIANT& value, bool& result);
HRESULT ToText(const VARIANT& value, std::wstring& result);
// Colours arrive as signed or unsigned 32-bit numbers; system colours have
// the top bit set, so both readings of the same bits are accepted.
HRESULT ToColor(const VARIANT& value, OLE_COLOR& result);

}  // namespace velmora::controls
