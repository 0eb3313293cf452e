#include "engine/support/observable.h"

#include <vector>

namespace vorla {

Subscription& Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        reset();
        listeners_ = std::move(other.listeners_);
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

void Subscription::reset() {
    if (auto listeners = listeners_.lock()) {
        listeners->erase(id_);
    }
    listeners_.reset();
    id_ = 0;
}

Subscription ChangeNotifier::subscribe(std::function<void()> callback) {
    std::uint64_t id = nextID_++;
    listeners_->emplace(id, std::move(callback));
    return Subscription(listeners_, id);
}

void ChangeNotifier::notify() const {
    // Snapshot the ids: a callback may add or remove subscriptions.
    std::vector<std::uint64_t> ids;
    ids.reserve(listeners_->size());
    for (const auto& entry : *listeners_) {
        ids.push_back(entry.first);
    }
    auto keepAlive = listeners_;
    for (auto id : ids) {
        auto it = keepAlive->find(id);
        if (it != keepAlive->end()) {
            auto callback = it->second;  // copy: the callback may unsubscribe itself
            callback();
        }
    }
}

}  // namespace vorla
