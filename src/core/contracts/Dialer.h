#pragma once
// The client's dialer object library as the tray sees it: sessions, the extension
// collection, extensions, calls collections, calls and addresses. The tray only
// holds, reads and listens to these objects; the client owns and creates them.
//
// Every member may fail by throwing qor::QorError; the tray's procedures decide
// whether such a failure is skipped, reported or returned to the client.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/common/Subscription.h"
#include "core/common/Variant.h"

namespace qor::dialer {

class IAddress {
  public:
    virtual ~IAddress() = default;
    virtual std::string Text() = 0;
};
using AddressPtr = std::shared_ptr<IAddress>;

// Action flags of a call (bit mask).
inline constexpr std::int32_t kActionAnswer = 1;
inline constexpr std::int32_t kActionReconnect = 8;
inline constexpr std::int32_t kActionConsultation = 64;

// Call states the tray tells apart; any other value is a call in conversation.
inline constexpr std::int32_t kCallRinging = 1;
inline constexpr std::int32_t kCallAlerting = 2;
inline constexpr std::int32_t kCallHeld = 4;

// Property code of a call's property change that asks for a refresh.
inline constexpr std::int32_t kCallPropertyRefresh = 5;

// The current call's events. Arguments are by reference, as the library raises them.
class ICallEvents {
  public:
    virtual ~ICallEvents() = default;
    virtual void Offering(AddressPtr& originalCallerAddress, std::int32_t& origin,
                          std::int32_t& reason) = 0;
    virtual void Recalling(AddressPtr& alertingAddress) = 0;
    virtual void ReOffering() = 0;
    virtual void Alerting(AddressPtr& alertingAddress) = 0;
    virtual void Connected(AddressPtr& currentAddress) = 0;
    virtual void ConsultationConnected(AddressPtr& consultationAddress) = 0;
    virtual void ConsultationOnHold() = 0;
    virtual void NewConnected(AddressPtr& redirectingAddress, AddressPtr& redirectedAddress) = 0;
    virtual void Reconnected(AddressPtr& currentAddress) = 0;
    virtual void OnHold() = 0;
    virtual void Cleared(AddressPtr& clearedAddress, std::int32_t& reason) = 0;
    virtual void PropertyChange(std::int32_t& property, Variant& value) = 0;
};

class ICall {
  public:
    virtual ~ICall() = default;
    virtual std::int32_t State() = 0;
    virtual std::int32_t ActionFlags() = 0;
    virtual std::string ExtensionEntryID() = 0;
    // Only the lowest bit counts: set means the dialled number may be kept for redial.
    virtual std::uint8_t RedialFlag() = 0;
    virtual AddressPtr RemoteAddress() = 0;
    virtual AddressPtr DialledAddress() = 0;
    virtual Subscription Advise(ICallEvents& sink) = 0;
};
using CallPtr = std::shared_ptr<ICall>;

// Property codes of the calls collection's property change.
inline constexpr std::int32_t kCallsPropertyCount = 0;
inline constexpr std::int32_t kCallsPropertyCurrentCall = 1;

class ICallsEvents {
  public:
    virtual ~ICallsEvents() = default;
    virtual void PropertyChange(std::int32_t& property, Variant& value) = 0;
};

class ICalls {
  public:
    virtual ~ICalls() = default;
    // The call with that entry id (text or number); nullptr when there is none.
    virtual CallPtr Item(const Variant& key) = 0;
    virtual std::string CurrentCallEntryID() = 0;
    virtual std::int32_t Count() = 0;
    virtual void Remove(std::int32_t position) = 0;  // 1-based
    virtual Subscription Advise(ICallsEvents& sink) = 0;
};
using CallsPtr = std::shared_ptr<ICalls>;

// Property codes of the extension's property change.
inline constexpr std::int32_t kExtPropertyCapabilities = 2;
inline constexpr std::int32_t kExtPropertyConnectionState = 7;
inline constexpr std::int32_t kCapabilityDial = 2;

class IExtensionEvents {
  public:
    virtual ~IExtensionEvents() = default;
    virtual void PropertyChange(std::int32_t& property, Variant& value) = 0;
    virtual void CustomPropertyChange(std::string& name, Variant& value) = 0;
    virtual void Monitoring(std::string& ext) = 0;
    virtual void MonitoringStop(std::string& ext) = 0;
};

// The six forwarding indications of an extension.
struct Forwarding {
    std::array<std::string, 4> texts;  // immediate, on busy, on no reply, destination
    std::array<bool, 2> flags{};       // forwarding on, follow-me on
    bool IsSet() const {
        for (const auto& t : texts)
            if (!t.empty()) return true;
        return flags[0] || flags[1];
    }
};

class IExtension {
  public:
    virtual ~IExtension() = default;
    virtual std::string Number() = 0;
    virtual std::string LineName() = 0;
    virtual std::string EntryID() = 0;  // text holding a 16-bit integer
    virtual CallsPtr Calls() = 0;
    virtual void Monitor(std::int32_t mode, const std::string& a, const std::string& b) = 0;
    virtual Variant CustomProperty(const std::string& name) = 0;
    virtual Forwarding ForwardingState() = 0;
    virtual Subscription Advise(IExtensionEvents& sink) = 0;
};
using ExtensionPtr = std::shared_ptr<IExtension>;

class IExtensions {
  public:
    virtual ~IExtensions() = default;
    // key: a text entry id or a 16-bit integer; nullptr when there is no such extension.
    virtual ExtensionPtr Item(const Variant& key) = 0;
    virtual std::string CurrentEntryID() = 0;
    virtual std::string SecondEntryID() = 0;
};
using ExtensionsPtr = std::shared_ptr<IExtensions>;

class ISessionEvents {
  public:
    virtual ~ISessionEvents() = default;
    virtual void SessionOpened() = 0;
};

// A session also answers late-bound calls by name ("TheAppMenus", "SendMenuSelected").
class ISession : public ILateBound {
  public:
    virtual std::string SessionKey() = 0;
    virtual ExtensionsPtr Extensions() = 0;
    virtual Subscription Advise(ISessionEvents& sink) = 0;
};
using SessionPtr = std::shared_ptr<ISession>;

// The client's main session is handed over with this connect mode.
inline constexpr std::int32_t kConnectModeMain = 1;

}  // namespace qor::dialer
