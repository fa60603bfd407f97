// The progress bar control (mbprgbar.ocx) loaded from its file and hosted
// in a plain window: its settings, its dispatch identifiers, its window and
// what it paints.
#include <gtest/gtest.h>
#include <windows.h>

#include "progress_bar/progress_bar_class.h"
#include "window/control_settings_win.h"
#include "support/test_folder.h"
#include "support/control_host.h"

namespace velmora::testing {
namespace {

// The identifiers the updater window calls the bar by.
constexpr DISPID kValue = 0;
constexpr DISPID kMaximum = 0x6803000F;
constexpr DISPID kMinimum = 0x68030010;
constexpr DISPID kText = 0x68030001;
constexpr DISPID kRefresh = 0x60030017;

constexpr RECT kBarRectangle{112, 88, 473, 105};  // 361 x 17 at (112, 88)

// The settings the updater window creates its bar with, read from the
// window's own bag; every one the bar persists must be there.
MemoryPropertyBag WindowSettings() {
    const ComPtr<PropertyBag> window = ProgressBarSettings();
    MemoryPropertyBag bag;
    for (const wchar_t* name : {L"_extentx", L"_extenty", L"borderstyle", L"captiontype", L"value2",
                                L"percentage2", L"smooth", L"backcolor", L"barstartcolor", L"barendcolor", L"font",
                                L"backpicture", L"barpicture", L"textaftercaption"}) {
        Variant value;
        if (FAILED(window->Read(name, &value, nullptr))) {
            ADD_FAILURE() << "the window gives no " << Utf8(name);
            continue;
        }
        bag.Write(name, &value);
    }
    return bag;
}

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library.Loaded());
        control = library.Create(controls::progress_bar::kClsid);
        ASSERT_TRUE(control);
        dispatch = control.query<IDispatch>();
        ASSERT_TRUE(dispatch);
    }
    HRESULT Load(MemoryPropertyBag& bag) { return control.query<IPersistPropertyBag>()->Load(&bag, nullptr); }
    // Gives up every reference the test holds; the control must go with the
    // last one and leave the library free to unload.
    void ReleaseAll() {
        dispatch.reset();
        IOleObject* last = control.get();
        last->AddRef();
        control.reset();
        EXPECT_EQ(last->Release(), 0u);
        EXPECT_EQ(library.CanUnloadNow(), S_OK);
    }

    OleInitialization ole;
    ControlLibrary library{FixturePath(L"mbprgbar.ocx")};
    ComPtr<IOleObject> control;
    ComPtr<IDispatch> dispatch;
};

// --- Settings ---------------------------------------------------------------

using ControlProgressBarSettings = ControlTest;

