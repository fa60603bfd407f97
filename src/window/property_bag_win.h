#pragma once
// A property bag of our own, holding a control's persisted settings by name,
// handed to the control's IPersistPropertyBag::Load.
#include <ocidl.h>
#include <oleauto.h>

#include <string>
#include <utility>
#include <vector>

#include "common/owners_win.h"

namespace velmora {

// A VARIANT that clears itself.
class Variant {
public:
    Variant() noexcept { ::VariantInit(&value_); }
    ~Variant() { ::VariantClear(&value_); }
    Variant(const Variant& other) : Variant() { ::VariantCopy(&value_, other.source()); }
    Variant& operator=(const Variant&) = delete;

    static Variant Int32(long value);
    static Variant Bool(bool value);
    static Variant Text(const wchar_t* value);
    static Variant Object(IUnknown* value);  // adds a reference; null means "none"

    VARIANT* get() noexcept { return &value_; }
    // For the system's copy and conversion functions, some of whose
    // declarations lack const on the source although they never change it.
    VARIANT* source() const noexcept { return const_cast<VARIANT*>(&value_); }

private:
    VARIANT value_;
};

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
