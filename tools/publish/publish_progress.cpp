#include "publish_progress.h"

#include "amount_text.h"

namespace velmora::publish {
namespace {

std::string DurationText(std::uint64_t seconds) {
    if (seconds < 60) return std::to_string(seconds) + " s";
    if (seconds < 3600) return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
    const std::uint64_t minutes = seconds / 60;
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

}  // namespace

std::string ProgressLine(const ProgressState& state) {
    std::string line = std::to_string(state.filesDone) + "/" + std::to_string(state.files) + " files, " +
                       SizeText(state.bytesDone) + " of " + SizeText(state.bytes);
    if (state.seconds < 1 || state.bytesDone == 0) return line;
    const double rate = static_cast<double>(state.bytesDone) / state.seconds;
    const std::uint64_t left = state.bytes > state.bytesDone ? state.bytes - state.bytesDone : 0;
    return line + ", " + SizeText(static_cast<std::uint64_t>(rate)) + "/s, " +
           DurationText(static_cast<std::uint64_t>(static_cast<double>(left) / rate + 0.5)) + " left";
}

PublishProgress::PublishProgress(std::ostream& terminal, std::uint64_t files, std::uint64_t bytes)
    : terminal_(terminal) {
    state_.files = files;
    state_.bytes = bytes;
    Show(true);
}

void PublishProgress::BytesRead(std::uint64_t count) {
    state_.bytesDone += count;
    Show(false);
}

void PublishProgress::FileDone() {
    ++state_.filesDone;
    Show(false);
}

PublishProgress::~PublishProgress() { terminal_ << "\r\033[K" << std::flush; }

void PublishProgress::Show(bool now) {
    const Clock::time_point time = Clock::now();
    if (!now && time - shown_ < std::chrono::milliseconds(250)) return;
    shown_ = time;
    state_.seconds = std::chrono::duration<double>(time - start_).count();
    terminal_ << "\r" << ProgressLine(state_) << "\033[K" << std::flush;
}

}  // namespace velmora::publish