TEST_F(ControlProgressBarSettings, AreReadFromTheBagAndSavedBack) {
    const ComPtr<IFont> arial = MakeFont(L"Arial", 120000, 700);
    struct Case {
        const char* what;
        MemoryPropertyBag bag;
        std::vector<std::pair<std::wstring, std::string>> saved;
        SIZEL extent;
        const char* value;  // Value as the bar reports it afterwards
    };
    const std::vector<std::pair<std::wstring, std::string>> defaults{
        {L"_extentx", "I4:9551"},    {L"_extenty", "I4:450"},         {L"borderstyle", "I4:0"},
        {L"captiontype", "I4:0"},    {L"value2", "I4:0"},             {L"percentage2", "I4:0"},
        {L"smooth", "BOOL:true"},    {L"backcolor", "I4:8421504"},    {L"barstartcolor", "I4:16384"},
        {L"barendcolor", "I4:49152"}, {L"font", FontText(L"MS Sans Serif", 82500, 400)},
        {L"backpicture", "EMPTY"},   {L"barpicture", "EMPTY"},        {L"textaftercaption", "BSTR:"}};
    auto windowSaved = defaults;
    windowSaved.back() = {L"textaftercaption", "BSTR:aaaaaaaa"};
    Case cases[] = {
        {"the window's settings", WindowSettings(), windowSaved, {9551, 450}, "I4:0"},
        {"an empty bag keeps every default", {}, defaults, {9551, 450}, "I4:0"},
        {"other types are coerced",
         {{L"_extentx", Text(L"1000")},
          {L"_extenty", Short(200)},
          {L"borderstyle", Text(L"1")},
          {L"smooth", Int(0)},
          {L"backcolor", Unsigned(0x80000005)},  // a system colour, unsigned
          {L"barstartcolor", Text(L"255")},
          {L"value2", Short(42)},
          {L"percentage2", Int(99)},  // derived from the value, not read
          {L"font", Unknown(arial.get())},
          {L"backpicture", Variant()},
          {L"barpicture", Unknown(nullptr)},
          {L"textaftercaption", Int(5)}},
         {{L"_extentx", "I4:1000"},
          {L"_extenty", "I4:200"},
          {L"borderstyle", "I4:1"},
          {L"smooth", "BOOL:false"},
          {L"backcolor", "I4:-2147483643"},
          {L"barstartcolor", "I4:255"},
          {L"value2", "I4:42"},
          {L"percentage2", "I4:42"},
          {L"font", FontText(L"Arial", 120000, 700)},
          {L"textaftercaption", "BSTR:5"}},
         {1000, 200},
         "I4:42"},
        {"a value beyond the default range is clamped", {{L"value2", Int(250)}},
         {{L"value2", "I4:100"}, {L"percentage2", "I4:100"}}, {9551, 450}, "I4:100"},
        {"values that do not convert keep the default",
         {{L"captiontype", Text(L"none")}, {L"font", Text(L"Arial")}, {L"smooth", Text(L"maybe")}},
         {{L"captiontype", "I4:0"}, {L"font", FontText(L"MS Sans Serif", 82500, 400)}, {L"smooth", "BOOL:true"}},
         {9551, 450},
         "I4:0"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        control = library.Create(controls::progress_bar::kClsid);
        ASSERT_TRUE(control);
        ASSERT_EQ(Load(c.bag), S_OK);
        MemoryPropertyBag saved;
        ASSERT_EQ(control.query<IPersistPropertyBag>()->Save(&saved, TRUE, TRUE), S_OK);
        for (const auto& [name, expected] : c.saved) {
            const VARIANT* value = saved.Find(name);
            ASSERT_NE(value, nullptr) << Utf8(name);
            EXPECT_EQ(Describe(*value), expected) << Utf8(name);
        }
        SIZEL extent{};
        EXPECT_EQ(control->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
        EXPECT_EQ(extent.cx, c.extent.cx);
        EXPECT_EQ(extent.cy, c.extent.cy);
        EXPECT_EQ(Read(control.query<IDispatch>().get(), kValue), c.value);
        EXPECT_EQ(c.bag.References(), 1u) << "the control kept the bag";
    }
}

TEST_F(ControlProgressBarSettings, AreInitialisedOnlyOnce) {
    MemoryPropertyBag bag = WindowSettings();
    EXPECT_EQ(control.query<IPersistStreamInit>()->InitNew(), S_OK);
    EXPECT_EQ(Load(bag), E_UNEXPECTED);
    EXPECT_EQ(control.query<IPersistPropertyBag>()->InitNew(), E_UNEXPECTED);
    ReleaseAll();
}

// --- Dispatch ---------------------------------------------------------------

using ControlProgressBarDispatch = ControlTest;

// Steps applied one after another to the same bar; after each, the bar
// reports the given maximum, minimum and value.
TEST_F(ControlProgressBarDispatch, IdentifiersSetRangeAndValueWithinIt) {
    struct Step {
        const char* what;
        DISPID id;
        Variant argument;
        bool byReference;  // pass a VT_I4 argument as VT_BYREF | VT_I4
        HRESULT result;
        LONG maximum, minimum, value;
    };
    const Step steps[] = {
        {"maximum, by reference", kMaximum, Int(1048576), true, S_OK, 1048576, 0, 0},
        {"minimum, by value", kMinimum, Int(0), false, S_OK, 1048576, 0, 0},
        {"value, by reference", kValue, Int(1536), true, S_OK, 1048576, 0, 1536},
        {"value, by value as a 16-bit integer", kValue, Short(300), false, S_OK, 1048576, 0, 300},
        {"value as digits", kValue, Text(L"4096"), false, S_OK, 1048576, 0, 4096},
        {"value above the maximum", kValue, Int(2000000), true, S_OK, 1048576, 0, 1048576},
        {"value below the minimum", kValue, Int(-5), false, S_OK, 1048576, 0, 0},
        {"minimum raised above the value", kMinimum, Int(100), false, S_OK, 1048576, 100, 100},
        {"value inside the range", kValue, Int(500), true, S_OK, 1048576, 100, 500},
        {"maximum lowered below the value", kMaximum, Int(200), true, S_OK, 200, 100, 200},
        {"value that is no number", kValue, Text(L"abc"), false, DISP_E_TYPEMISMATCH, 200, 100, 200},
        {"unknown identifier", 0x12345, Int(1), false, DISP_E_MEMBERNOTFOUND, 200, 100, 200},
        {"refresh is no property", kRefresh, Int(1), false, DISP_E_MEMBERNOTFOUND, 200, 100, 200},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        LONG referenced = step.argument.lVal;
        UINT argumentError = 99;
        EXPECT_EQ(PutProperty(dispatch.get(), step.id, step.byReference ? IntByReference(&referenced) : step.argument,
                              &argumentError),
                  step.result);
        if (step.result == DISP_E_TYPEMISMATCH) {
            EXPECT_EQ(argumentError, 0u);
        }
        EXPECT_EQ(Read(dispatch.get(), kMaximum), "I4:" + std::to_string(step.maximum));
        EXPECT_EQ(Read(dispatch.get(), kMinimum), "I4:" + std::to_string(step.minimum));
        EXPECT_EQ(Read(dispatch.get(), kValue), "I4:" + std::to_string(step.value));
    }
    EXPECT_EQ(Read(dispatch.get(), 0x12345), "error 0x80020003");  // DISP_E_MEMBERNOTFOUND
    EXPECT_EQ(CallMethod(dispatch.get(), kRefresh), S_OK);
    ReleaseAll();
}

TEST_F(ControlProgressBarDispatch, NamesGiveTheIdentifiers) {
    const std::pair<const wchar_t*, DISPID> names[] = {
        {L"Max", kMaximum}, {L"min", kMinimum}, {L"VALUE", kValue},
        {L"Text", kText},   {L"Refresh", kRefresh}, {L"Visible", DISPID_UNKNOWN}};
    for (const auto& [name, expected] : names) {
        LPOLESTR asked = const_cast<LPOLESTR>(name);
        DISPID id = 12345;
        const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, &asked, 1, LOCALE_USER_DEFAULT, &id);
        EXPECT_EQ(hr, expected == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK) << Utf8(name);
        EXPECT_EQ(id, expected) << Utf8(name);
    }
}

// --- Hosted in a window -----------------------------------------------------

class ControlHostedTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        ASSERT_TRUE(host);
        MemoryPropertyBag bag = WindowSettings();
        Activate(bag);
    }
    // A new bar with these settings, in-place active in the host window.
    void Activate(MemoryPropertyBag& bag) {
        control = library.Create(controls::progress_bar::kClsid);
        ASSERT_TRUE(control);
        dispatch = control.query<IDispatch>();
        site.calls.clear();
        ASSERT_EQ(control->SetClientSite(&site), S_OK);
        ASSERT_EQ(Load(bag), S_OK);
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host.get(), &kBarRectangle), S_OK);
        ASSERT_EQ(control.query<IOleInPlaceObject>()->GetWindow(&window), S_OK);
    }
    // The container's teardown: nothing of the control may stay behind.
    void TearDownControl() {
        EXPECT_EQ(control.query<IOleInPlaceObject>()->InPlaceDeactivate(), S_OK);
        EXPECT_FALSE(::IsWindow(window));
        EXPECT_EQ(site.calls.back(), "OnInPlaceDeactivate");
        EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
        EXPECT_EQ(site.References(), 1u) << "the control kept the site";
        ReleaseAll();
        EXPECT_EQ(::GetWindow(host.get(), GW_CHILD), nullptr);
    }
    void Put(DISPID id, LONG number) {
        LONG referenced = number;
        EXPECT_EQ(PutProperty(dispatch.get(), id, IntByReference(&referenced)), S_OK);
    }

    velmora::UniqueWindow host{::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPED | WS_CLIPCHILDREN, 0, 0, 640,
                                                  240, nullptr, nullptr, nullptr, nullptr)};
    RecordingSite site{host.get(), kBarRectangle};
    HWND window = nullptr;
};

