#include "core/cancel_flag.h"

namespace velmora::engine {

CancelFlag::Subscription::~Subscription() {
    std::lock_guard lock(flag_->mutex_);
    flag_->hooks_.erase(hook_);
}

void CancelFlag::Raise() noexcept {
    std::lock_guard lock(mutex_);
    if (raised_.exchange(true, std::memory_order_acq_rel)) return;
    for (const std::function<void()>& hook : hooks_) hook();
}

CancelFlag::Subscription CancelFlag::OnRaise(std::function<void()> hook) const {
    std::lock_guard lock(mutex_);
    const Hooks::iterator added = hooks_.insert(hooks_.end(), std::move(hook));
    if (Raised()) (*added)();
    return Subscription(*this, added);
}

}  // namespace velmora::engine
