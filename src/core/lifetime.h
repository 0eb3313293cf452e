// Lets work that finishes later (a task posted to the main queue, an answer
// from another thread) find out whether the object that started it is gone.
//
// The owner holds a Lifetime as its last member, so the token expires first
// when it is destroyed; callbacks hold a WeakSelf. Copying a WeakSelf is safe
// from any thread, but get() must run on the owner's thread: nothing stops
// the owner from being destroyed right after get() on another thread.
#pragma once

#include <memory>

namespace vorla {

template <class T>
class WeakSelf {
  public:
    WeakSelf() = default;
    // The owner, or nullptr once it is gone.
    [[nodiscard]] T* get() const {
        const auto alive = token_.lock();
        return alive ? *alive : nullptr;
    }

  private:
    template <class>
    friend class Lifetime;
    explicit WeakSelf(std::weak_ptr<T*> token) : token_(std::move(token)) {}
    std::weak_ptr<T*> token_;
};

template <class T>
class Lifetime {
  public:
    explicit Lifetime(T* owner) : token_(std::make_shared<T*>(owner)) {}
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    [[nodiscard]] WeakSelf<T> weak() const { return WeakSelf<T>(token_); }
    // Expires every WeakSelf now, for a destructor that has more to do (join
    // threads, close listeners) before the members go.
    void end() { token_.reset(); }

  private:
    std::shared_ptr<T*> token_;
};

}  // namespace vorla
