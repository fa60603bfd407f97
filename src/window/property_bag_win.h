#pragma once
// A property bag of our own, holding a control's persisted settings by name,
// handed to the control's IPersistPropertyBag::Load.
#include <ocidl.h>
#include <oleauto.h>

#include <string>
#include <utility>
#include <vector>

#include "winsupport/owners_win.h"
#include "winsupport/variant_win.h"

namespace velmora {

class PropertyBag final : public IPropertyBag {
public:
    static ComPtr<PropertyBag> Create();

    void Add(std::wstring name, const Variant& value);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IPropertyBag
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

private:
    PropertyBag() = default;
    ~PropertyBag() = default;
    ULONG references_ = 1;
    std::vector<std::pair<std::wstring, Variant>> properties_;
};

// A font object as controls persist it.
ComPtr<IUnknown> CreateFontObject(const wchar_t* face, double points, short weight);

}  // namespace velmora
