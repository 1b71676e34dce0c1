#include "windows/dialer/DialerObjects.h"

#include <vector>

#include "QorDial.h"
#include "core/common/Error.h"
#include "windows/com/Automation.h"
#include "windows/com/Errors.h"
#include "windows/com/EventSink.h"
#include "windows/com/Text.h"

namespace qor::win {

namespace {

using com::EventArgs;

class Backed : public IDispatchBacked {
  public:
    explicit Backed(IDispatch* object) : object_(object) {}
    IDispatch* Dispatch() const noexcept override { return object_.Get(); }

  protected:
    com::Variant Get(const wchar_t* name) const {
        return com::InvokeByName(object_.Get(), name, DISPATCH_PROPERTYGET);
    }
    com::Variant GetWith(const wchar_t* name, VARIANT arg) const {
        return com::InvokeByName(object_.Get(), name, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                                 std::span<VARIANT>(&arg, 1));
    }
    std::string Text(const wchar_t* name) const { return com::TextOf(*Get(name).Get()); }

    // Events: an object without connection points simply raises none (a script
    // object standing in for a dialer object, for instance).
    Subscription Connect(REFIID eventIid, com::EventHandler handler) const {
        try {
            auto connection = std::make_shared<com::Connection>(
                com::Connection::Connect(object_.Get(), eventIid, std::move(handler)));
            return Subscription([connection] { connection->Disconnect(); });
        } catch (const com::ComError&) {
            return {};
        }
    }

  private:
    com::ComPtr<IDispatch> object_;
};

// Reads an object argument of an event; writes it back when the core replaced it.
template <class Ptr, class Wrap>
struct ObjectArg {
    VARIANT& arg;
    Ptr value;
    ObjectArg(VARIANT& a, Wrap wrap) : arg(a), value(wrap(com::DispatchOf(a).Get())) {}
    void WriteBack(IDispatch* before) {
        IDispatch* after = DispatchBehind(value);
        if (after != before) com::WriteBack(arg, *com::MakeDispatch(after).Get());
    }
};

void WriteBackInt(VARIANT& arg, std::int32_t before, std::int32_t after) {
    if (before != after) com::WriteBack(arg, *com::MakeI4(after).Get());
}

class LateBoundObject final : public ILateBound, public Backed {
  public:
    using Backed::Backed;
    Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
        std::vector<com::Variant> values;
        values.reserve(args.size());
        for (const auto& a : args) values.push_back(ToAutomation(a));
        std::vector<VARIANT> refs;
        for (auto& v : values) refs.push_back(com::RefTo(v.Get()));
        const std::wstring wide = com::Widen(name);
        com::Variant result = com::InvokeByName(Dispatch(), wide.c_str(),
                                                DISPATCH_METHOD | DISPATCH_PROPERTYGET, refs);
        // By reference: the callee may have changed the arguments.
        for (std::size_t i = 0; i < args.size(); ++i) args[i] = ToCore(*values[i].Get());
        return ToCore(*result.Get());
    }
};

class AddressObject final : public dialer::IAddress, public Backed {
  public:
    using Backed::Backed;
    std::string Text() override { return Backed::Text(L"Text"); }
};

class CallObject final : public dialer::ICall, public Backed {
  public:
    using Backed::Backed;
    std::int32_t State() override { return com::Int32Of(*Get(L"State").Get()); }
    std::int32_t ActionFlags() override { return com::Int32Of(*Get(L"ActionFlags").Get()); }
    std::string ExtensionEntryID() override { return Text(L"ExtensionEntryID"); }
    std::uint8_t RedialFlag() override {
        return static_cast<std::uint8_t>(com::Int32Of(*Get(L"RedialFlag").Get()));
    }
    dialer::AddressPtr RemoteAddress() override {
        return WrapAddress(com::DispatchOf(*Get(L"RemoteAddress").Get()).Get());
    }
    dialer::AddressPtr DialledAddress() override {
        return WrapAddress(com::DispatchOf(*Get(L"DialledAddress").Get()).Get());
    }
    Subscription Advise(dialer::ICallEvents& sink) override {
        return Connect(DIID__IQorCallEvents,
                       [&sink](DISPID id, EventArgs& a) { Raise(sink, id, a); });
    }

