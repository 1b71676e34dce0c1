#pragma once
// The event channel back to the client: each method raises the event of the same
// meaning, synchronously, to every subscriber in the order they subscribed.
// Arguments are by reference: a handler that changes one changes the caller's variable.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/common/Subscription.h"
#include "core/contracts/Dialer.h"

namespace qor {

// Event numbers (dispatch identifiers of the outgoing interface).
namespace menuevent {
inline constexpr std::int32_t kAnswer = 1;
inline constexpr std::int32_t kReconnect = 2;
inline constexpr std::int32_t kClear = 3;
inline constexpr std::int32_t kCancelConsultation = 4;
inline constexpr std::int32_t kCloseApp = 5;
inline constexpr std::int32_t kMaximize = 6;
inline constexpr std::int32_t kConfiguration = 7;
inline constexpr std::int32_t kMakeCall = 8;
inline constexpr std::int32_t kMakeCall2 = 9;
}  // namespace menuevent

class IMenuEvents {
  public:
    virtual ~IMenuEvents() = default;
    virtual void Answer(dialer::CallPtr& currentCall) = 0;
    virtual void Reconnect(dialer::CallPtr& currentCall) = 0;
    virtual void Clear(dialer::CallPtr& currentCall) = 0;
    virtual void CancelConsultation(dialer::CallPtr& currentCall) = 0;
    virtual void CloseApp(dialer::SessionPtr& myNum) = 0;
    virtual void Maximize(dialer::SessionPtr& myNum) = 0;
    virtual void Configuration() = 0;
    virtual void MakeCall(std::string& callee) = 0;
    virtual void MakeCall2(dialer::CallsPtr& myCalls, std::string& strToDial) = 0;
};

class MenuEvent : public std::enable_shared_from_this<MenuEvent> {
    struct Key {};

  public:
    // Always shared: subscriptions hold it weakly and outlive it safely.
    static std::shared_ptr<MenuEvent> Create() { return std::make_shared<MenuEvent>(Key{}); }
    explicit MenuEvent(Key) {}

    void Answer(dialer::CallPtr& currentCall);
    void Clear(dialer::CallPtr& currentCall);
    void Reconnect(dialer::CallPtr& currentCall);
    void CancelConsultation(dialer::CallPtr& currentCall);
    void CloseApp(dialer::SessionPtr& myNum);
    void Maximize(dialer::SessionPtr& myNum);
    void MakeCall(std::string& callee);
    void MakeCall2(dialer::CallsPtr& myCalls, std::string& strToDial);
    void Configure();

    // The sink stays subscribed until the returned subscription is reset or destroyed.
    Subscription Subscribe(IMenuEvents& sink);
    std::size_t SubscriberCount() const { return sinks_.size(); }

  private:
    template <class F>
    void Raise(F&& raiseOne);

    struct Entry {
        std::uint64_t cookie;
        IMenuEvents* sink;
    };
    std::vector<Entry> sinks_;
    std::uint64_t nextCookie_ = 1;
};
using MenuEventPtr = std::shared_ptr<MenuEvent>;

}  // namespace qor
