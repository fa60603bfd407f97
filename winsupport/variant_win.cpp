#include "winsupport/variant_win.h"

namespace velmora {

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        ::VariantClear(this);
        ::VariantCopy(this, &const_cast<Variant&>(other));
    }
    return *this;
}

VARIANT Variant::release() noexcept {
    const VARIANT value = *this;
    ::VariantInit(this);
    return value;
}

Variant Variant::Int32(LONG value) {
    Variant v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

Variant Variant::Bool(bool value) {
    Variant v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::Text(std::wstring_view value) {
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return v;
}

Variant Variant::Object(IUnknown* value, VARTYPE type) {
    Variant v;
    v.vt = type;
    v.punkVal = value;
    if (value) value->AddRef();
    return v;
}

}  // namespace velmora
