#include "window/property_bag_win.h"

#include <olectl.h>

#include <cmath>
#include <cwchar>

namespace velmora {

ComPtr<PropertyBag> PropertyBag::Create() { return ComPtr<PropertyBag>::Attach(new PropertyBag); }

void PropertyBag::Add(std::wstring name, const Variant& value) { properties_.emplace_back(std::move(name), value); }

void* PropertyBag::FindInterface(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IPropertyBag) return static_cast<IPropertyBag*>(this);
    return nullptr;
}

HRESULT PropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    if (!name || !value) return E_POINTER;
    for (auto& [key, stored] : properties_) {
        // Names are matched without regard to case, as containers do.
        if (::_wcsicmp(key.c_str(), name) != 0) continue;
        const VARTYPE wanted = value->vt;
        ::VariantInit(value);
        if (wanted == VT_EMPTY || wanted == stored.vt) return ::VariantCopy(value, &stored);
        return ::VariantChangeType(value, &stored, 0, wanted);
    }
    return E_INVALIDARG;
}

HRESULT PropertyBag::Write(LPCOLESTR name, VARIANT* value) {
    if (!name || !value) return E_POINTER;
    Variant copy;
    const HRESULT hr = ::VariantCopy(&copy, value);
    if (FAILED(hr)) return hr;
    for (auto& [key, stored] : properties_) {
        if (::_wcsicmp(key.c_str(), name) == 0) {
            stored = copy;
            return S_OK;
        }
    }
    properties_.emplace_back(name, copy);
    return S_OK;
}

ComPtr<IUnknown> CreateFontObject(const wchar_t* face, double points, short weight) {
    FONTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.lpstrName = const_cast<LPOLESTR>(face);
    description.cySize.int64 = std::llround(points * 10000.0);  // CY: four decimals
    description.sWeight = weight;
    description.sCharset = ANSI_CHARSET;
    ComPtr<IUnknown> font;
    ::OleCreateFontIndirect(&description, IID_IFontDisp, font.put_void());
    return font;
}

}  // namespace velmora
