#include "sim/dialer/EventPump.h"

#include <stdexcept>

namespace qor::sim {

void EventPump::Post(std::string what, std::function<void()> deliver) {
    queue_.push_back({std::move(what), std::move(deliver)});
}

std::size_t EventPump::Pump(std::size_t limit) {
    // A handler that pumps again would deliver re-entrantly, which the real message
    // loop never does for these events; the outer pump finishes the queue instead.
    if (pumping_) return 0;
    pumping_ = true;
    std::size_t delivered = 0;
    try {
        while (!queue_.empty()) {
            if (delivered == limit) {
                throw std::runtime_error("the phone system kept posting events (more than " +
                                         std::to_string(limit) + " in one pump)");
            }
            Item item = std::move(queue_.front());
            queue_.pop_front();
            if (onDeliver) onDeliver(item.what);
            ++delivered;
            item.deliver();
        }
    } catch (...) {
        pumping_ = false;
        throw;
    }
    pumping_ = false;
    return delivered;
}

}  // namespace qor::sim
