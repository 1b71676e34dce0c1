#pragma once
// A small simulated phone system behind the dialer object contract: sessions with
// application menus, an extension collection, extensions with their forwarding,
// custom properties and connection state, calls collections and calls. The
// PhoneSystem is the switch: scenario happenings and the simulated client's call
// control change the objects at once and post the events that a real library would
// raise, to be delivered later by the EventPump.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/contracts/Dialer.h"
#include "sim/dialer/EventPump.h"

namespace qor::sim {

// An impossible request to the phone system (answering when nothing rings...).
class PhoneError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Call states as the simulated library reports them.
inline constexpr std::int32_t kCallIdle = 0;
inline constexpr std::int32_t kCallConnected = 3;

class SimAddress : public dialer::IAddress {
  public:
    explicit SimAddress(std::string text) : text_(std::move(text)) {}
    std::string Text() override { return text_; }

  private:
    std::string text_;
};

class SimCall : public dialer::ICall {
  public:
    SimCall(std::string id, std::string extEntryId)
        : id(std::move(id)), extEntryId(std::move(extEntryId)) {}
    std::int32_t State() override { return state; }
    std::int32_t ActionFlags() override { return flags; }
    std::string ExtensionEntryID() override { return extEntryId; }
    std::uint8_t RedialFlag() override { return redial; }
    dialer::AddressPtr RemoteAddress() override { return std::make_shared<SimAddress>(remote); }
    dialer::AddressPtr DialledAddress() override { return std::make_shared<SimAddress>(dialled); }
    Subscription Advise(dialer::ICallEvents& sink) override { return sinks.Add(sink); }

    std::string id;  // entry id in the calls collection
    std::string extEntryId;
    std::int32_t state = kCallIdle;
    std::int32_t flags = 0;
    std::uint8_t redial = 0;
    bool outgoing = false;
    std::string remote;
    std::string dialled;
    SinkList<dialer::ICallEvents> sinks;
};
using SimCallPtr = std::shared_ptr<SimCall>;

class SimCalls : public dialer::ICalls {
  public:
    dialer::CallPtr Item(const Variant& key) override;
    std::string CurrentCallEntryID() override { return currentId; }
    std::int32_t Count() override { return static_cast<std::int32_t>(calls.size()); }
    void Remove(std::int32_t position) override;
    Subscription Advise(dialer::ICallsEvents& sink) override { return sinks.Add(sink); }

    SimCallPtr Find(const std::string& id) const;

    std::vector<SimCallPtr> calls;
    std::string currentId;
    SinkList<dialer::ICallsEvents> sinks;
};

class PhoneSystem;

class SimExtension : public dialer::IExtension {
  public:
    SimExtension(PhoneSystem& phone, std::string number, std::string lineName, std::string entryId);
    std::string Number() override { return number; }
    std::string LineName() override { return lineName; }
    std::string EntryID() override { return entryId; }
    dialer::CallsPtr Calls() override { return calls; }
    // Asks the switch to monitor the line; the confirmation (Monitoring, then the
    // connection state) arrives later through the pump, never inside this call.
    void Monitor(std::int32_t mode, const std::string& a, const std::string& b) override;
    Variant CustomProperty(const std::string& name) override;
    dialer::Forwarding ForwardingState() override { return forwarding; }
    Subscription Advise(dialer::IExtensionEvents& sink) override { return sinks.Add(sink); }

    PhoneSystem& phone;
    std::string number;
    std::string lineName;
    const std::string entryId;
    const double entryValue;  // the numeric value of entryId, which Item compares
    std::shared_ptr<SimCalls> calls = std::make_shared<SimCalls>();
    dialer::Forwarding forwarding;
    std::map<std::string, Variant> custom;
    std::int32_t connectionState = 0;
    std::int32_t capabilities = 0xFF;
    int monitorRequests = 0;
    bool monitored = false;
    SinkList<dialer::IExtensionEvents> sinks;
};
using SimExtensionPtr = std::shared_ptr<SimExtension>;

class SimExtensions : public dialer::IExtensions {
  public:
    // A text key is an entry id; a numeric key is the entry id's numeric value.
    dialer::ExtensionPtr Item(const Variant& key) override;
    std::string CurrentEntryID() override { return currentEntryId; }
    std::string SecondEntryID() override { return secondEntryId; }

    std::vector<SimExtensionPtr> extensions;
    std::string currentEntryId;
    std::string secondEntryId;
};

// What "TheAppMenus" returns without arguments: a late-bound list with "count" and
// the 1-based "Item"(j).
class SimMenuList : public ILateBound {
  public:
    explicit SimMenuList(std::vector<std::string> entries) : entries_(std::move(entries)) {}
    Variant Invoke(const std::string& name, std::vector<Variant>& args) override;

