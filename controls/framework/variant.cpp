#include "framework/variant.h"

namespace velmora::controls {
namespace {

HRESULT Coerce(const VARIANT& value, VARTYPE type, Variant& result) {
    // VariantChangeType follows VT_BYREF itself and leaves the source alone.
    return ::VariantChangeType(&result, const_cast<VARIANT*>(&value), 0, type);
}

}  // namespace

HRESULT ToInt32(const VARIANT& value, LONG& result) {
    Variant converted;
    const HRESULT hr = Coerce(value, VT_I4, converted);
    if (SUCCEEDED(hr)) result = converted.lVal;
    return hr;
}

HRESULT ToBool(const VARIANT& value, bool& result) {
    Variant converted;
    const HRESULT hr = Coerce(value, VT_BOOL, converted);
    if (SUCCEEDED(hr)) result = converted.boolVal != VARIANT_FALSE;
    return hr;
}

HRESULT ToText(const VARIANT& value, std::wstring& result) {
    Variant converted;
    const HRESULT hr = Coerce(value, VT_BSTR, converted);
    if (SUCCEEDED(hr)) result.assign(converted.bstrVal ? converted.bstrVal : L"", ::SysStringLen(converted.bstrVal));
    return hr;
}

HRESULT ToColor(const VARIANT& value, OLE_COLOR& result) {
    Variant converted;
    HRESULT hr = Coerce(value, VT_I4, converted);
    if (SUCCEEDED(hr)) {
        result = static_cast<OLE_COLOR>(converted.lVal);
        return hr;
    }
    // An unsigned value above the signed range, such as a system colour.
    hr = Coerce(value, VT_UI4, converted);
    if (SUCCEEDED(hr)) result = converted.ulVal;
    return hr;
}

}  // namespace velmora::controls
