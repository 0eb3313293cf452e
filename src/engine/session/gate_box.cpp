#include "engine/session/gate_box.h"

namespace vorla {

namespace {

// Saturates: a huge time-out must not overflow into the past.
std::chrono::steady_clock::time_point deadlineAfter(std::chrono::steady_clock::duration timeout) {
    auto now = std::chrono::steady_clock::now();
    return timeout >= std::chrono::steady_clock::time_point::max() - now
               ? std::chrono::steady_clock::time_point::max()
               : now + timeout;
}

}  // namespace

bool GateBox::resolve(Behavior behavior, std::optional<std::string> message) {
    {
        std::lock_guard lock(mutex_);
        if (decision_ || finished_ || abandoned_ || handedBack_) {
            return false;
        }
        decision_ = Decision{behavior, std::move(message)};
    }
    signalled_.notify_all();
    return true;
}

bool GateBox::waitFor(std::chrono::steady_clock::duration timeout) {
    std::unique_lock lock(mutex_);
    return signalled_.wait_until(lock, deadlineAfter(timeout),
                                 [this] { return decision_ || abandoned_ || handedBack_; });
}

Decision GateBox::wait(std::chrono::steady_clock::duration timeout) {
    std::unique_lock lock(mutex_);
    bool woken = signalled_.wait_until(lock, deadlineAfter(timeout),
                                       [this] { return decision_ || abandoned_ || handedBack_; });
    finished_ = true;
    if (decision_) {
        return *decision_;
    }
    return Decision{Behavior::deny, woken ? kInternalErrorMessage : kNoResponseMessage};
}

void GateBox::abandon() {
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    signalled_.notify_all();
}

void GateBox::handBack() {
    {
        std::lock_guard lock(mutex_);
        handedBack_ = true;
    }
    signalled_.notify_all();
}

bool GateBox::handedBack() const {
    std::lock_guard lock(mutex_);
    return handedBack_ && !decision_;
}

std::optional<Decision> GateBox::decision() const {
    std::lock_guard lock(mutex_);
    return decision_;
}

}  // namespace vorla
