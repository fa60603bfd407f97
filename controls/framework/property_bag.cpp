#include "framework/property_bag.h"

#include "framework/variant.h"

namespace velmora::controls {
namespace {

// Asks for `type`; the bag may answer in another type, which the caller
// coerces. False when the bag has nothing under the name.
bool Read(IPropertyBag* bag, const wchar_t* name, VARTYPE type, Variant& value) {
    value.vt = type;
    return SUCCEEDED(bag->Read(name, &value, nullptr));
}

HRESULT Write(IPropertyBag* bag, const wchar_t* name, VARIANT& value) { return bag->Write(name, &value); }

}  // namespace

void ReadInt(IPropertyBag* bag, const wchar_t* name, LONG& value) {
    Variant read;
    if (Read(bag, name, VT_I4, read)) ToInt32(read, value);
}

void ReadBool(IPropertyBag* bag, const wchar_t* name, bool& value) {
    Variant read;
    if (Read(bag, name, VT_BOOL, read)) ToBool(read, value);
}

void ReadColor(IPropertyBag* bag, const wchar_t* name, OLE_COLOR& value) {
    Variant read;
    if (Read(bag, name, VT_I4, read)) ToColor(read, value);
}

void ReadText(IPropertyBag* bag, const wchar_t* name, std::wstring& value) {
    Variant read;
    if (Read(bag, name, VT_BSTR, read)) ToText(read, value);
}

void ReadFont(IPropertyBag* bag, const wchar_t* name, FontSpec& value) {
    Variant read;
    if (!Read(bag, name, VT_DISPATCH, read)) return;
    IUnknown* object = nullptr;
    if (read.vt == VT_DISPATCH) object = read.pdispVal;
    if (read.vt == VT_UNKNOWN) object = read.punkVal;
    if (!object) return;
    ComPtr<IFont> font;
    if (SUCCEEDED(object->QueryInterface(IID_IFont, font.put_void()))) ReadOleFont(font.get(), value);
}

HRESULT WriteInt(IPropertyBag* bag, const wchar_t* name, LONG value) {
    Variant v;
    v.vt = VT_I4;
    v.lVal = value;
    return Write(bag, name, v);
}

HRESULT WriteBool(IPropertyBag* bag, const wchar_t* name, bool value) {
    Variant v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return Write(bag, name, v);
}

HRESULT WriteColor(IPropertyBag* bag, const wchar_t* name, OLE_COLOR value) {
    return WriteInt(bag, name, static_cast<LONG>(value));
}

HRESULT WriteText(IPropertyBag* bag, const wchar_t* name, const std::wstring& value) {
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    if (!v.bstrVal) return E_OUTOFMEMORY;
    return Write(bag, name, v);
}

HRESULT WriteFont(IPropertyBag* bag, const wchar_t* name, const FontSpec& value) {
    Variant v;
    v.vt = VT_DISPATCH;
    const HRESULT hr = CreateOleFont(value)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&v.pdispVal));
    if (FAILED(hr)) return hr;
    return Write(bag, name, v);
}

HRESULT WriteEmpty(IPropertyBag* bag, const wchar_t* name) {
    Variant v;
    return Write(bag, name, v);
}

HRESULT FirstFailure(std::initializer_list<HRESULT> results) {
    for (const HRESULT hr : results) {
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace velmora::controls
