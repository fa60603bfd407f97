#include "window/updater_window_win.h"

#include <windowsx.h>

#include "common/folder_path.h"
#include "common/folders_win.h"
#include "common/message_box_win.h"
#include "common/failure_win.h"
#include "engine/engine_library_win.h"
#include "winsupport/application_pointer_win.h"
#include "text/format_bytes.h"
#include "window/control_settings_win.h"
#include "window/game_launch_win.h"
#include "window/progress_bar_win.h"
#include "window/resource_ids.h"
#include "window/skin_child_win.h"
#include "window/window_layout.h"
#include "winsupport/window_object_win.h"

namespace velmora {

namespace {

constexpr const wchar_t* kClassName = kUpdaterWindowClass;
constexpr wchar_t kCaption[] = L"VELUpdater";
constexpr int kImage1Id = 1;
constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT_PTR kTimerBWId = 2;
constexpr UINT_PTR kTimerStartId = 3;

constexpr wchar_t kUpdateUrl[] = L"http://" VELMORA_UPDATE_HOST L"/oficial/gamedata.vel";
constexpr wchar_t kLocalDataPath[] = L"libs\\gamedata.vel";

// The engine's variables, each read afresh with an atomic load.
class ProgramEngineReadings final : public EngineReadings {
public:
    std::int16_t Status() const override { return LoadShared(ProgramStatusVariables().status); }
    std::int32_t Done() const override { return LoadShared(ProgramStatusVariables().done); }
    std::int32_t Total() const override { return LoadShared(ProgramStatusVariables().total); }
};

RECT Place(const layout::Rect& r) { return {r.left, r.top, r.right(), r.bottom()}; }

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
    static const bool registered = [&] {
        WNDCLASSEXW type{};
        type.cbSize = sizeof type;
        type.lpfnWndProc = procedure;
        type.hInstance = instance;
        type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        type.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        type.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VELMORA), IMAGE_ICON, 48, 48, 0));
        type.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VELMORA), IMAGE_ICON,
                                                       ::GetSystemMetrics(SM_CXSMICON),
                                                       ::GetSystemMetrics(SM_CYSMICON), 0));
        type.lpszClassName = kClassName;
        return ::RegisterClassExW(&type) != 0;
    }();
    if (!registered) throw FailureFromLastError();
}

}  // namespace

// The window as the progress monitor sees it.
class UpdaterWindow::View final : public ProgressView {
public:
    explicit View(UpdaterWindow& window) : window_(window), bar_(*window.progressBar1_) {}

    void SetStatusLine(const std::wstring& text) override {
        // Setting the same text again would only repaint it.
        wchar_t current[512] = {};
        ::GetWindowTextW(window_.label1_, current, 512);
        if (text != current) ::SetWindowTextW(window_.label1_, text.c_str());
    }
    bool BarVisible() const override { return bar_.Visible(); }
    void SetBarVisible(bool visible) override { bar_.SetVisible(visible); }
    void SetBarMaximum(std::int32_t maximum) override { progress_bar::SetMaximum(bar_, maximum); }
    void SetBarMinimum(std::int32_t minimum) override { progress_bar::SetMinimum(bar_, minimum); }
    void SetBarValue(std::int32_t value) override { progress_bar::SetValue(bar_, value); }
    void SetBarText(const std::wstring& text) override { progress_bar::SetText(bar_, text); }
    void RefreshBar() override { progress_bar::Refresh(bar_); }
    bool HandOverTimerRunning() const override { return window_.timerStart_.running; }
    void StartHandOverTimer() override { window_.StartTimer(window_.timerStart_); }

private:
    UpdaterWindow& window_;
    HostedControl& bar_;
};

UpdaterWindow::UpdaterWindow(HINSTANCE instance)
    : instance_(instance),
      timer1_{kTimer1Id, layout::kTimer1Interval, false},
      timerBW_{kTimerBWId, layout::kTimerBWInterval, false},
      timerStart_{kTimerStartId, layout::kTimerStartInterval, false} {}

std::unique_ptr<UpdaterWindow> UpdaterWindow::Load(HINSTANCE instance) {
    std::unique_ptr<UpdaterWindow> window(new UpdaterWindow(instance));
    RegisterWindowClass(instance, &Procedure);
    window->skin_.reset(static_cast<HBITMAP>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(IDB_SKIN), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!window->skin_) throw FailureFromLastError();
    // Trebuchet MS 11.25 points, bold: 15 pixels at 96 dots per inch.
    window->labelFont_.reset(::CreateFontW(-15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                           DEFAULT_PITCH | FF_SWISS, L"Trebuchet MS"));

    // Centred on the screen; without a frame the client area is the window.
    const int left = (::GetSystemMetrics(SM_CXSCREEN) - layout::kClientWidth) / 2;
    const int top = (::GetSystemMetrics(SM_CYSCREEN) - layout::kClientHeight) / 2;
    window->window_ = ::CreateWindowExW(WS_EX_APPWINDOW, kClassName, kCaption,
                                        WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, left, top,
                                        layout::kClientWidth, layout::kClientHeight, nullptr, nullptr, instance,
                                        window.get());
    if (!window->window_) throw FailureFromLastError();
    window->CreateChildren();
    window->StartTimer(window->timer1_);
    window->StartTimer(window->timerBW_);
    window->RunLoadStep();
    return window;
}

