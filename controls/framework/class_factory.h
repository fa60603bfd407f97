#pragma once
// The class object DllGetClassObject hands out: makes instances of the
// library's one control class.
#include <windows.h>
#include <ole2.h>

#include "framework/module.h"
#include "winsupport/com_object_win.h"

namespace velmora::controls {

class ClassFactory final : public ComObject<IClassFactory> {
public:
    explicit ClassFactory(HRESULT (*create)(REFIID, void**)) noexcept : create_(create) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    ~ClassFactory() override = default;
    void* FindInterface(REFIID iid) noexcept override;

    ModuleReference module_;
    HRESULT (*create_)(REFIID, void**);
};

}  // namespace velmora::controls
