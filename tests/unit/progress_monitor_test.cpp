#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "window/progress_monitor.h"

namespace velmora {
namespace {

struct FakeEngine : EngineReadings {
    std::int16_t status = 0;
    std::int32_t done = 0;
    std::int32_t total = 0;
    std::int16_t Status() const override { return status; }
    std::int32_t Done() const override { return done; }
    std::int32_t Total() const override { return total; }
};

// Records what the tick does to the window, in order.
struct RecordingView : ProgressView {
    std::vector<std::string> calls;
    std::wstring statusLine = L"(unset)";
    std::wstring barText;
    bool barVisible = false;
    bool handOverRunning = false;
    int handOverStarts = 0;

    void SetStatusLine(const std::wstring& text) override {
        statusLine = text;
        calls.push_back("status line");
    }
    bool BarVisible() const override { return barVisible; }
    void SetBarVisible(bool visible) override {
        barVisible = visible;
        calls.push_back(visible ? "show bar" : "hide bar");
    }
    void SetBarMaximum(std::int32_t v) override { calls.push_back("max " + std::to_string(v)); }
    void SetBarMinimum(std::int32_t v) override { calls.push_back("min " + std::to_string(v)); }
    void SetBarValue(std::int32_t v) override { calls.push_back("value " + std::to_string(v)); }
    void SetBarText(const std::wstring& text) override {
        barText = text;
        calls.push_back("text");
    }
    void RefreshBar() override { calls.push_back("refresh"); }
    bool HandOverTimerRunning() const override { return handOverRunning; }
    void StartHandOverTimer() override {
        handOverRunning = true;
        ++handOverStarts;
        calls.push_back("arm hand-over");
    }
};

using Calls = std::vector<std::string>;

TEST(MonitorTick, DownloadShowsTheBarWithRangeValueAndText) {
    const struct {
        std::int16_t status;
        std::int32_t done, total, rate;
        const wchar_t* line;
        const wchar_t* text;
    } cases[] = {
        {4, 300000, 52428800, 200000, L"Bajando cambios", L"292.97 KB / 50 MB a 195.31 KB/s"},
        {2, 1536, 1048576, 200000, L"Bajando cliente completo", L"1.5 KB / 1 MB a 195.31 KB/s"},
        {4, 300, 1000, -199800, L"Bajando cambios", L"300 B / 1000 B a -199800 B/s"},
    };
    for (const auto& c : cases) {
        FakeEngine engine;
        engine.status = c.status, engine.done = c.done, engine.total = c.total;
        RecordingView view;
        MonitorTick(engine, view, c.rate, L".");
        EXPECT_EQ(view.statusLine, c.line);
        EXPECT_EQ(view.barText, c.text);
        EXPECT_TRUE(view.barVisible);
        const Calls expected{"status line", "show bar", "max " + std::to_string(c.total), "min 0",
                             "value " + std::to_string(c.done), "text", "refresh"};
        EXPECT_EQ(view.calls, expected);
    }
}

TEST(MonitorTick, AlreadyShownBarIsNotShownAgain) {
    FakeEngine engine;
    engine.status = 4, engine.done = 10, engine.total = 20;
    RecordingView view;
    view.barVisible = true;
    MonitorTick(engine, view, 0, L",");
    EXPECT_EQ(view.calls, (Calls{"status line", "max 20", "min 0", "value 10", "text", "refresh"}));
    EXPECT_EQ(view.barText, L"10 B / 20 B a 0 B/s");
}

TEST(MonitorTick, BarIsHiddenUnlessDownloadingWithBothCounts) {
    const struct {
        std::int16_t status;
        std::int32_t done, total;
        const wchar_t* line;
        Calls calls;
    } cases[] = {
        {3, 500, 1000, L"Buscando cambios...", {"status line", "hide bar"}},
        {4, 0, 1000, L"Bajando cambios", {"status line", "show bar", "hide bar"}},
        {2, 500, 0, L"Bajando cliente completo", {"status line", "show bar", "hide bar"}},
        {-7, 500, 1000, L"ERROR: Archivo incorrecto", {"status line", "hide bar"}},
        {0, 0, 0, L"", {"status line", "hide bar"}},
        {5, 1, 1, L"Guardando...", {"status line", "hide bar"}},
    };
    for (const auto& c : cases) {
        FakeEngine engine;
        engine.status = c.status, engine.done = c.done, engine.total = c.total;
        RecordingView view;
        MonitorTick(engine, view, 0, L".");
        EXPECT_EQ(view.statusLine, c.line) << c.status;
        EXPECT_EQ(view.calls, c.calls) << c.status;
        EXPECT_FALSE(view.barVisible) << c.status;
    }
}

TEST(MonitorTick, FinishedStatusArmsTheHandOverOnceOverManyTicks) {
    FakeEngine engine;
    engine.status = 1;
    RecordingView view;
    for (int tick = 0; tick < 4; ++tick) MonitorTick(engine, view, 0, L".");
    EXPECT_EQ(view.handOverStarts, 1);
    EXPECT_EQ(view.statusLine, L"Actualizacion OK");
}

// Where done falls (the next stage of a download over 2 GiB counts from 0
// again), the rate keeps the value the first sample gave (done over a
// second) instead of turning negative, and the next sample counts from the
// new done.
TEST(RateSampler, RateIsTheDifferenceOverTheIntervalClampedToTheIntegerRange) {
    const struct {
        std::int32_t previous, done;
        std::uint32_t interval;
        std::int32_t rate;
    } cases[] = {
        {0, 300000, 1500, 200000},
        {300000, 450000, 1500, 100000},
        {300000, 300, 1500, 300000},        // done fell: the rate stays
        {0, 3, 2000, 2},   // 1.5 rounds to 2
        {0, 5, 2000, 2},   // 2.5 rounds to 2
        {0, 7, 2000, 4},   // 3.5 rounds to 4
        {INT_MIN, INT_MAX, 1500, INT_MAX},  // difference itself beyond 32 bits
        {INT_MAX, INT_MIN, 1500, INT_MAX},
        {0, INT_MAX, 100, INT_MAX},         // short interval
        {-2000000000, 0x7fff0000, 100, INT_MAX},
    };
    for (const auto& c : cases) {
        FakeEngine engine;
        engine.total = 52428800;
        RateSampler sampler;
        std::int32_t rate = 0;
        engine.done = c.previous;
        if (c.previous != 0) sampler.Tick(engine, 1000, rate);
        engine.done = c.done;
        sampler.Tick(engine, c.interval, rate);
        EXPECT_EQ(rate, c.rate) << c.previous << " -> " << c.done;
        EXPECT_EQ(sampler.LastDoneSample(), c.done);
    }
}

TEST(RateSampler, NothingChangesWhileACountIsZero) {
    FakeEngine engine;
    engine.done = 5000, engine.total = 10000;
    RateSampler sampler;
    std::int32_t rate = 0;
    sampler.Tick(engine, 1500, rate);
    const std::int32_t before = rate;
    engine.done = 0;
    sampler.Tick(engine, 1500, rate);
    engine.done = 9000, engine.total = 0;
    sampler.Tick(engine, 1500, rate);
    EXPECT_EQ(rate, before);
    EXPECT_EQ(sampler.LastDoneSample(), 5000);
}

}  // namespace
}  // namespace velmora
