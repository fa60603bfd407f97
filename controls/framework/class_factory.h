#pragma once
// The class object DllGetClassObject hands out: makes instances of the
// library's one control class.
#include <windows.h>
#include <ole2.h>

#include <atomic>

#include "framework/module.h"

namespace velmora::controls {

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(HRESULT (*create)(REFIID, void**)) noexcept : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    ~ClassFactory() = default;

    std::atomic<ULONG> references_{1};
    ModuleReference module_;
    HRESULT (*create_)(REFIID, void**);
};

}  // namespace velmora::controls
