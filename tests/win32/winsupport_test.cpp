// The Windows support library against the real system: owners close what
// they hold, keep the caller's last error, and know their empty value; COM
// objects count references once for all their interfaces.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/test_folder.h"
#include "winsupport/com_object_win.h"
#include "winsupport/owners_win.h"

namespace velmora {
namespace {

bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(Owners, PutClosesWhatIsHeldAndTakesTheNewHandle) {
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE first = event.get();
    ASSERT_TRUE(IsOpen(first));

    HANDLE* slot = event.put();
    EXPECT_EQ(*slot, nullptr);
    EXPECT_FALSE(event);
    EXPECT_FALSE(IsOpen(first));

    *slot = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(event);
    const HANDLE second = event.get();
    event.reset();
    EXPECT_FALSE(IsOpen(second));
}

TEST(Owners, PutHandsAnOpeningFunctionTheSlot) {
    UniqueRegistryKey key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    EXPECT_TRUE(key);
    DWORD subkeys = 0;
    EXPECT_EQ(::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}

TEST(Owners, FileHandlesAreEmptyAtInvalidHandleValue) {
    testing::TestFolder folder;
    UniqueFileHandle missing(::CreateFileW((folder / L"missing.txt").c_str(), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(missing.get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(missing);
    EXPECT_EQ(*missing.put(), INVALID_HANDLE_VALUE);

    UniqueFileHandle created(::CreateFileW((folder / L"new.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(created);
}

TEST(Owners, ClosingKeepsTheLastError) {
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    event.reset();
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // Closing a handle that is already closed sets an error of its own;
    // the owner hides it.
    const HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(::CloseHandle(raw));
    UniqueHandle stale(raw);
    ::SetLastError(ERROR_ACCESS_DENIED);
    stale.reset();
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// A COM object with two interfaces that says when it is gone.
class Probe final : public ComObject<IPersist, IOleWindow> {
public:
    explicit Probe(bool& destroyed) : destroyed_(destroyed) {}
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        *clsid = CLSID_NULL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    ~Probe() override { destroyed_ = true; }
    void* FindInterface(REFIID iid) noexcept override {
        if (iid == IID_IUnknown || iid == IID_IPersist) return static_cast<IPersist*>(this);
        if (iid == IID_IOleWindow) return static_cast<IOleWindow*>(this);
        return nullptr;
    }
    bool& destroyed_;
};

TEST(ComObject, AnswersItsInterfacesAndClearsTheSlotForOthers) {
    bool destroyed = false;
    ComPtr<Probe> probe = ComPtr<Probe>::Attach(new Probe(destroyed));
    void* found = probe.get();
    EXPECT_EQ(probe->QueryInterface(IID_IStream, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(probe->QueryInterface(IID_IPersist, nullptr), E_POINTER);

    ComPtr<IOleWindow> window = probe.query<IOleWindow>();
    ASSERT_TRUE(window);
    EXPECT_EQ(window.get(), static_cast<IOleWindow*>(probe.get()));
    ComPtr<IUnknown> identity = window.query<IUnknown>();
    EXPECT_EQ(identity.get(), static_cast<IUnknown*>(static_cast<IPersist*>(probe.get())));
}

TEST(ComObject, OneCountBehindEveryInterfaceDeletesAtZero) {
    bool destroyed = false;
    auto* probe = new Probe(destroyed);
    IPersist* persist = probe;
    IOleWindow* window = probe;
    EXPECT_EQ(window->AddRef(), 2u);
    EXPECT_EQ(persist->AddRef(), 3u);
    EXPECT_EQ(window->Release(), 2u);
    EXPECT_EQ(persist->Release(), 1u);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(window->Release(), 0u);
    EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace velmora
