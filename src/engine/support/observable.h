// Change notification for engine objects that views watch. A view subscribes
// a callback and keeps the returned Subscription; dropping it unsubscribes.
//
// Main thread only: notify() runs the callbacks synchronously on the caller's
// thread, and a callback may subscribe or unsubscribe others while it runs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace vorla {

class ChangeNotifier;

// Move-only RAII token; unsubscribes on destruction, also after the notifier
// itself is gone.
class Subscription {
  public:
    Subscription() = default;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    Subscription(Subscription&& other) noexcept { *this = std::move(other); }
    Subscription& operator=(Subscription&& other) noexcept;
    ~Subscription() { reset(); }

    void reset();

  private:
    friend class ChangeNotifier;
    using Listeners = std::map<std::uint64_t, std::function<void()>>;
    Subscription(std::weak_ptr<Listeners> listeners, std::uint64_t id)
        : listeners_(std::move(listeners)), id_(id) {}

    std::weak_ptr<Listeners> listeners_;
    std::uint64_t id_ = 0;
};

class ChangeNotifier {
  public:
    [[nodiscard]] Subscription subscribe(std::function<void()> callback);
    void notify() const;
    [[nodiscard]] std::size_t subscriberCount() const { return listeners_->size(); }

  private:
    std::shared_ptr<Subscription::Listeners> listeners_ =
        std::make_shared<Subscription::Listeners>();
    std::uint64_t nextID_ = 1;
};

// Assigns and reports whether the value changed, so setters notify only on
// real changes: `if (assignIfChanged(state_, s)) changed_.notify();`
template <typename T, typename U>
bool assignIfChanged(T& field, U&& value) {
    if (field == value) {
        return false;
    }
    field = std::forward<U>(value);
    return true;
}

}  // namespace vorla
