#include "window/progress_monitor.h"

#include <limits>

#include "common/rounding.h"
#include "contract/engine_contract.h"
#include "text/format_bytes.h"
#include "text/status_text.h"

namespace velmora {

std::wstring ProgressText(std::int32_t done, std::int32_t total, std::int32_t rate,
                          std::wstring_view decimalSeparator) {
    return FormatBytes(done, decimalSeparator) + L" / " + FormatBytes(total, decimalSeparator) + L" a " +
           FormatBytes(rate, decimalSeparator) + L"/s";
}

void MonitorTick(const EngineReadings& engine, ProgressView& view, std::int32_t rate,
                 std::wstring_view decimalSeparator) {
    view.SetStatusLine(GetStatusText(engine.Status()));

    const std::int16_t status = engine.Status();
    if (status == StatusCode(EngineStatus::DownloadingChanges) || status == StatusCode(EngineStatus::DownloadingClient)) {
        if (!view.BarVisible()) view.SetBarVisible(true);
        if (engine.Done() != 0 && engine.Total() != 0) {
            view.SetBarMaximum(engine.Total());
            view.SetBarMinimum(0);
            view.SetBarValue(engine.Done());
            view.SetBarText(ProgressText(engine.Done(), engine.Total(), rate, decimalSeparator));
            view.RefreshBar();
        } else {
            view.SetBarVisible(false);
        }
    } else {
        view.SetBarVisible(false);
    }

    if (engine.Status() == StatusCode(EngineStatus::UpToDate) && !view.HandOverTimerRunning()) view.StartHandOverTimer();
}

void RateSampler::Tick(const EngineReadings& engine, std::uint32_t intervalMs, std::int32_t& rate) {
    if (engine.Done() == 0 || engine.Total() == 0) return;
    // In 64 bits, so that counts far outside their use cannot overflow here.
    const std::int64_t difference = std::int64_t{engine.Done()} - lastDoneSample_;
    // Where done fell, the count began again (a download over 2 GiB is shown
    // in stages, each counted from 0): the bytes since the last sample are
    // not known, and no download goes backwards, so the rate stays as it was.
    if (difference >= 0) {
        const double perSecond = static_cast<double>(difference) / (intervalMs / 1000.0);
        constexpr double highest = std::numeric_limits<std::int32_t>::max();
        rate = perSecond >= highest ? std::numeric_limits<std::int32_t>::max() : RoundHalfToEven(perSecond);
    }
    lastDoneSample_ = engine.Done();
}

}  // namespace velmora
