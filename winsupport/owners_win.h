#pragma once
// Move-only owners for Windows handles, modules and COM pointers. Each owner
// knows its own empty value (NULL for most handles, INVALID_HANDLE_VALUE for
// file and search handles) and keeps GetLastError intact when it closes, so
// an owner going out of scope never hides the error a caller is about to read.
#include <windows.h>
#include <objbase.h>

#include <utility>

namespace velmora {

// Which value means "holds nothing": NULL for most handles,
// INVALID_HANDLE_VALUE for files and searches.
enum class EmptyHandle { Null, Invalid };

// Owns one handle of type T and gives it back with Close.
template <typename T, auto Close, EmptyHandle EmptyKind = EmptyHandle::Null>
class UniqueResource {
public:
    using Type = T;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type value) noexcept : value_(value) {}
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Empty(); }

    Type release() noexcept { return std::exchange(value_, Empty()); }

    void reset(Type value = Empty()) noexcept {
        const Type old = std::exchange(value_, value);
        if (old != Empty()) {
            const DWORD error = ::GetLastError();
            Close(old);
            ::SetLastError(error);
        }
    }

    // For out-parameters: closes what is held and hands out the slot for a
    // function that opens a new one.
    Type* put() noexcept {
        reset();
        return &value_;
    }

private:
    static Type Empty() noexcept {
        if constexpr (EmptyKind == EmptyHandle::Null)
            return nullptr;
        else
            return INVALID_HANDLE_VALUE;
    }

    Type value_ = Empty();
};

using UniqueHandle = UniqueResource<HANDLE, ::CloseHandle>;
using UniqueFileHandle = UniqueResource<HANDLE, ::CloseHandle, EmptyHandle::Invalid>;
using UniqueFindHandle = UniqueResource<HANDLE, ::FindClose, EmptyHandle::Invalid>;
using UniqueModule = UniqueResource<HMODULE, ::FreeLibrary>;
using UniqueFont = UniqueResource<HFONT, ::DeleteObject>;
using UniqueBitmap = UniqueResource<HBITMAP, ::DeleteObject>;
using UniqueMemoryDc = UniqueResource<HDC, ::DeleteDC>;
using UniqueWindow = UniqueResource<HWND, ::DestroyWindow>;
using UniqueRegistryKey = UniqueResource<HKEY, ::RegCloseKey>;

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (previous_) ::SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// An owned COM interface pointer: one reference, released on destruction.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* raw) noexcept {
        ComPtr p;
        p.ptr_ = raw;
        return p;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* raw) noexcept {
        if (raw) raw->AddRef();
        return Attach(raw);
    }
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) {
        if (ptr_) ptr_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() noexcept {
        if (T* old = std::exchange(ptr_, nullptr)) old->Release();
    }
    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** put() noexcept {
        reset();
        return &ptr_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    template <typename U>
    ComPtr<U> query() const noexcept {
        ComPtr<U> other;
        if (ptr_) ptr_->QueryInterface(__uuidof(U), other.put_void());
        return other;
    }

private:
    T* ptr_ = nullptr;
};

// OLE initialised for a single-threaded apartment for the owner's lifetime.
class OleInitialization {
public:
    OleInitialization() noexcept : hr_(::OleInitialize(nullptr)) {}
    ~OleInitialization() {
        if (SUCCEEDED(hr_)) ::OleUninitialize();
    }
    OleInitialization(const OleInitialization&) = delete;
    OleInitialization& operator=(const OleInitialization&) = delete;
    HRESULT Result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace velmora