using ControlProgressBarHosting = ControlHostedTest;

TEST_F(ControlProgressBarHosting, ActivatesAsAChildAtThePositionAndLeavesNothingBehind) {
    EXPECT_EQ(site.calls, (std::vector<std::string>{"CanInPlaceActivate", "OnInPlaceActivate", "GetWindow",
                                                     "GetWindowContext"}));
    EXPECT_EQ(::GetParent(window), host.get());
    const auto style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & WS_VISIBLE) << "shown before the container asked";
    auto placement = [&] {
        RECT r{};
        ::GetWindowRect(window, &r);
        ::MapWindowPoints(nullptr, host.get(), reinterpret_cast<POINT*>(&r), 2);
        return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
    };
    EXPECT_EQ(placement(), (std::vector<LONG>{112, 88, 473, 105}));

    EXPECT_EQ(control->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, host.get(), &kBarRectangle), S_OK);
    EXPECT_TRUE(::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(site.calls.back(), "ShowObject");
    const RECT moved{10, 20, 110, 40};
    EXPECT_EQ(control.query<IOleInPlaceObject>()->SetObjectRects(&moved, &moved), S_OK);
    EXPECT_EQ(placement(), (std::vector<LONG>{10, 20, 110, 40}));
    EXPECT_EQ(control->DoVerb(OLEIVERB_HIDE, nullptr, &site, 0, host.get(), &kBarRectangle), S_OK);
    EXPECT_FALSE(::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);

    DWORD status = 0;
    EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0x20191u);
    TearDownControl();
}