UpdaterWindow::~UpdaterWindow() {
    if (window_) ::DestroyWindow(window_);
}

void UpdaterWindow::CreateChildren() {
    // A child window created earlier lies above those created later: the
    // bar comes first so that it lies above the status line on the pixel
    // row they share, and a press there is the bar's.
    progressBar1_ = std::make_unique<HostedControl>(window_, L"MBProgressBar.ProgressBar",
                                                    Place(layout::kProgressBar1), ProgressBarSettings().get());
    label1_ = CreateStatusLabel(window_, Place(layout::kLabel1), skin_.get(),
                                labelFont_.get());
    if (!label1_) throw FailureFromLastError();
    image1_ = CreateClickArea(window_, Place(layout::kImage1), skin_.get(), kImage1Id);
    if (!image1_) throw FailureFromLastError();
    tabStrip1_ = std::make_unique<HostedControl>(window_, L"MSComctlLib.TabStrip", Place(layout::kTabStrip1), nullptr);
    richTextBox1_ = std::make_unique<HostedControl>(window_, L"RichTextLib.RichTextBox",
                                                    Place(layout::kRichTextBox1), RichTextBoxSettings().get());
}

// Initialises the engine while the working folder is libs, so that the
// system finds comp.dll there, then starts it from the application folder,
// against which its local data path is relative.
void UpdaterWindow::RunLoadStep() {
    const std::wstring application = ApplicationFolder();
    SetWorkingFolder(JoinPath(application, L"libs"));
    ProgramEngine().Init();
    std::int16_t result = 0;
    try {
        SetWorkingFolder(application);
        result = ProgramEngine().Start(kUpdateUrl, kLocalDataPath, ProgramStatusVariables());
    } catch (...) {
        // The load fails and the start-up may load the window again: the
        // engine initialised here is released first, so that every
        // initialisation has its one cleanup.
        ProgramEngine().Cleanup();
        throw;
    }
    if (result < 0) ShowMessage(L"ERROR: " + std::to_wstring(result));
}

void UpdaterWindow::Show() {
    shown_ = true;
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::UpdateWindow(window_);
}

void UpdaterWindow::StartTimer(Timer& timer) {
    ::SetTimer(window_, timer.id, timer.interval, nullptr);
    timer.running = true;
}

void UpdaterWindow::StopTimer(Timer& timer) {
    ::KillTimer(window_, timer.id);
    timer.running = false;
}

LRESULT CALLBACK UpdaterWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = WindowObject<UpdaterWindow>(window, message, lParam);
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCCREATE) self->window_ = window;
    // No exception may unwind through the system's dispatch: a failure that
    // no handler takes care of ends the program with its report.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        self->EndWithFailure(FailureOfCurrentException());
    }
}

// The report belongs to the window while the player sees it, so the window
// is disabled under it; and from now on nothing of the window acts (its
// timers go on ticking inside the box's loop, and a close could still come),
// so the report stays the only one.
void UpdaterWindow::EndWithFailure(const Failure& failure) {
    endingWithFailure_ = true;
    const HWND owner = window_ && ::IsWindowVisible(window_) ? window_ : nullptr;
    EndProgramWithFailure(failure, owner);
}

LRESULT UpdaterWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (endingWithFailure_) {
        switch (message) {
            case WM_TIMER:
            case WM_COMMAND:
            case WM_CLOSE:
            case WM_ENDSESSION: return 0;
        }
    }
    switch (message) {
        case WM_PAINT: OnPaint(); return 0;
        case WM_ERASEBKGND: return 1;  // the skin covers the window in WM_PAINT
        case WM_SETCURSOR:
            // A busy pointer set for the whole program stands over the window
            // and its controls too.
            if (ApplyApplicationPointer()) return TRUE;
            return ::DefWindowProcW(window_, message, wParam, lParam);
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: OnPointerPress(lParam); return 0;
        case WM_LBUTTONUP:
            // The drag itself ends at the next move that finds the button up;
            // the pointer is let go now so other windows get it again.
            ::ReleaseCapture();
            return 0;
        case WM_MOUSEMOVE: OnPointerMove(lParam); return 0;
        case WM_PARENTNOTIFY: OnChildNotice(LOWORD(wParam)); return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kImage1Id && HIWORD(wParam) == BN_CLICKED) OnCancelClick();
            return 0;
        case WM_TIMER: OnTimer(wParam); return 0;
        case WM_CLOSE:
            OnUnload();
            ::DestroyWindow(window_);
            return 0;
        case WM_ENDSESSION:
            if (wParam) OnUnload();
            return 0;
        case WM_DESTROY:
            // The hosted controls go while their windows still exist.
            richTextBox1_.reset();
            tabStrip1_.reset();
            progressBar1_.reset();
            if (shown_) ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            const HWND destroyed = std::exchange(window_, nullptr);
            ::SetWindowLongPtrW(destroyed, GWLP_USERDATA, 0);
            return ::DefWindowProcW(destroyed, message, wParam, lParam);
        }
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

