#include "core/host/MenuEvent.h"

#include <algorithm>

namespace qor {

template <class F>
void MenuEvent::Raise(F&& raiseOne) {
    // A handler may subscribe or unsubscribe while the event is out: walk a copy of
    // the cookies and skip sinks that left in the meantime.
    std::vector<std::uint64_t> cookies;
    cookies.reserve(sinks_.size());
    for (const auto& e : sinks_) cookies.push_back(e.cookie);
    auto keepAlive = weak_from_this().lock();
    for (auto cookie : cookies) {
        auto it = std::find_if(sinks_.begin(), sinks_.end(),
                               [cookie](const Entry& e) { return e.cookie == cookie; });
        if (it != sinks_.end()) raiseOne(*it->sink);
    }
}

void MenuEvent::Answer(dialer::CallPtr& c) {
    Raise([&](IMenuEvents& s) { s.Answer(c); });
}
void MenuEvent::Clear(dialer::CallPtr& c) {
    Raise([&](IMenuEvents& s) { s.Clear(c); });
}
void MenuEvent::Reconnect(dialer::CallPtr& c) {
    Raise([&](IMenuEvents& s) { s.Reconnect(c); });
}
void MenuEvent::CancelConsultation(dialer::CallPtr& c) {
    Raise([&](IMenuEvents& s) { s.CancelConsultation(c); });
}
void MenuEvent::CloseApp(dialer::SessionPtr& n) {
    Raise([&](IMenuEvents& s) { s.CloseApp(n); });
}
void MenuEvent::Maximize(dialer::SessionPtr& n) {
    Raise([&](IMenuEvents& s) { s.Maximize(n); });
}
void MenuEvent::MakeCall(std::string& callee) {
    Raise([&](IMenuEvents& s) { s.MakeCall(callee); });
}
void MenuEvent::MakeCall2(dialer::CallsPtr& calls, std::string& number) {
    Raise([&](IMenuEvents& s) { s.MakeCall2(calls, number); });
}
void MenuEvent::Configure() {
    Raise([](IMenuEvents& s) { s.Configuration(); });
}

Subscription MenuEvent::Subscribe(IMenuEvents& sink) {
    const auto cookie = nextCookie_++;
    sinks_.push_back({cookie, &sink});
    std::weak_ptr<MenuEvent> weak = weak_from_this();
    return Subscription([weak, cookie] {
        if (auto self = weak.lock())
            std::erase_if(self->sinks_, [cookie](const Entry& e) { return e.cookie == cookie; });
    });
}

}  // namespace qor
