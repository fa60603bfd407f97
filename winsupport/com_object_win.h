#pragma once
// The IUnknown every COM object of ours shares: one reference count behind
// all of the object's interfaces, starting at one for whoever creates it.
// The object names which interfaces it answers to in FindInterface.
#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace velmora {

template <typename... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = FindInterface(iid);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

    // The object as the interface `iid` names, or null when it has none.
    virtual void* FindInterface(REFIID iid) noexcept = 0;

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace velmora
