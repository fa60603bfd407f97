#pragma once
// The updater's one window, VELUpdater: a borderless skinned window with the
// status line, the hosted progress bar and two hidden hosted controls, the
// Cancel click area and three timers. Loading it creates all of that and runs
// its load step, which starts the update engine.
#include <windows.h>

#include <memory>

#include "common/failure.h"
#include "winsupport/owners_win.h"
#include "window/drag.h"
#include "window/hosted_control_win.h"
#include "window/progress_monitor.h"

namespace velmora {

// The window's class, by which a second start finds it.
inline constexpr wchar_t kUpdaterWindowClass[] = L"VELUpdater";

class UpdaterWindow {
public:
    // Creates the window hidden, with its controls and running timers, and
    // runs its load step. Raises Failure when a control cannot be created or
    // the engine cannot be started; nothing is left behind then.
    static std::unique_ptr<UpdaterWindow> Load(HINSTANCE instance);
    ~UpdaterWindow();
    UpdaterWindow(const UpdaterWindow&) = delete;
    UpdaterWindow& operator=(const UpdaterWindow&) = delete;

    // Shows the window without taking an owner; from now on its destruction
    // ends the program's message loop.
    void Show();

private:
    struct Timer {
        UINT_PTR id;
        UINT interval;
        bool running;
    };

    class View;

    explicit UpdaterWindow(HINSTANCE instance);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateChildren();
    void RunLoadStep();
    void StartTimer(Timer& timer);
    void StopTimer(Timer& timer);

    [[noreturn]] void EndWithFailure(const Failure& failure);

    void OnPaint();
    void OnPointerPress(LPARAM lParam);
    void OnPointerMove(LPARAM lParam);
    // WM_PARENTNOTIFY: `event` happened on a child window.
    void OnChildNotice(UINT event);
    void OnCancelClick();
    void OnUnload();
    void OnTimer(UINT_PTR id);
    void OnTimer1Tick();
    void OnTimerBWTick();
    void OnTimerStartTick();

    HINSTANCE instance_;
    HWND window_ = nullptr;
    UniqueBitmap skin_;
    UniqueFont labelFont_;
    HWND label1_ = nullptr;
    HWND image1_ = nullptr;
    std::unique_ptr<HostedControl> progressBar1_;
    std::unique_ptr<HostedControl> tabStrip1_;
    std::unique_ptr<HostedControl> richTextBox1_;
    Timer timer1_;
    Timer timerBW_;
    Timer timerStart_;
    DragState drag_;
    RateSampler rateSampler_;
    // The transfer rate in bytes per second: written by the rate timer,
    // shown in the progress text.
    std::int32_t transferRate_ = 0;
    bool handingOver_ = false;
    bool shown_ = false;
    bool unloaded_ = false;
    bool endingWithFailure_ = false;
};

}  // namespace velmora
