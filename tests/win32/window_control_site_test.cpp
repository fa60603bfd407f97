#include <gtest/gtest.h>
#include <windows.h>

#include "common/failure_win.h"
#include "support/test_folder.h"
#include "window/control_settings_win.h"
#include "window/hosted_control_win.h"
#include "window/progress_bar_win.h"

namespace velmora {
namespace {

using namespace velmora::testing;

constexpr RECT kBarPlace{112, 88, 473, 105};

// The progress bar library registered from a scratch copy, OLE for this
// thread, and a hidden host window of the updater's size.
class ControlSiteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        const std::wstring path = folder / L"mbprgbar.ocx";
        CopyFixture(L"mbprgbar.ocx", path);
        library_ = ::LoadLibraryW(path.c_str());
        ASSERT_NE(library_, nullptr);
        ASSERT_EQ(Call("DllRegisterServer"), S_OK);
        host_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 604, 229, nullptr, nullptr, nullptr,
                                  nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override {
        if (host_) ::DestroyWindow(host_);
        if (library_) {
            Call("DllUnregisterServer");
            ::CoFreeUnusedLibraries();
        }
        ::OleUninitialize();
    }

    HRESULT Call(const char* entryPoint) {
        using Function = HRESULT(__stdcall*)();
        auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library_, entryPoint)));
        return function ? function() : E_NOTIMPL;
    }

    RECT PlaceOf(HWND child) const {
        RECT place;
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, host_, reinterpret_cast<POINT*>(&place), 2);
        return place;
    }

    TestFolder folder;
    HMODULE library_ = nullptr;
    HWND host_ = nullptr;
};

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

TEST_F(ControlSiteTest, HostsTheBarAsAHiddenChildAtItsPlaceAndDrivesIt) {
    HostedControl bar(host_, L"MBProgressBar.ProgressBar", kBarPlace, ProgressBarSettings().get());
    ASSERT_NE(bar.Window(), nullptr);
    EXPECT_EQ(::GetParent(bar.Window()), host_);
    const RECT place = PlaceOf(bar.Window());
    EXPECT_EQ(place.left, kBarPlace.left);
    EXPECT_EQ(place.top, kBarPlace.top);
    EXPECT_EQ(place.right, kBarPlace.right);
    EXPECT_EQ(place.bottom, kBarPlace.bottom);
    EXPECT_FALSE(bar.Visible());

    // Visibility is the control's own, also while the host is not shown.
    bar.SetVisible(true);
    EXPECT_TRUE(bar.Visible());
    bar.SetVisible(false);
    EXPECT_FALSE(bar.Visible());

    progress_bar::SetMaximum(bar, 52428800);
    progress_bar::SetMinimum(bar, 0);
    progress_bar::SetValue(bar, 300000);
    progress_bar::SetText(bar, L"292.97 KB / 50 MB a 195.31 KB/s");
    progress_bar::Refresh(bar);
    EXPECT_EQ(TextOf(bar.Window()), L"292.97 KB / 50 MB a 195.31 KB/s");
}

TEST_F(ControlSiteTest, TearingDownLeavesNoWindowAndNoObjectBehind) {
    HWND window = nullptr;
    {
        HostedControl bar(host_, L"MBProgressBar.ProgressBar", kBarPlace, ProgressBarSettings().get());
        window = bar.Window();
        progress_bar::SetText(bar, L"x");
        ASSERT_TRUE(::IsWindow(window));
    }
    EXPECT_FALSE(::IsWindow(window));
    // The library can be unloaded only when no object of it is alive.
    EXPECT_EQ(Call("DllCanUnloadNow"), S_OK);
}

TEST_F(ControlSiteTest, UnknownClassNameFailsWithTheSystemsError) {
    try {
        HostedControl control(host_, L"Velmora.NoSuchControl", kBarPlace, nullptr);
        FAIL() << "no failure raised";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.Number(), static_cast<std::uint32_t>(CO_E_CLASSSTRING));
    }
    EXPECT_EQ(::GetWindow(host_, GW_CHILD), nullptr) << "something was left on the host";
}

}  // namespace
}  // namespace velmora