  private:
    using Address = ObjectArg<dialer::AddressPtr, decltype(&WrapAddress)>;

    static void Raise(dialer::ICallEvents& sink, DISPID id, EventArgs& a) {
        // One address argument, written back if the handler replaced it.
        auto withAddress = [&](auto call) {
            Address address(a[0], &WrapAddress);
            IDispatch* before = DispatchBehind(address.value);
            call(address.value);
            address.WriteBack(before);
        };
        switch (id) {
            case 1: {
                Address address(a[0], &WrapAddress);
                IDispatch* before = DispatchBehind(address.value);
                std::int32_t origin = com::Int32Of(a[1]), reason = com::Int32Of(a[2]);
                const std::int32_t origin0 = origin, reason0 = reason;
                sink.Offering(address.value, origin, reason);
                address.WriteBack(before);
                WriteBackInt(a[1], origin0, origin);
                WriteBackInt(a[2], reason0, reason);
                break;
            }
            case 2:
                withAddress([&](dialer::AddressPtr& p) { sink.Recalling(p); });
                break;
            case 3:
                sink.ReOffering();
                break;
            case 4:
                withAddress([&](dialer::AddressPtr& p) { sink.Alerting(p); });
                break;
            case 5:
                withAddress([&](dialer::AddressPtr& p) { sink.Connected(p); });
                break;
            case 6:
                withAddress([&](dialer::AddressPtr& p) { sink.ConsultationConnected(p); });
                break;
            case 7:
                sink.ConsultationOnHold();
                break;
            case 8: {
                Address redirecting(a[0], &WrapAddress), redirected(a[1], &WrapAddress);
                IDispatch* before0 = DispatchBehind(redirecting.value);
                IDispatch* before1 = DispatchBehind(redirected.value);
                sink.NewConnected(redirecting.value, redirected.value);
                redirecting.WriteBack(before0);
                redirected.WriteBack(before1);
                break;
            }
            case 9:
                withAddress([&](dialer::AddressPtr& p) { sink.Reconnected(p); });
                break;
            case 10:
                sink.OnHold();
                break;
            case 11: {
                Address address(a[0], &WrapAddress);
                IDispatch* before = DispatchBehind(address.value);
                std::int32_t reason = com::Int32Of(a[1]);
                const std::int32_t reason0 = reason;
                sink.Cleared(address.value, reason);
                address.WriteBack(before);
                WriteBackInt(a[1], reason0, reason);
                break;
            }
            case 12: {
                std::int32_t property = com::Int32Of(a[0]);
                Variant value = ToCore(a[1]);
                sink.PropertyChange(property, value);
                break;
            }
            default:
                break;  // events of later library versions: not ours
        }
    }
};

class CallsObject final : public dialer::ICalls, public Backed {
  public:
    using Backed::Backed;
    dialer::CallPtr Item(const Variant& key) override {
        return WrapCall(com::DispatchOf(*GetWith(L"Item", *ToAutomation(key).Get()).Get()).Get());
    }
    std::string CurrentCallEntryID() override { return Text(L"CurrentCallEntryID"); }
    std::int32_t Count() override { return com::Int32Of(*Get(L"Count").Get()); }
    void Remove(std::int32_t position) override {
        com::Variant arg = com::MakeI4(position);
        com::InvokeByName(Dispatch(), L"Remove", DISPATCH_METHOD, std::span<VARIANT>(arg.Get(), 1));
    }
    Subscription Advise(dialer::ICallsEvents& sink) override {
        return Connect(DIID__IQorCallsEvents, [&sink](DISPID id, EventArgs& a) {
            if (id != 1) return;
            std::int32_t property = com::Int32Of(a[0]);
            Variant value = ToCore(a[1]);
            sink.PropertyChange(property, value);
        });
    }
};

class ExtensionObject final : public dialer::IExtension, public Backed {
  public:
    using Backed::Backed;
    std::string Number() override { return Text(L"Number"); }
    std::string LineName() override { return Text(L"LineName"); }
    std::string EntryID() override { return Text(L"EntryID"); }
    dialer::CallsPtr Calls() override {
        return WrapCalls(com::DispatchOf(*Get(L"Calls").Get()).Get());
    }
    void Monitor(std::int32_t mode, const std::string& a, const std::string& b) override {
        com::Variant args[] = {com::MakeI4(mode), com::MakeText(a), com::MakeText(b)};
        VARIANT raw[] = {*args[0].Get(), *args[1].Get(), *args[2].Get()};
        com::InvokeByName(Dispatch(), L"Monitor", DISPATCH_METHOD, raw);
    }
    Variant CustomProperty(const std::string& name) override {
        return ToCore(*GetWith(L"CustomProperty", *com::MakeText(name).Get()).Get());
    }
    dialer::Forwarding ForwardingState() override {
        dialer::Forwarding f;
        f.texts = {Text(L"ForwardImmediate"), Text(L"ForwardOnBusy"), Text(L"ForwardOnNoReply"),
                   Text(L"ForwardDestination")};
        f.flags = {com::BoolOf(*Get(L"ForwardingOn").Get()),
                   com::BoolOf(*Get(L"FollowMeOn").Get())};
        return f;
    }
    Subscription Advise(dialer::IExtensionEvents& sink) override {
        return Connect(DIID__IQorExtensionEvents, [&sink](DISPID id, EventArgs& a) {
            switch (id) {
                case 1: {
                    std::int32_t property = com::Int32Of(a[0]);
                    Variant value = ToCore(a[1]);
                    sink.PropertyChange(property, value);
                    break;
                }
                case 2: {
                    std::string name = com::TextOf(a[0]);
                    Variant value = ToCore(a[1]);
                    sink.CustomPropertyChange(name, value);
                    break;
                }
                case 3: {
                    std::string ext = com::TextOf(a[0]);
                    sink.Monitoring(ext);
                    break;
                }
                case 4: {
                    std::string ext = com::TextOf(a[0]);
                    sink.MonitoringStop(ext);
                    break;
                }
                default:
                    break;
            }
        });
    }
};

class ExtensionsObject final : public dialer::IExtensions, public Backed {
  public:
    using Backed::Backed;
    // One adapter per extension for as long as the collection's adapter lives: the
    // same extension always comes back as the same object, and an extension reached
    // through the collection stays valid while the collection does (the tray holds
    // on to the collection, not always to each extension it reads).
    dialer::ExtensionPtr Item(const Variant& key) override {
        com::ComPtr<IDispatch> object =
            com::DispatchOf(*GetWith(L"Item", *ToAutomation(key).Get()).Get());
        if (!object) return nullptr;
        const auto identity = object.As<IUnknown>();
        for (const auto& [known, adapter] : known_)
            if (known.Get() == identity.Get()) return adapter;
        known_.emplace_back(identity, WrapExtension(object.Get()));
        return known_.back().second;
    }
    std::string CurrentEntryID() override { return Text(L"CurrentEntryID"); }
    std::string SecondEntryID() override { return Text(L"SecondEntryID"); }