// A press on a control (the status line, the Cancel area, the bar) is that
// control's gesture. A drag left over from an earlier press on the surface
// ends here: otherwise the first move over the surface after this gesture
// would find the left button pressed since the last query and jump the
// window back to that earlier press point.
void UpdaterWindow::OnChildNotice(UINT event) {
    if (event == WM_LBUTTONDOWN || event == WM_RBUTTONDOWN || event == WM_MBUTTONDOWN) drag_.dragging = false;
}

void UpdaterWindow::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window_, &paint);
    RECT client;
    ::GetClientRect(window_, &client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    UniqueMemoryDc source(::CreateCompatibleDC(dc));
    const SelectedObject selected(source.get(), skin_.get());
    BITMAP skin{};
    ::GetObjectW(skin_.get(), sizeof skin, &skin);
    // Unscaled at the top-left corner.
    ::BitBlt(dc, 0, 0, skin.bmWidth, skin.bmHeight, source.get(), 0, 0, SRCCOPY);
    ::EndPaint(window_, &paint);
}

void UpdaterWindow::OnPointerPress(LPARAM lParam) {
    StartDrag(drag_, static_cast<float>(GET_X_LPARAM(lParam)), static_cast<float>(GET_Y_LPARAM(lParam)));
    // Move events keep coming while the pointer runs outside the window.
    ::SetCapture(window_);
}

void UpdaterWindow::OnPointerMove(LPARAM lParam) {
    if (!drag_.dragging) return;
    // The key state is the physical button's: a player who swapped the
    // buttons drags with the right one, which is the primary one then.
    const int primary = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    const auto primaryButton = static_cast<std::int16_t>(::GetAsyncKeyState(primary));
    if (!ContinueDrag(drag_, primaryButton)) {
        ::ReleaseCapture();
        return;
    }
    const auto x = static_cast<float>(GET_X_LPARAM(lParam));
    const auto y = static_cast<float>(GET_Y_LPARAM(lParam));
    constexpr UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    RECT r;
    ::GetWindowRect(window_, &r);
    const float left = DraggedEdge(static_cast<float>(r.left), x, drag_.startX);
    ::SetWindowPos(window_, nullptr, RoundHalfToEven(left), r.top, 0, 0, flags);
    // The top edge is read again after the left edge has moved.
    ::GetWindowRect(window_, &r);
    const float top = DraggedEdge(static_cast<float>(r.top), y, drag_.startY);
    ::SetWindowPos(window_, nullptr, r.left, RoundHalfToEven(top), 0, 0, flags);
}

// Releases the engine and ends the program at once: the unload step does not
// run, so the engine is released exactly once.
void UpdaterWindow::OnCancelClick() {
    ProgramEngine().Cleanup();
    ::ExitProcess(0);
}

void UpdaterWindow::OnUnload() {
    if (unloaded_) return;
    unloaded_ = true;
    ProgramEngine().Cleanup();
}

void UpdaterWindow::OnTimer(UINT_PTR id) {
    // Once the hand-over has begun no other tick acts, not even while its
    // message box is open.
    if (handingOver_) return;
    if (id == timer1_.id) OnTimer1Tick();
    else if (id == timerBW_.id) OnTimerBWTick();
    else if (id == timerStart_.id) OnTimerStartTick();
}

void UpdaterWindow::OnTimer1Tick() {
    View view(*this);
    MonitorTick(ProgramEngineReadings(), view, transferRate_, UserDecimalSeparator());
}

void UpdaterWindow::OnTimerBWTick() { rateSampler_.Tick(ProgramEngineReadings(), timerBW_.interval, transferRate_); }

// Hands over to the game: the window hides, the engine is released (before
// the game is looked for, so its files are free), the game starts or the
// player learns it is missing, and the program ends at once without the
// unload step, so the engine is released once.
void UpdaterWindow::OnTimerStartTick() {
    handingOver_ = true;
    StopTimer(timerStart_);
    ::ShowWindow(window_, SW_HIDE);
    ProgramEngine().Cleanup();
    StartGameOrReportMissing();
    ::ExitProcess(0);
}

}  // namespace velmora
