#include "sim/dialer/SimDialer.h"

#include <algorithm>
#include <cctype>

#include "core/common/Convert.h"
#include "core/common/Error.h"

namespace qor::sim {

namespace {

bool SameName(const std::string& a, const std::string& b) {
    // Late binding resolves member names without regard to letter case.
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

dialer::AddressPtr Address(const std::string& text) {
    return std::make_shared<SimAddress>(text);
}

}  // namespace

std::string CallStateName(std::int32_t state) {
    switch (state) {
        case dialer::kCallRinging:
            return "ringing";
        case dialer::kCallAlerting:
            return "alerting";
        case kCallConnected:
            return "connected";
        case dialer::kCallHeld:
            return "held";
        default:
            return "state " + std::to_string(state);
    }
}

// ---- Collections and objects

dialer::CallPtr SimCalls::Item(const Variant& key) {
    if (key.IsText()) return Find(key.ToText());
    const auto position = key.ToInt32();
    if (position < 1 || position > Count()) return nullptr;
    return calls[static_cast<std::size_t>(position - 1)];
}

SimCallPtr SimCalls::Find(const std::string& id) const {
    for (const auto& call : calls)
        if (call->id == id) return call;
    return nullptr;
}

void SimCalls::Remove(std::int32_t position) {
    if (position < 1 || position > Count()) Raise(err::kSubscriptOutOfRange);
    const auto it = calls.begin() + (position - 1);
    if ((*it)->id == currentId) currentId.clear();
    calls.erase(it);
}

SimExtension::SimExtension(PhoneSystem& phone, std::string number, std::string lineName,
                           std::string entryId)
    : phone(phone),
      number(std::move(number)),
      lineName(std::move(lineName)),
      entryId(std::move(entryId)),
      entryValue(TextToNumber(this->entryId)) {}

void SimExtension::Monitor(std::int32_t, const std::string&, const std::string&) {
    phone.MonitorRequested(*this);
}

Variant SimExtension::CustomProperty(const std::string& name) {
    const auto it = custom.find(name);
    return it == custom.end() ? Variant() : it->second;
}

dialer::ExtensionPtr SimExtensions::Item(const Variant& key) {
    if (const auto* text = std::get_if<std::string>(&key.Raw())) {
        for (const auto& ext : extensions)
            if (ext->entryId == *text) return ext;
        return nullptr;
    }
    const double value = key.ToNumber();
    for (const auto& ext : extensions)
        if (ext->entryValue == value) return ext;
    return nullptr;
}

Variant SimMenuList::Invoke(const std::string& name, std::vector<Variant>& args) {
    if (SameName(name, "count")) return static_cast<std::int32_t>(entries_.size());
    if (SameName(name, "Item")) {
        if (args.size() != 1) Raise(err::kInvalidCall);
        const auto j = args[0].ToInt32();
        if (j < 1 || j > static_cast<std::int32_t>(entries_.size()))
            Raise(err::kSubscriptOutOfRange);
        return entries_[static_cast<std::size_t>(j - 1)];
    }
    Raise(err::kNoSuchMember);
}

Variant SimSession::Invoke(const std::string& name, std::vector<Variant>& args) {
    if (SameName(name, "TheAppMenus")) {
        if (args.empty()) return LateBoundPtr(std::make_shared<SimMenuList>(menus));
        const auto j = args[0].ToInt16();
        if (j < 1 || j > static_cast<std::int32_t>(menus.size())) Raise(err::kSubscriptOutOfRange);
        return menus[static_cast<std::size_t>(j - 1)];
    }
    if (SameName(name, "SendMenuSelected")) {
        if (args.size() != 1) Raise(err::kInvalidCall);
        menusSelected.push_back(args[0].ToText());
        return {};
    }
    Raise(err::kNoSuchMember);
}

// ---- The switch

PhoneSystem::PhoneSystem(EventPump& pump) : pump_(pump) {}

SimExtensionPtr PhoneSystem::AddExtension(const std::string& number, const std::string& lineName) {
    const auto entryId = std::to_string(extensions_->extensions.size() + 1);
    auto ext = std::make_shared<SimExtension>(*this, number, lineName, entryId);
    extensions_->extensions.push_back(ext);
    if (extensions_->currentEntryId.empty()) extensions_->currentEntryId = entryId;
    return ext;
}

SimExtensionPtr PhoneSystem::Extension(const std::string& number) const {
    for (const auto& ext : extensions_->extensions)
        if (ext->number == number) return ext;
    throw PhoneError("the phone system has no extension " + number);
}

SimExtensionPtr PhoneSystem::Monitored() const {
    auto key = Variant(extensions_->currentEntryId);
    if (auto ext = extensions_->Item(key)) return std::static_pointer_cast<SimExtension>(ext);
    throw PhoneError("the phone system has no extension yet (add one with 'phone extension')");
}

SimSessionPtr PhoneSystem::OpenSession(const std::string& key, const std::string& appName,
                                       std::vector<std::string> menus) {
    if (Session(key)) throw PhoneError("a session with key " + key + " is already open");
    auto session = std::make_shared<SimSession>(key, appName, extensions_);
    session->menus = std::move(menus);
    sessions_.push_back(session);
    pump_.Post("session " + key + " SessionOpened", [session] {
        session->sinks.ForEach([](dialer::ISessionEvents& s) { s.SessionOpened(); });
    });
    return session;
}

SimSessionPtr PhoneSystem::Session(const std::string& key) const {
    for (const auto& s : sessions_)
        if (s->key == key) return s;
    return nullptr;
}

SimCallPtr PhoneSystem::CurrentCall() const {
    auto ext = Monitored();
    return ext->calls->Find(ext->calls->currentId);
}

SimCallPtr PhoneSystem::CallWith(const std::string& remote) const {
    for (const auto& call : Monitored()->calls->calls)
        if (call->remote == remote) return call;
    return nullptr;
}

void PhoneSystem::PostCurrentCallChange(SimExtension& ext) {
    auto calls = ext.calls;
    const std::int32_t count = calls->Count();
    const std::string current = calls->currentId;
    pump_.Post("calls of " + ext.number + " PropertyChange(0, " + std::to_string(count) + ")",
               [calls, count] {
                   calls->sinks.ForEach([count](dialer::ICallsEvents& s) {
                       std::int32_t property = dialer::kCallsPropertyCount;
                       Variant value = count;
                       s.PropertyChange(property, value);
                   });
               });
    pump_.Post("calls of " + ext.number + " PropertyChange(1, \"" + current + "\")",
               [calls, current] {
                   calls->sinks.ForEach([&current](dialer::ICallsEvents& s) {
                       std::int32_t property = dialer::kCallsPropertyCurrentCall;
                       Variant value = current;
                       s.PropertyChange(property, value);
                   });
               });
}

void PhoneSystem::PostCallEvent(const SimCallPtr& call, const std::string& name,
                                std::function<void(dialer::ICallEvents&)> raise) {
    pump_.Post("call " + call->id + " " + name,
               [call, raise = std::move(raise)] { call->sinks.ForEach(raise); });
}

SimCallPtr PhoneSystem::RequireCall(const SimCallPtr& call, std::int32_t state,
                                    const char* what) const {
    if (!call) throw PhoneError(std::string("cannot ") + what + ": there is no call");
    if (call->state != state) {
        throw PhoneError(std::string("cannot ") + what + ": the call with " + call->remote +
                         " is " + CallStateName(call->state) + ", not " + CallStateName(state));
    }
    return call;
}

SimCallPtr PhoneSystem::IncomingCall(const std::string& caller) {
    auto ext = Monitored();
    auto call = std::make_shared<SimCall>("c" + std::to_string(nextCall_++), ext->entryId);
    call->state = dialer::kCallRinging;
    call->flags = dialer::kActionAnswer;
    call->remote = caller;
    call->dialled = ext->number;
    ext->calls->calls.push_back(call);
    ext->calls->currentId = call->id;
    PostCurrentCallChange(*ext);
    PostCallEvent(call, "Offering(" + caller + ")", [caller](dialer::ICallEvents& s) {
        auto address = Address(caller);
        std::int32_t origin = 0, reason = 0;
        s.Offering(address, origin, reason);
    });
    return call;
}

SimCallPtr PhoneSystem::PlaceCall(const std::string& number) {
    auto ext = Monitored();
    if (number.empty()) throw PhoneError("cannot dial an empty number");
    auto call = std::make_shared<SimCall>("c" + std::to_string(nextCall_++), ext->entryId);
    call->state = dialer::kCallAlerting;
    call->outgoing = true;
    call->redial = 1;
    call->remote = number;
    call->dialled = number;
    ext->calls->calls.push_back(call);
    ext->calls->currentId = call->id;
    PostCurrentCallChange(*ext);
    PostCallEvent(call, "Alerting(" + number + ")", [number](dialer::ICallEvents& s) {
        auto address = Address(number);
        s.Alerting(address);
    });
    return call;
}

void PhoneSystem::Answer(const SimCallPtr& call) {
    RequireCall(call, dialer::kCallRinging, "answer");
    call->state = kCallConnected;
    call->flags = 0;
    const auto remote = call->remote;
    PostCallEvent(call, "Connected(" + remote + ")", [remote](dialer::ICallEvents& s) {
        auto address = Address(remote);
        s.Connected(address);
    });
}

void PhoneSystem::FarEndAnswers() {
    auto call = CurrentCall();
    RequireCall(call, dialer::kCallAlerting, "let the far end answer");
    call->state = kCallConnected;
    const auto remote = call->remote;
    PostCallEvent(call, "Connected(" + remote + ")", [remote](dialer::ICallEvents& s) {
        auto address = Address(remote);
        s.Connected(address);
    });
}

void PhoneSystem::Hold(const SimCallPtr& call) {
    RequireCall(call, kCallConnected, "hold");
    call->state = dialer::kCallHeld;
    call->flags = dialer::kActionReconnect;
    PostCallEvent(call, "OnHold", [](dialer::ICallEvents& s) { s.OnHold(); });
}

void PhoneSystem::Retrieve(const SimCallPtr& call) {
    RequireCall(call, dialer::kCallHeld, "retrieve");
    call->state = kCallConnected;
    call->flags = 0;
    const auto remote = call->remote;
    PostCallEvent(call, "Reconnected(" + remote + ")", [remote](dialer::ICallEvents& s) {
        auto address = Address(remote);
        s.Reconnected(address);
    });
}

void PhoneSystem::Clear(const SimCallPtr& call) {
    auto ext = Monitored();
    if (!call || !ext->calls->Find(call->id)) throw PhoneError("cannot clear: there is no call");
    const auto remote = call->remote;
    call->state = kCallIdle;
    call->flags = 0;
    PostCallEvent(call, "Cleared(" + remote + ")", [remote](dialer::ICallEvents& s) {
        auto address = Address(remote);
        std::int32_t reason = 0;
        s.Cleared(address, reason);
    });
    std::erase(ext->calls->calls, call);
    if (ext->calls->currentId == call->id) {
        ext->calls->currentId = ext->calls->calls.empty() ? "" : ext->calls->calls.back()->id;
    }
    PostCurrentCallChange(*ext);
}

void PhoneSystem::Withdraw(const SimCallPtr& call) {
    auto ext = Monitored();
    if (!call || !ext->calls->Find(call->id)) throw PhoneError("cannot withdraw: there is no call");
    std::erase(ext->calls->calls, call);
    if (ext->calls->currentId == call->id) {
        ext->calls->currentId = ext->calls->calls.empty() ? "" : ext->calls->calls.back()->id;
    }
    PostCurrentCallChange(*ext);
}

void PhoneSystem::Consult(const std::string& number) {
    auto call = RequireCall(CurrentCall(), kCallConnected, "start a consultation");
    call->flags |= dialer::kActionConsultation;
    PostCallEvent(call, "ConsultationConnected(" + number + ")", [number](dialer::ICallEvents& s) {
        auto address = Address(number);
        s.ConsultationConnected(address);
    });
}

void PhoneSystem::CancelConsultation(const SimCallPtr& call) {
    if (!call || !(call->flags & dialer::kActionConsultation))
        throw PhoneError("cannot cancel a consultation: none is under way");
    call->flags &= ~dialer::kActionConsultation;
    const auto remote = call->remote;
    PostCallEvent(call, "Reconnected(" + remote + ")", [remote](dialer::ICallEvents& s) {
        auto address = Address(remote);
        s.Reconnected(address);
    });
}

void PhoneSystem::RaiseCallEvent(const std::string& event, std::int32_t property) {
    auto call = CurrentCall();
    if (!call) throw PhoneError("cannot raise " + event + ": there is no current call");
    const auto remote = call->remote;
    std::function<void(dialer::ICallEvents&)> raise;
    if (event == "Offering") {
        raise = [remote](dialer::ICallEvents& s) {
            auto a = Address(remote);
            std::int32_t origin = 0, reason = 0;
            s.Offering(a, origin, reason);
        };
    } else if (event == "Recalling") {
        raise = [remote](dialer::ICallEvents& s) {
            auto a = Address(remote);
            s.Recalling(a);
        };
    } else if (event == "ReOffering") {
        raise = [](dialer::ICallEvents& s) { s.ReOffering(); };
    } else if (event == "Alerting") {
        raise = [remote](dialer::ICallEvents& s) {
            auto a = Address(remote);
            s.Alerting(a);
        };
    } else if (event == "Connected") {
        raise = [remote](dialer::ICallEvents& s) {
            auto a = Address(remote);
            s.Connected(a);
        };
    } else if (event == "ConsultationConnected") {
        raise = [remote](dialer::ICallEvents& s) {
            auto a = Address(remote);
            s.ConsultationConnected(a);
        };
    } else if (event == "ConsultationOnHold") {
        raise = [](dialer::ICallEvents& s) { s.ConsultationOnHold(); };
    } else if (event == "NewConnected") {
        raise = [remote](dialer::ICallEvents& s) {
            auto a = Address(remote), b = Address(remote);
            s.NewConnected(a, b);
        };
    } else if (event == "Reconnected") {
        raise = [remote](dialer::ICallEvents& s) {
            auto a = Address(remote);
            s.Reconnected(a);
        };
    } else if (event == "OnHold") {
        raise = [](dialer::ICallEvents& s) { s.OnHold(); };
    } else if (event == "Cleared") {
        raise = [remote](dialer::ICallEvents& s) {
            auto a = Address(remote);
            std::int32_t reason = 0;
            s.Cleared(a, reason);
        };
    } else if (event == "PropertyChange") {
        raise = [property](dialer::ICallEvents& s) {
            std::int32_t p = property;
            Variant v;
            s.PropertyChange(p, v);
        };
    } else {
        throw PhoneError("a call has no event named " + event);
    }
    PostCallEvent(call, event, std::move(raise));
}

// ---- Extension happenings

void PhoneSystem::SetForwarding(const std::string& destination) {
    auto ext = Monitored();
    ext->forwarding.texts[0] = destination;
    ext->forwarding.flags[0] = !destination.empty();
    pump_.Post(
        "forwarding of " + ext->number + (destination.empty() ? " cleared" : " to " + destination),
        [this, destination] {
            if (onForwardingChanged) onForwardingChanged(destination);
        });
}

void PhoneSystem::SetCustomProperty(const std::string& name, const std::string& value) {
    auto ext = Monitored();
    if (value.empty()) {
        ext->custom.erase(name);
    } else {
        ext->custom[name] = value;
    }
    pump_.Post(
        "extension " + ext->number + " CustomPropertyChange(" + name + ", \"" + value + "\")",
        [ext, name, value] {
            ext->sinks.ForEach([&](dialer::IExtensionEvents& s) {
                std::string n = name;
                Variant v = value;
                s.CustomPropertyChange(n, v);
            });
        });
}

void PhoneSystem::SetConnectionState(std::int32_t state) {
    PostConnectionState(Monitored(), state);
}

void PhoneSystem::PostConnectionState(const SimExtensionPtr& ext, std::int32_t state) {
    ext->connectionState = state;
    pump_.Post("extension " + ext->number + " PropertyChange(7, " + std::to_string(state) + ")",
               [ext, state] {
                   ext->sinks.ForEach([state](dialer::IExtensionEvents& s) {
                       std::int32_t p = dialer::kExtPropertyConnectionState;
                       Variant v = state;
                       s.PropertyChange(p, v);
                   });
               });
}

void PhoneSystem::SetCapabilities(std::int32_t capabilities) {
    auto ext = Monitored();
    ext->capabilities = capabilities;
    pump_.Post(
        "extension " + ext->number + " PropertyChange(2, " + std::to_string(capabilities) + ")",
        [ext, capabilities] {
            ext->sinks.ForEach([capabilities](dialer::IExtensionEvents& s) {
                std::int32_t p = dialer::kExtPropertyCapabilities;
                Variant v = capabilities;
                s.PropertyChange(p, v);
            });
        });
}

void PhoneSystem::MonitoringStarts() {
    PostMonitoring(Monitored(), true);
}

void PhoneSystem::MonitoringStops() {
    PostMonitoring(Monitored(), false);
}

void PhoneSystem::PostMonitoring(const SimExtensionPtr& ext, bool starts) {
    pump_.Post("extension " + ext->number + (starts ? " Monitoring" : " MonitoringStop"),
               [ext, starts] {
                   ext->monitored = starts;
                   ext->sinks.ForEach([&](dialer::IExtensionEvents& s) {
                       std::string number = ext->number;
                       if (starts) {
                           s.Monitoring(number);
                       } else {
                           s.MonitoringStop(number);
                       }
                   });
               });
}

void PhoneSystem::MonitorRequested(SimExtension& ext) {
    ++ext.monitorRequests;
    // The switch confirms on its own time: the events follow the request through
    // the pump, and the link comes up only after monitoring is confirmed.
    auto self = Extension(ext.number);
    PostMonitoring(self, true);
    // With the link up the library reports the connection state with every
    // confirmation, also when it was already up before monitoring stopped.
    if (linkUp) PostConnectionState(self, 1);
}

}  // namespace qor::sim