  private:
    std::vector<std::pair<com::ComPtr<IUnknown>, dialer::ExtensionPtr>> known_;
};

class SessionObject final : public dialer::ISession, public Backed {
  public:
    explicit SessionObject(IDispatch* object) : Backed(object), lateBound_(object) {}
    Variant Invoke(const std::string& name, std::vector<Variant>& args) override {
        return lateBound_.Invoke(name, args);
    }
    std::string SessionKey() override { return Text(L"SessionKey"); }
    dialer::ExtensionsPtr Extensions() override {
        return WrapExtensions(com::DispatchOf(*Get(L"Extensions").Get()).Get());
    }
    Subscription Advise(dialer::ISessionEvents& sink) override {
        return Connect(DIID__IQorSessionEvents, [&sink](DISPID id, EventArgs&) {
            if (id == 1) sink.SessionOpened();
        });
    }

  private:
    LateBoundObject lateBound_;
};

template <class T, class Ptr>
Ptr Wrap(IDispatch* object) {
    if (!object) return nullptr;
    return std::make_shared<T>(object);
}

}  // namespace

LateBoundPtr WrapLateBound(IDispatch* o) {
    return Wrap<LateBoundObject, LateBoundPtr>(o);
}
dialer::SessionPtr WrapSession(IDispatch* o) {
    return Wrap<SessionObject, dialer::SessionPtr>(o);
}
dialer::ExtensionsPtr WrapExtensions(IDispatch* o) {
    return Wrap<ExtensionsObject, dialer::ExtensionsPtr>(o);
}
dialer::ExtensionPtr WrapExtension(IDispatch* o) {
    return Wrap<ExtensionObject, dialer::ExtensionPtr>(o);
}
dialer::CallsPtr WrapCalls(IDispatch* o) {
    return Wrap<CallsObject, dialer::CallsPtr>(o);
}
dialer::CallPtr WrapCall(IDispatch* o) {
    return Wrap<CallObject, dialer::CallPtr>(o);
}
dialer::AddressPtr WrapAddress(IDispatch* o) {
    return Wrap<AddressObject, dialer::AddressPtr>(o);
}

