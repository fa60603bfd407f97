#pragma once
// The one owned VARIANT: it clears what it holds when it goes and copies
// deeply. It is a VARIANT, so it goes wherever one is asked for, and its
// fields are the VARIANT's own.
#include <windows.h>
#include <oleauto.h>

#include <string_view>

namespace velmora {

struct Variant : VARIANT {
    Variant() noexcept : VARIANT{} { ::VariantInit(this); }
    // A deep copy of the value (a string is copied, an object gains a
    // reference).
    explicit Variant(const VARIANT& value) : Variant() { ::VariantCopy(this, &const_cast<VARIANT&>(value)); }
    Variant(const Variant& other) : Variant(static_cast<const VARIANT&>(other)) {}
    Variant& operator=(const Variant& other);
    ~Variant() { ::VariantClear(this); }

    // Clears it and hands it out to be filled, as an out parameter is.
    VARIANT* put() noexcept {
        ::VariantClear(this);
        return this;
    }
    // Hands what it holds over to the caller and is left empty.
    VARIANT release() noexcept;

    static Variant Int32(LONG value);
    static Variant Bool(bool value);
    static Variant Text(std::wstring_view value);
    // Adds a reference; null means "none".
    static Variant Object(IUnknown* value, VARTYPE type = VT_UNKNOWN);
};

}  // namespace velmora
