#pragma once
// Reading and writing single settings through a container's property bag.
// A setting the bag lacks, or gives in a form that does not convert, leaves
// the current value as it is: the control keeps its default.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <string>

#include "framework/font.h"

namespace velmora::controls {

void ReadInt(IPropertyBag* bag, const wchar_t* name, LONG& value);
void ReadBool(IPropertyBag* bag, const wchar_t* name, bool& value);
void ReadColor(IPropertyBag* bag, const wchar_t* name, OLE_COLOR& value);
void ReadText(IPropertyBag* bag, const wchar_t* name, std::wstring& value);
// Accepts an IFont given as VT_UNKNOWN or VT_DISPATCH; an empty value keeps
// the current font.
void ReadFont(IPropertyBag* bag, const wchar_t* name, FontSpec& value);

HRESULT WriteInt(IPropertyBag* bag, const wchar_t* name, LONG value);
HRESULT WriteBool(IPropertyBag* bag, const wchar_t* name, bool value);
HRESULT WriteColor(IPropertyBag* bag, const wchar_t* name, OLE_COLOR value);
HRESULT WriteText(IPropertyBag* bag, const wchar_t* name, const std::wstring& value);
HRESULT WriteFont(IPropertyBag* bag, const wchar_t* name, const FontSpec& value);
// VT_EMPTY: how a picture setting says "no picture".
HRESULT WriteEmpty(IPropertyBag* bag, const wchar_t* name);

// The first failure among results evaluated in order, or S_OK.
HRESULT FirstFailure(std::initializer_list<HRESULT> results);

}  // namespace velmora::controls
