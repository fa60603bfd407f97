#include "core/transfer_progress.h"

#include <algorithm>

namespace velmora::engine {

TransferProgress::TransferProgress(const StatusWriter& status, std::uint64_t total) : status_(status), total_(total) {
    status_.Total(total_);
    status_.Done(done_);
}

void TransferProgress::Received(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    done_ += bytes;
    status_.Done(done_);
}

void TransferProgress::Grew(std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    total_ += bytes;
    status_.Total(total_);
}

void TransferProgress::Replanned(std::uint64_t planned, std::uint64_t instead) {
    std::lock_guard lock(mutex_);
    total_ = total_ - std::min(planned, total_) + instead;
    status_.Total(total_);
}

std::uint64_t TransferProgress::Done() const {
    std::lock_guard lock(mutex_);
    return done_;
}

std::uint64_t TransferProgress::Total() const {
    std::lock_guard lock(mutex_);
    return total_;
}

}  // namespace velmora::engine