com::ComPtr<IDispatch> TypedFace(IDispatch* object, REFIID iid) {
    if (!object) return nullptr;
    com::ComPtr<IDispatch> typed;
    if (SUCCEEDED(object->QueryInterface(iid, typed.PutVoid())) && typed) return typed;
    return com::ComPtr<IDispatch>(object);
}

Variant ToCore(const VARIANT& value) {
    const VARIANT* v = &value;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
    switch (V_VT(v) & ~VT_BYREF) {
        case VT_EMPTY:
        case VT_NULL:
            return {};
        case VT_BOOL:
            return com::BoolOf(*v);
        case VT_I2:
        case VT_UI1:
        case VT_I1:
            return com::Int16Of(*v);
        case VT_I4:
        case VT_UI2:
        case VT_INT:
        case VT_UI4:
        case VT_UINT:
            return com::Int32Of(*v);
        case VT_BSTR:
            return com::TextOf(*v);
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            auto object = com::DispatchOf(*v);
            return object ? Variant(WrapLateBound(object.Get())) : Variant();
        }
        default: {
            com::Variant number;
            if (SUCCEEDED(VariantChangeType(number.Put(), const_cast<VARIANT*>(v), 0, VT_R8)))
                return V_R8(number.Get());
            throw QorError(err::kTypeMismatch, "Type mismatch");
        }
    }
}

com::Variant ToAutomation(const Variant& value) {
    struct Visitor {
        com::Variant operator()(std::monostate) const { return {}; }
        com::Variant operator()(bool v) const { return com::MakeBool(v); }
        com::Variant operator()(std::int16_t v) const { return com::MakeI2(v); }
        com::Variant operator()(std::int32_t v) const { return com::MakeI4(v); }
        com::Variant operator()(double v) const {
            com::Variant result;
            V_VT(result.Put()) = VT_R8;
            V_R8(result.Get()) = v;
            return result;
        }
        com::Variant operator()(const std::string& v) const { return com::MakeText(v); }
        com::Variant operator()(const LateBoundPtr& v) const {
            return com::MakeDispatch(DispatchBehind(v));
        }
    };
    return std::visit(Visitor{}, value.Raw());
}

}  // namespace qor::win
