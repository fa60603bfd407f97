#pragma once
// A property bag of our own, holding a control's persisted settings by name,
// handed to the control's IPersistPropertyBag::Load.
#include <ocidl.h>
#include <oleauto.h>

#include <string>
#include <utility>
#include <vector>

#include "winsupport/com_object_win.h"
#include "winsupport/owners_win.h"
#include "winsupport/variant_win.h"

namespace velmora {

class PropertyBag final : public ComObject<IPropertyBag> {
public:
    static ComPtr<PropertyBag> Create();

    void Add(std::wstring name, const Variant& value);

    // IPropertyBag
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

private:
    PropertyBag() = default;
    ~PropertyBag() override = default;
    void* FindInterface(REFIID iid) noexcept override;

    std::vector<std::pair<std::wstring, Variant>> properties_;
};

// A font object as controls persist it.
ComPtr<IUnknown> CreateFontObject(const wchar_t* face, double points, short weight);

}  // namespace velmora
