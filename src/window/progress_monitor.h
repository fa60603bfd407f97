#pragma once
// What the window's two monitoring timers do on each tick, over the few
// operations of the window they need. The engine's variables are read
// afresh at every use: the engine may change them between two reads of one
// tick, and no snapshot or lock is taken.
#include <cstdint>
#include <string>

namespace velmora {

class EngineReadings {
public:
    virtual ~EngineReadings() = default;
    virtual std::int16_t Status() const = 0;
    virtual std::int32_t Done() const = 0;
    virtual std::int32_t Total() const = 0;
};

class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void SetStatusLine(const std::wstring& text) = 0;
    virtual bool BarVisible() const = 0;
    virtual void SetBarVisible(bool visible) = 0;
    virtual void SetBarMaximum(std::int32_t maximum) = 0;
    virtual void SetBarMinimum(std::int32_t minimum) = 0;
    virtual void SetBarValue(std::int32_t value) = 0;
    virtual void SetBarText(const std::wstring& text) = 0;
    virtual void RefreshBar() = 0;
    virtual bool HandOverTimerRunning() const = 0;
    virtual void StartHandOverTimer() = 0;
};

// The progress text: "<done> / <total> a <rate>/s", each a size text.
std::wstring ProgressText(std::int32_t done, std::int32_t total, std::int32_t rate,
                          std::wstring_view decimalSeparator);

// The status line and the bar: the bar shows only while downloading (status
// 2 or 4) with both counts non-zero; status 1 starts the hand-over timer
// once.
void MonitorTick(const EngineReadings& engine, ProgressView& view, std::int32_t rate,
                 std::wstring_view decimalSeparator);

// The transfer rate from the bytes done since the previous sample. Nothing
// changes while done or total is 0. Where done fell (a new stage of a large
// download), only the sample is taken: the rate keeps its value rather than
// turning negative. A rate beyond the 32-bit range (only possible when the
// engine writes counts far outside their use) is clamped, so a display
// value never stops the update.
class RateSampler {
public:
    void Tick(const EngineReadings& engine, std::uint32_t intervalMs, std::int32_t& rate);
    std::int32_t LastDoneSample() const { return lastDoneSample_; }

private:
    std::int32_t lastDoneSample_ = 0;
};

}  // namespace velmora
