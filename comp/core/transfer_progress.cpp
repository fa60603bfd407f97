#include "core/transfer_progress.h"

#include <algorithm>

namespace velmora::engine {
namespace {

struct ShownProgress {
    std::uint64_t done;
    std::uint64_t total;
};

// What the variables show for `done` of `total` bytes in stages of
// `stageSize`.
ShownProgress ShowInStages(std::uint64_t done, std::uint64_t total, std::uint64_t stageSize) {
    if (done == 0 || stageSize == 0) return {0, std::min(total, stageSize)};
    const std::uint64_t stage = (done - 1) / stageSize;
    const std::uint64_t begun = stage * stageSize;
    return {done - begun, std::min(stageSize, total - std::min(total, begun))};
}

// The size of the stages for a download of `total` bytes: all of it in one
// stage when it fits, else the smallest number of equal stages that fit.
std::uint64_t StageSize(std::uint64_t total, std::uint64_t stageLimit) {
    if (total <= stageLimit) return stageLimit;
    const std::uint64_t stages = total / stageLimit + (total % stageLimit != 0);
    return total / stages + (total % stages != 0);
}

}  // namespace

TransferProgress::TransferProgress(const StatusWriter& status, std::uint64_t total, std::uint64_t stageLimit)
    : status_(status), total_(total), stageSize_(StageSize(total, stageLimit)) {
    Show();
}

void TransferProgress::Received(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    done_ += bytes;
    Show();
}

void TransferProgress::Grew(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    total_ += bytes;
    Show();
}

void TransferProgress::Replanned(std::uint64_t planned, std::uint64_t instead) {
    std::lock_guard lock(mutex_);
    total_ = total_ - std::min(planned, total_) + instead;
    Show();
}

std::uint64_t TransferProgress::Done() const {
    std::lock_guard lock(mutex_);
    return done_;
}

std::uint64_t TransferProgress::Total() const {
    std::lock_guard lock(mutex_);
    return total_;
}

void TransferProgress::Show() const {
    const ShownProgress shown = ShowInStages(done_, total_, stageSize_);
    status_.Done(shown.done);
    status_.Total(shown.total);
}

}  // namespace velmora::engine
