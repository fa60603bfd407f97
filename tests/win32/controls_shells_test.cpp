// The tab strip (mscomctl.ocx) and the rich text box (richtx32.ocx): the
// updater only ever creates them hidden, but hosted and shown they must
// behave as ordinary windowed controls and draw something sensible.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "rich_text_box/rich_text_box_class.h"
#include "support/test_folder.h"
#include "tab_strip/tab_strip_class.h"
#include "support/control_host.h"

namespace velmora::testing {
namespace {

TEST(ControlShells, HostHiddenShowDrawAndGoWithoutTrace) {
    const OleInitialization ole;
    const velmora::UniqueWindow host(::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPED | WS_CLIPCHILDREN, 0,
                                                        0, 640, 240, nullptr, nullptr, nullptr, nullptr));
    const ComPtr<IFont> font = MakeFont(L"MS Sans Serif", 85000, FW_NORMAL);
    struct Case {
        const wchar_t* file;
        CLSID clsid;
        MemoryPropertyBag bag;
        RECT position;
        std::wstring windowText;
        std::vector<std::pair<std::wstring, std::string>> saved;
    };
    Case cases[] = {
        {L"mscomctl.ocx", controls::tab_strip::kClsid, {}, {464, 152, 537, 209}, L"",
         {{L"_extentx", "I4:1931"}, {L"font", FontText(L"MS Sans Serif", 82500, FW_NORMAL)}}},
        {L"richtx32.ocx",
         controls::rich_text_box::kClsid,
         {{L"text", Text(L"RichTextBox1")}, {L"font", Unknown(font.get(), VT_DISPATCH)}, {L"_extentx", Int(735)}},
         {528, 40, 577, 105},
         L"RichTextBox1",
         {{L"text", "BSTR:RichTextBox1"}, {L"font", FontText(L"MS Sans Serif", 85000, FW_NORMAL)}, {L"_extentx", "I4:735"}}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(Utf8(c.file));
        ControlLibrary library(FixturePath(c.file));
        ASSERT_TRUE(library.Loaded());
        ComPtr<IOleObject> control = library.Create(c.clsid);
        ASSERT_TRUE(control);
        RecordingSite site(host.get(), c.position);
        ASSERT_EQ(control->SetClientSite(&site), S_OK);
        ASSERT_EQ(control.query<IPersistPropertyBag>()->Load(&c.bag, nullptr), S_OK);
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host.get(), &c.position), S_OK);
        HWND window = nullptr;
        ASSERT_EQ(control.query<IOleInPlaceObject>()->GetWindow(&window), S_OK);
        EXPECT_EQ(::GetParent(window), host.get());
        EXPECT_FALSE(::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
        EXPECT_EQ(WindowText(window), c.windowText);

        EXPECT_EQ(control->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, host.get(), &c.position), S_OK);
        EXPECT_TRUE(::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
        // Something is drawn: an edge and a face at least, not one flat colour.
        const Picture picture = Render(window);
        EXPECT_EQ(picture.width, c.position.right - c.position.left);
        EXPECT_GE(std::set<COLORREF>(picture.pixels.begin(), picture.pixels.end()).size(), 3u);

        MemoryPropertyBag saved;
        ASSERT_EQ(control.query<IPersistPropertyBag>()->Save(&saved, TRUE, TRUE), S_OK);
        for (const auto& [name, expected] : c.saved) {
            ASSERT_NE(saved.Find(name), nullptr) << Utf8(name);
            EXPECT_EQ(Describe(*saved.Find(name)), expected) << Utf8(name);
        }

        EXPECT_EQ(control.query<IOleInPlaceObject>()->InPlaceDeactivate(), S_OK);
        EXPECT_FALSE(::IsWindow(window));
        EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
        EXPECT_EQ(site.References(), 1u) << "the control kept the site";
        IOleObject* last = control.get();
        last->AddRef();
        control.reset();
        EXPECT_EQ(last->Release(), 0u);
        EXPECT_EQ(library.CanUnloadNow(), S_OK);
    }
}

// The rich text box's text is also reachable as its default member.
TEST(ControlShells, RichTextBoxTextIsItsDefaultMember) {
    const OleInitialization ole;
    ControlLibrary library(FixturePath(L"richtx32.ocx"));
    ComPtr<IOleObject> control = library.Create(controls::rich_text_box::kClsid);
    ASSERT_TRUE(control);
    const auto dispatch = control.query<IDispatch>();
    EXPECT_EQ(PutProperty(dispatch.get(), DISPID_VALUE, Text(L"changed")), S_OK);
    EXPECT_EQ(Read(dispatch.get(), DISPID_VALUE), "BSTR:changed");
    EXPECT_EQ(Read(dispatch.get(), 0x68030001), "error 0x80020003");  // no such member
}

}  // namespace
}  // namespace velmora::testing