TEST_F(ControlProgressBarHosting, WindowTextIsTheBarText) {
    EXPECT_EQ(WindowText(window), L"");
    const std::wstring progress = L"292.97 KB / 50 MB a 195.31 KB/s";
    EXPECT_EQ(PutProperty(dispatch.get(), kText, Text(progress)), S_OK);
    EXPECT_EQ(WindowText(window), progress);
    EXPECT_EQ(Read(dispatch.get(), kText), "BSTR:" + Utf8(progress));
    ::SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"set from outside"));
    EXPECT_EQ(Read(dispatch.get(), kText), "BSTR:set from outside");
    TearDownControl();
}

// --- Drawing ----------------------------------------------------------------

using ControlProgressBarDrawing = ControlHostedTest;

bool IsBarColour(COLORREF c) {
    return GetRValue(c) == 0 && GetBValue(c) == 0 && GetGValue(c) >= 64 && GetGValue(c) <= 192;
}
bool IsGrey(COLORREF c) { return c == RGB(128, 128, 128); }
bool IsLight(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) > 200; }

// The bar at half of its range, rendered through WM_PRINTCLIENT: the left
// half in bar colours from dark to light green, the right half grey, and
// light text in the middle band where the caption type puts one.
TEST_F(ControlProgressBarDrawing, HalfFullBarFillsTheLeftHalf) {
    TearDownControl();
    struct Case {
        const char* what;
        std::vector<std::pair<std::wstring, Variant>> settings;
        const wchar_t* text;
        bool smooth;
        bool textShown;
    };
    const Case cases[] = {
        {"smooth, no text", {}, nullptr, true, false},
        {"blocks", {{L"smooth", Bool(false)}}, nullptr, false, false},
        {"text", {}, L"50 %", true, true},
        {"percentage caption", {{L"captiontype", Int(1)}}, nullptr, true, true},
        {"no caption", {{L"captiontype", Int(2)}}, L"50 %", true, false},
    };
    constexpr int kHalf = 181;                    // 180.5 of 361 pixels, rounded
    constexpr int kBandLeft = 100, kBandRight = 260;  // where centred text may fall
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryPropertyBag bag = WindowSettings();
        for (auto setting : c.settings) bag.Write(setting.first.c_str(), &setting.second);
        Activate(bag);
        Put(kMaximum, 200);
        Put(kValue, 100);
        if (c.text) {
            EXPECT_EQ(PutProperty(dispatch.get(), kText, Text(c.text)), S_OK);
        }
        const Picture picture = Render(window);
        ASSERT_EQ(picture.width, 361);
        ASSERT_EQ(picture.height, 17);
        EXPECT_EQ(picture.At(0, 8), RGB(0, 64, 0));
        int wrong = 0, light = 0, gaps = 0;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const COLORREF p = picture.At(x, y);
                if (x >= kBandLeft && x < kBandRight && IsLight(p)) ++light;
                if (x >= kBandLeft && x < kBandRight) continue;
                if (x < kHalf && IsGrey(p)) ++gaps;
                if (x < kHalf ? !(IsBarColour(p) || (!c.smooth && IsGrey(p))) : !IsGrey(p)) ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0) << "pixels neither bar nor background where they belong";
        EXPECT_EQ(light > 0, c.textShown) << light << " light pixels in the middle";
        EXPECT_EQ(gaps > 0, !c.smooth) << gaps << " background pixels in the bar";
        if (c.smooth) {
            EXPECT_LT(GetGValue(picture.At(20, 8)), GetGValue(picture.At(90, 8)));
        }
        if (c.smooth && !c.textShown) {
            EXPECT_EQ(picture.At(kHalf - 1, 8), RGB(0, 192, 0));
        }
        TearDownControl();
    }
}

}  // namespace
}  // namespace velmora::testing