  private:
    std::vector<std::string> entries_;
};

class SimSession : public dialer::ISession {
  public:
    SimSession(std::string key, std::string appName, std::shared_ptr<SimExtensions> extensions)
        : key(std::move(key)), appName(std::move(appName)), extensions(std::move(extensions)) {}
    std::string SessionKey() override { return key; }
    dialer::ExtensionsPtr Extensions() override { return extensions; }
    Subscription Advise(dialer::ISessionEvents& sink) override { return sinks.Add(sink); }
    // "TheAppMenus" (no argument: the list; a number: that entry) and
    // "SendMenuSelected"(entry), which records the choice.
    Variant Invoke(const std::string& name, std::vector<Variant>& args) override;

    std::string key;
    std::string appName;
    std::shared_ptr<SimExtensions> extensions;
    std::vector<std::string> menus;
    std::vector<std::string> menusSelected;
    SinkList<dialer::ISessionEvents> sinks;
};
using SimSessionPtr = std::shared_ptr<SimSession>;

// The switch and the library around it.
class PhoneSystem {
  public:
    explicit PhoneSystem(EventPump& pump);

    EventPump& Pump() { return pump_; }
    SimExtensions& Extensions() { return *extensions_; }
    const std::shared_ptr<SimExtensions>& ExtensionsPtr() const { return extensions_; }

    // --- Set-up.
    // Adds an extension; the first one becomes the collection's current entry.
    SimExtensionPtr AddExtension(const std::string& number, const std::string& lineName);
    SimExtensionPtr Extension(const std::string& number) const;  // by number; throws
    SimExtensionPtr Monitored() const;  // the current entry's extension; throws when none
    // A session of an application; the session-opened event follows through the pump.
    SimSessionPtr OpenSession(const std::string& key, const std::string& appName,
                              std::vector<std::string> menus);
    SimSessionPtr Session(const std::string& key) const;  // null when none
    // Whether monitoring an extension also brings its link to the switch up.
    bool linkUp = true;

    // --- Calls on the monitored extension. Each throws PhoneError when the call
    // is not in a state that allows it.
    SimCallPtr IncomingCall(const std::string& caller);
    SimCallPtr PlaceCall(const std::string& number);  // the client dials: it alerts
    void Answer(const SimCallPtr& call);              // ringing -> connected
    void FarEndAnswers();                             // the alerting call connects
    void Hold(const SimCallPtr& call);                // connected -> held
    void Retrieve(const SimCallPtr& call);            // held -> connected
    void Clear(const SimCallPtr& call);               // any -> gone
    // The current call leaves the collection without a Cleared event, as when a
    // colleague picks it up at another extension.
    void Withdraw(const SimCallPtr& call);
    void Consult(const std::string& number);  // consultation on the current call
    void CancelConsultation(const SimCallPtr& call);
    // Raises one event of the current call as it is, without changing it.
    void RaiseCallEvent(const std::string& event, std::int32_t property = 0);
    SimCallPtr CurrentCall() const;  // null when the monitored extension has none
    SimCallPtr CallWith(const std::string& remote) const;

    // --- Extension happenings (on the monitored extension).
    void SetForwarding(const std::string& destination);  // empty clears it
    void SetCustomProperty(const std::string& name, const std::string& value);
    void SetConnectionState(std::int32_t state);
    void SetCapabilities(std::int32_t capabilities);
    void MonitoringStarts();
    void MonitoringStops();
    // Called after a forwarding change is delivered, as the client's own view of
    // the switch would tell it (the simulated client pushes a tooltip).
    std::function<void(const std::string& destination)> onForwardingChanged;

    void MonitorRequested(SimExtension& ext);

  private:
    void PostCurrentCallChange(SimExtension& ext);
    void PostConnectionState(const SimExtensionPtr& ext, std::int32_t state);
    void PostMonitoring(const SimExtensionPtr& ext, bool starts);
    void PostCallEvent(const SimCallPtr& call, const std::string& name,
                       std::function<void(dialer::ICallEvents&)> raise);
    SimCallPtr RequireCall(const SimCallPtr& call, std::int32_t state, const char* what) const;

    EventPump& pump_;
    std::shared_ptr<SimExtensions> extensions_ = std::make_shared<SimExtensions>();
    std::vector<SimSessionPtr> sessions_;
    int nextCall_ = 1;
};

std::string CallStateName(std::int32_t state);

}  // namespace qor::sim
