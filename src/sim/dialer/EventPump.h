#pragma once
// How the simulated dialer library delivers its events: like the real library, it
// posts them to the client's user-interface thread and they are dispatched one at a
// time from the message loop, never from inside a call the tray is making. The
// simulator drives that loop explicitly with Pump().

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/common/Subscription.h"

namespace qor::sim {

class EventPump {
  public:
    // Queues one event; `what` names it for the timeline ("call c1 Offering").
    void Post(std::string what, std::function<void()> deliver);
    // Delivers queued events in order until none is left; events posted while one
    // is being delivered go to the back of the queue. A library that keeps
    // posting forever is a fault of the scenario: past `limit` deliveries this
    // throws std::runtime_error. Returns how many events were delivered.
    std::size_t Pump(std::size_t limit = 10000);
    bool Empty() const { return queue_.empty(); }
    std::size_t Pending() const { return queue_.size(); }

    // Called before each delivery, with the event's name (timeline, tests).
    std::function<void(const std::string&)> onDeliver;

  private:
    struct Item {
        std::string what;
        std::function<void()> deliver;
    };
    std::deque<Item> queue_;
    bool pumping_ = false;
};

// The sinks advised on one simulated object. A sink is looked up when an event is
// delivered, not when it is posted: a sink detached in between gets nothing, which
// is what makes "a call that is no longer current sends nothing" observable.
template <class Sink>
class SinkList {
  public:
    Subscription Add(Sink& sink) {
        const std::uint64_t cookie = state_->next++;
        state_->entries.push_back({cookie, &sink});
        std::weak_ptr<State> weak = state_;
        return Subscription([weak, cookie] {
            if (auto state = weak.lock())
                std::erase_if(state->entries,
                              [cookie](const Entry& e) { return e.cookie == cookie; });
        });
    }
    // Calls f(sink) for each sink still advised at the moment it is reached; a sink
    // that a handler detaches is skipped.
    template <class F>
    void ForEach(F&& f) {
        std::vector<std::uint64_t> cookies;
        for (const auto& e : state_->entries) cookies.push_back(e.cookie);
        for (auto cookie : cookies) {
            for (const auto& e : state_->entries) {
                if (e.cookie == cookie) {
                    Sink* sink = e.sink;
                    f(*sink);
                    break;
                }
            }
        }
    }
    std::size_t Count() const { return state_->entries.size(); }

  private:
    struct Entry {
        std::uint64_t cookie;
        Sink* sink;
    };
    struct State {
        std::vector<Entry> entries;
        std::uint64_t next = 1;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace qor::sim
