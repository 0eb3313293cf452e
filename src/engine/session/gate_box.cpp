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
        MutexLock lock(mutex_);
        if (decision_ || finished_ || abandoned_ || handedBack_) {
            return false;
        }
        decision_ = Decision{behavior, std::move(message)};
    }
    signalled_.notify_all();
    return true;
}

bool GateBox::waitFor(std::chrono::steady_clock::duration timeout) {
    MutexLock lock(mutex_);
    return signalled_.wait_until(
        lock.native(), deadlineAfter(timeout),
        [this]() VORLA_REQUIRES(mutex_) { return decision_ || abandoned_ || handedBack_; });
}

Decision GateBox::wait(std::chrono::steady_clock::duration timeout) {
    MutexLock lock(mutex_);
    bool woken = signalled_.wait_until(
        lock.native(), deadlineAfter(timeout),
        [this]() VORLA_REQUIRES(mutex_) { return decision_ || abandoned_ || handedBack_; });
    finished_ = true;
    if (decision_) {
        return *decision_;
    }
    return Decision{Behavior::deny, woken ? kInternalErrorMessage : kNoResponseMessage};
}

void GateBox::abandon() {
    {
        MutexLock lock(mutex_);
        abandoned_ = true;
    }
    signalled_.notify_all();
}

void GateBox::handBack() {
    {
        MutexLock lock(mutex_);
        handedBack_ = true;
    }
    signalled_.notify_all();
}

bool GateBox::handedBack() const {
    MutexLock lock(mutex_);
    return handedBack_ && !decision_;
}

std::optional<Decision> GateBox::decision() const {
    MutexLock lock(mutex_);
    return decision_;
}

void GateBox::setAgent(ProcessIdentity agent, std::vector<std::string> markers) {
    MutexLock lock(mutex_);
    agent_ = agent;
    agentMarkers_ = std::move(markers);
}

std::vector<std::string> GateBox::agentMarkers() const {
    MutexLock lock(mutex_);
    return agentMarkers_;
}

std::optional<ProcessIdentity> GateBox::agent() const {
    MutexLock lock(mutex_);
    return agent_;
}

}  // namespace vorla
