#pragma once
// A live event connection. Destroying (or resetting) it detaches the sink, so a
// form field that holds one per attached object gets detach-on-reassign for free.

#include <functional>
#include <utility>

namespace qor {

class Subscription {
  public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, {})) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            Reset();
            cancel_ = std::exchange(other.cancel_, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { Reset(); }

    void Reset() noexcept {
        if (auto cancel = std::exchange(cancel_, {})) {
            try {
                cancel();
            } catch (...) {
                // Detaching must never fail the caller; a source that is already gone
                // has nothing left to detach from.
            }
        }
    }
    explicit operator bool() const noexcept { return static_cast<bool>(cancel_); }

  private:
    std::function<void()> cancel_;
};

}  // namespace qor
