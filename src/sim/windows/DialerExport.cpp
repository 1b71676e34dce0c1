#include "sim/windows/DialerExport.h"

#include <ocidl.h>

#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "QorDial.h"
#include "core/common/Error.h"
#include "windows/com/Automation.h"
#include "windows/com/ConnectionPoint.h"
#include "windows/com/Errors.h"
#include "windows/com/EventSink.h"
#include "windows/com/Object.h"
#include "windows/com/Text.h"
#include "windows/dialer/DialerObjects.h"

namespace qor::sim::win {

namespace {

using com::ComPtr;
using com::EventArgs;

enum class Kind { LateBound, Session, Extensions, Extension, Calls, Call, Address };

// What the registry knows of an exported object: the core object it serves.
class Exported {
  public:
    virtual LateBoundPtr LateBoundCore() const { return nullptr; }
    virtual dialer::SessionPtr SessionCore() const { return nullptr; }
    virtual dialer::CallsPtr CallsCore() const { return nullptr; }
    virtual dialer::CallPtr CallCore() const { return nullptr; }
    virtual dialer::AddressPtr AddressCore() const { return nullptr; }
    IDispatch* Self() const noexcept { return self_; }

  protected:
    explicit Exported(IDispatch* self) noexcept : self_(self) {}
    ~Exported() = default;

  private:
    IDispatch* self_;
};

// The live exported objects, both ways: by the core object they serve (so the DLL
// gets the same automation object for the same core object, which its identity
// comparisons and repeated advises rely on) and by their COM identity. Entries do
// not hold references: an object leaves the registry when it dies.
struct Registry {
    std::map<std::pair<Kind, const void*>, Exported*> byCore;
    std::map<IUnknown*, Exported*> byIdentity;
    // Names the DLL asked for that late-bound objects answer at call time; the
    // index is the dispatch id past kFirstDynamicId.
    std::vector<std::wstring> dynamicNames;
};

Registry& Known() {
    // Never destroyed: the DLL may still hold our objects when the process exits,
    // and their destructors look here.
    static Registry* registry = new Registry;
    return *registry;
}

constexpr DISPID kFirstDynamicId = 0x10000;

bool SameName(const wchar_t* a, const wchar_t* b) {
    // Late binding resolves names without regard to letter case.
    return lstrcmpiW(a, b) == 0;
}

DISPID DynamicId(const wchar_t* name) {
    auto& names = Known().dynamicNames;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (SameName(names[i].c_str(), name)) return kFirstDynamicId + static_cast<DISPID>(i);
    names.emplace_back(name);
    return kFirstDynamicId + static_cast<DISPID>(names.size() - 1);
}

const std::wstring* DynamicName(DISPID id) {
    const auto& names = Known().dynamicNames;
    if (id < kFirstDynamicId || id - kFirstDynamicId >= static_cast<DISPID>(names.size()))
        return nullptr;
    return &names[static_cast<std::size_t>(id - kFirstDynamicId)];
}

Exported* Lookup(IDispatch* object) {
    if (!object) return nullptr;
    ComPtr<IUnknown> identity;
    if (FAILED(object->QueryInterface(IID_IUnknown, identity.PutVoid()))) return nullptr;
    const auto& known = Known().byIdentity;
    const auto it = known.find(identity.Get());
    return it == known.end() ? nullptr : it->second;
}

// An optional argument the caller left out arrives as this error value.
bool Missing(const VARIANT& arg) {
    const VARIANT* v = &arg;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND;
}

// What a failed member hands back: the core's error number and description, as a
// late-bound caller reads them from EXCEPINFO (and from the thread's error info).
HRESULT Failed(EXCEPINFO* excep) noexcept {
    const ErrorInfo error = CurrentError();
    const HRESULT code = com::HResultFromErrorNumber(error.number);
    try {
        const std::wstring description = com::Widen(error.description);
        const std::wstring source = com::Widen(error.source.empty() ? kErrorSource : error.source);
        com::SetErrorInfo(description, source, IID_IDispatch);
        if (!excep) return code;
        *excep = EXCEPINFO{};
        excep->scode = code;
        excep->bstrDescription = SysAllocString(description.c_str());
        excep->bstrSource = SysAllocString(source.c_str());
        return DISP_E_EXCEPTION;
    } catch (...) {
        return code;
    }
}

struct Member {
    const wchar_t* name;
    DISPID id;
};

// A by-name automation object serving the core object `Core`. Derived supplies
// `static constexpr Member kMembers[]`, `static constexpr bool kForwardsByName`
// (unknown names are answered by the core's late binding), `static constexpr Kind
// kKind` and `bool Call(DISPID, EventArgs&, com::Variant& result)` (false: no
// such member), which may throw.
template <class Derived, class Core, class... Extra>
class ByName : public com::ComObject<Derived, IDispatch, Extra...>, public Exported {
    using Base = com::ComObject<Derived, IDispatch, Extra...>;

  public:
    explicit ByName(std::shared_ptr<Core> core)
        : Exported(static_cast<IDispatch*>(this)), core_(std::move(core)) {
        auto& known = Known();
        known.byCore[{Derived::kKind, Key(core_)}] = this;
        known.byIdentity[this->Unknown()] = this;
    }
    ~ByName() override {
        // Leave the registry before the core object goes, so nothing finds a dying
        // object while the core object's destruction runs.
        auto& known = Known();
        known.byCore.erase({Derived::kKind, Key(core_)});
        known.byIdentity.erase(this->Unknown());
    }

    static const void* Key(const std::shared_ptr<Core>& core) noexcept {
        return dynamic_cast<const void*>(core.get());
    }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (!names || !ids) return E_POINTER;
        if (count == 0) return S_OK;
        try {
            // Only the member name is ours to resolve; named arguments are not used.
            for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
            ids[0] = DISPID_UNKNOWN;
            for (const Member& m : Derived::kMembers)
                if (SameName(m.name, names[0])) ids[0] = m.id;
            if (ids[0] == DISPID_UNKNOWN && Derived::kForwardsByName) ids[0] = DynamicId(names[0]);
            if (ids[0] == DISPID_UNKNOWN || count > 1) return DISP_E_UNKNOWNNAME;
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT*) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        // Every member is a method or a read-only property.
        if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        if (!params) params = &none;
        // Keep ourselves alive: a core object's member may lead to our last release.
        ComPtr<IDispatch> self(static_cast<IDispatch*>(this));
        try {
            EventArgs args(*params);
            com::Variant value;
            if (!static_cast<Derived*>(this)->Call(id, args, value)) return DISP_E_MEMBERNOTFOUND;
            if (result) value.Detach(result);
            return S_OK;
        } catch (...) {
            return Failed(excep);
        }
    }

  protected:
    Core& Object() const noexcept { return *core_; }
    const std::shared_ptr<Core>& Shared() const noexcept { return core_; }

    // Calls `name` on the core object's late binding with the caller's arguments;
    // arguments the member changed go back to by-reference ones.
    static void Forward(ILateBound& target, const std::string& name, EventArgs& args,
                        com::Variant& result) {
        UINT given = args.Count();
        while (given > 0 && Missing(args[given - 1])) --given;
        std::vector<Variant> values;
        values.reserve(given);
        for (UINT i = 0; i < given; ++i) values.push_back(ImportValue(args[i]));
        const std::vector<Variant> before = values;
        result = ExportValue(target.Invoke(name, values));
        for (UINT i = 0; i < given && i < values.size(); ++i)
            if (!(values[i] == before[i])) com::WriteBack(args[i], *ExportValue(values[i]).Get());
    }
    bool ForwardDynamic(ILateBound& target, DISPID id, EventArgs& args, com::Variant& result) {
        const std::wstring* name = DynamicName(id);
        if (!name) return false;
        Forward(target, com::Narrow(*name), args, result);
        return true;
    }

  private:
    std::shared_ptr<Core> core_;
};

// Events out: a connection point for the object's event dispinterface, fired with
// each argument by reference, as a dialer library raises them.
class EventSource {
  public:
    EventSource(IConnectionPointContainer& container, REFIID iid) noexcept
        : point_(container, iid) {}
    ~EventSource() { point_.Clear(); }

    HRESULT Find(REFIID riid, IConnectionPoint** out) noexcept {
        return com::FindConnectionPointIn({&point_}, riid, out);
    }
    HRESULT Enum(IEnumConnectionPoints** out) noexcept {
        return com::EnumConnectionPointsOf({&point_}, out);
    }
    // `values` in natural order; afterwards they hold what the sinks left there.
    void Fire(DISPID id, std::span<com::Variant> values) {
        std::vector<VARIANT> refs;
        refs.reserve(values.size());
        for (auto it = values.rbegin(); it != values.rend(); ++it)
            refs.push_back(com::RefTo(it->Get()));
        DISPPARAMS params{refs.empty() ? nullptr : refs.data(), nullptr,
                          static_cast<UINT>(refs.size()), 0};
        point_.Fire(id, params);
    }
    void Clear() noexcept { point_.Clear(); }

  private:
    com::ConnectionPoint point_;
};

// An exported object with events: it listens to its core object from creation and
// raises each of the core object's events through its connection point.
template <class Derived, class Core>
class Raising : public ByName<Derived, Core, IConnectionPointContainer> {
  public:
    Raising(std::shared_ptr<Core> core, REFIID eventIid)
        : ByName<Derived, Core, IConnectionPointContainer>(std::move(core)),
          events_(*this, eventIid) {}
    ~Raising() override {
        subscription_.Reset();
        events_.Clear();
    }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
        return events_.Enum(out);
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override {
        return events_.Find(riid, out);
    }

  protected:
    // The derived object, as the core object's sink, from its constructor.
    template <class Sink>
    void Listen(Sink& sink) noexcept {
        try {
            subscription_ = this->Object().Advise(sink);
        } catch (...) {
            // An object that cannot be listened to raises nothing.
        }
    }
    // `values` in natural order; afterwards they hold what the sinks left there.
    void Raise(DISPID id, std::span<com::Variant> values = {}) {
        // A sink may let go of us while it runs.
        ComPtr<IDispatch> self(static_cast<IDispatch*>(this));
        events_.Fire(id, values);
    }

  private:
    EventSource events_;
    Subscription subscription_;
};

// ---- Conversions of event arguments. The way back never throws: a sink that left
// something unreadable leaves the core's variable as it was.

com::ComPtr<IDispatch> ExportAddress(const dialer::AddressPtr& object);
com::ComPtr<IDispatch> ExportExtensions(const dialer::ExtensionsPtr& object);
com::ComPtr<IDispatch> ExportExtension(const dialer::ExtensionPtr& object);
com::ComPtr<IDispatch> ExportLateBound(const LateBoundPtr& object);

com::Variant Out(const dialer::AddressPtr& address) {
    return com::MakeDispatch(ExportAddress(address).Get());
}
com::Variant Out(std::int32_t number) {
    return com::MakeI4(number);
}
com::Variant Out(const std::string& text) {
    return com::MakeText(text);
}
com::Variant Out(const Variant& value) {
    return ExportValue(value);
}

void Back(const com::Variant& arg, IDispatch* before, dialer::AddressPtr& address) noexcept {
    try {
        ComPtr<IDispatch> after = com::DispatchOf(*arg.Get());
        if (after.Get() == before) return;
        Exported* ours = Lookup(after.Get());
        address = ours ? ours->AddressCore() : ::qor::win::WrapAddress(after.Get());
    } catch (...) {
    }
}
void Back(const com::Variant& arg, std::int32_t& number) noexcept {
    try {
        number = com::Int32Of(*arg.Get());
    } catch (...) {
    }
}
void Back(const com::Variant& arg, std::string& text) noexcept {
    try {
        text = com::TextOf(*arg.Get());
    } catch (...) {
    }
}
void Back(const com::Variant& arg, Variant& value) noexcept {
    try {
        Variant after = ImportValue(*arg.Get());
        if (!(after == value)) value = std::move(after);
    } catch (...) {
    }
}

IDispatch* DispatchIn(const com::Variant& arg) noexcept {
    return V_VT(arg.Get()) == VT_DISPATCH ? V_DISPATCH(arg.Get()) : nullptr;
}

// ---- The objects

class LateBoundExport final : public ByName<LateBoundExport, ILateBound> {
  public:
    static constexpr Kind kKind = Kind::LateBound;
    static constexpr bool kForwardsByName = true;
    static constexpr Member kMembers[] = {{L"", DISPID_UNKNOWN}};

    using ByName::ByName;
    LateBoundPtr LateBoundCore() const override { return Shared(); }
    bool Call(DISPID id, EventArgs& args, com::Variant& result) {
        return ForwardDynamic(Object(), id, args, result);
    }
};

class AddressExport final : public ByName<AddressExport, dialer::IAddress> {
  public:
    static constexpr Kind kKind = Kind::Address;
    static constexpr bool kForwardsByName = false;
    static constexpr Member kMembers[] = {{L"Text", 0}};

    using ByName::ByName;
    dialer::AddressPtr AddressCore() const override { return Shared(); }
    bool Call(DISPID id, EventArgs&, com::Variant& result) {
        if (id != 0) return false;
        result = com::MakeText(Object().Text());
        return true;
    }
};

class CallExport final : public Raising<CallExport, dialer::ICall>, private dialer::ICallEvents {
  public:
    static constexpr Kind kKind = Kind::Call;
    static constexpr bool kForwardsByName = false;
    static constexpr Member kMembers[] = {
        {L"State", 1},      {L"ActionFlags", 2},   {L"ExtensionEntryID", 3},
        {L"RedialFlag", 4}, {L"RemoteAddress", 5}, {L"DialledAddress", 6}};

    explicit CallExport(dialer::CallPtr core) : Raising(std::move(core), DIID__IQorCallEvents) {
        Listen(static_cast<dialer::ICallEvents&>(*this));
    }
    dialer::CallPtr CallCore() const override { return Shared(); }

    bool Call(DISPID id, EventArgs&, com::Variant& result) {
        dialer::ICall& call = Object();
        switch (id) {
            case 1:
                result = com::MakeI4(call.State());
                return true;
            case 2:
                result = com::MakeI4(call.ActionFlags());
                return true;
            case 3:
                result = com::MakeText(call.ExtensionEntryID());
                return true;
            case 4:
                V_VT(result.Put()) = VT_UI1;
                V_UI1(result.Get()) = call.RedialFlag();
                return true;
            case 5:
                result = Out(call.RemoteAddress());
                return true;
            case 6:
                result = Out(call.DialledAddress());
                return true;
            default:
                return false;
        }
    }

  private:
    // One address argument, then what the sinks left there.
    void FireAddress(DISPID id, dialer::AddressPtr& address) {
        com::Variant values[] = {Out(address)};
        IDispatch* before = DispatchIn(values[0]);
        Raise(id, values);
        Back(values[0], before, address);
    }

    void Offering(dialer::AddressPtr& address, std::int32_t& origin,
                  std::int32_t& reason) override {
        com::Variant values[] = {Out(address), Out(origin), Out(reason)};
        IDispatch* before = DispatchIn(values[0]);
        Raise(1, values);
        Back(values[0], before, address);
        Back(values[1], origin);
        Back(values[2], reason);
    }
    void Recalling(dialer::AddressPtr& a) override { FireAddress(2, a); }
    void ReOffering() override { Raise(3); }
    void Alerting(dialer::AddressPtr& a) override { FireAddress(4, a); }
    void Connected(dialer::AddressPtr& a) override { FireAddress(5, a); }
    void ConsultationConnected(dialer::AddressPtr& a) override { FireAddress(6, a); }
    void ConsultationOnHold() override { Raise(7); }
    void NewConnected(dialer::AddressPtr& redirecting, dialer::AddressPtr& redirected) override {
        com::Variant values[] = {Out(redirecting), Out(redirected)};
        IDispatch* before0 = DispatchIn(values[0]);
        IDispatch* before1 = DispatchIn(values[1]);
        Raise(8, values);
        Back(values[0], before0, redirecting);
        Back(values[1], before1, redirected);
    }
    void Reconnected(dialer::AddressPtr& a) override { FireAddress(9, a); }
    void OnHold() override { Raise(10); }
    void Cleared(dialer::AddressPtr& address, std::int32_t& reason) override {
        com::Variant values[] = {Out(address), Out(reason)};
        IDispatch* before = DispatchIn(values[0]);
        Raise(11, values);
        Back(values[0], before, address);
        Back(values[1], reason);
    }
    void PropertyChange(std::int32_t& property, Variant& value) override {
        com::Variant values[] = {Out(property), Out(value)};
        Raise(12, values);
        Back(values[0], property);
        Back(values[1], value);
    }
};

class CallsExport final : public Raising<CallsExport, dialer::ICalls>,
                          private dialer::ICallsEvents {
  public:
    static constexpr Kind kKind = Kind::Calls;
    static constexpr bool kForwardsByName = false;
    static constexpr Member kMembers[] = {
        {L"Item", 0}, {L"CurrentCallEntryID", 1}, {L"Count", 2}, {L"Remove", 3}};

    explicit CallsExport(dialer::CallsPtr core) : Raising(std::move(core), DIID__IQorCallsEvents) {
        Listen(static_cast<dialer::ICallsEvents&>(*this));
    }
    dialer::CallsPtr CallsCore() const override { return Shared(); }

    bool Call(DISPID id, EventArgs& args, com::Variant& result) {
        dialer::ICalls& calls = Object();
        switch (id) {
            case 0:
                result = com::MakeDispatch(ExportCall(calls.Item(ImportValue(args[0]))).Get());
                return true;
            case 1:
                result = com::MakeText(calls.CurrentCallEntryID());
                return true;
            case 2:
                result = com::MakeI4(calls.Count());
                return true;
            case 3:
                calls.Remove(com::Int32Of(args[0]));
                return true;
            default:
                return false;
        }
    }

  private:
    void PropertyChange(std::int32_t& property, Variant& value) override {
        com::Variant values[] = {Out(property), Out(value)};
        Raise(1, values);
        Back(values[0], property);
        Back(values[1], value);
    }
};

class ExtensionExport final : public Raising<ExtensionExport, dialer::IExtension>,
                              private dialer::IExtensionEvents {
  public:
    static constexpr Kind kKind = Kind::Extension;
    static constexpr bool kForwardsByName = false;
    static constexpr Member kMembers[] = {{L"Number", 1},           {L"LineName", 2},
                                          {L"EntryID", 3},          {L"Calls", 4},
                                          {L"Monitor", 5},          {L"CustomProperty", 6},
                                          {L"ForwardImmediate", 7}, {L"ForwardOnBusy", 8},
                                          {L"ForwardOnNoReply", 9}, {L"ForwardDestination", 10},
                                          {L"ForwardingOn", 11},    {L"FollowMeOn", 12}};

    explicit ExtensionExport(dialer::ExtensionPtr core)
        : Raising(std::move(core), DIID__IQorExtensionEvents) {
        Listen(static_cast<dialer::IExtensionEvents&>(*this));
    }

    bool Call(DISPID id, EventArgs& args, com::Variant& result) {
        dialer::IExtension& ext = Object();
        switch (id) {
            case 1:
                result = com::MakeText(ext.Number());
                return true;
            case 2:
                result = com::MakeText(ext.LineName());
                return true;
            case 3:
                result = com::MakeText(ext.EntryID());
                return true;
            case 4:
                result = com::MakeDispatch(ExportCalls(ext.Calls()).Get());
                return true;
            case 5:
                ext.Monitor(com::Int32Of(args[0]), com::TextOf(args[1]), com::TextOf(args[2]));
                return true;
            case 6:
                result = ExportValue(ext.CustomProperty(com::TextOf(args[0])));
                return true;
            case 7:
            case 8:
            case 9:
            case 10:
                result =
                    com::MakeText(ext.ForwardingState().texts[static_cast<std::size_t>(id - 7)]);
                return true;
            case 11:
            case 12:
                result =
                    com::MakeBool(ext.ForwardingState().flags[static_cast<std::size_t>(id - 11)]);
                return true;
            default:
                return false;
        }
    }

  private:
    void PropertyChange(std::int32_t& property, Variant& value) override {
        com::Variant values[] = {Out(property), Out(value)};
        Raise(1, values);
        Back(values[0], property);
        Back(values[1], value);
    }
    void CustomPropertyChange(std::string& name, Variant& value) override {
        com::Variant values[] = {Out(name), Out(value)};
        Raise(2, values);
        Back(values[0], name);
        Back(values[1], value);
    }
    void Monitoring(std::string& ext) override { FireText(3, ext); }
    void MonitoringStop(std::string& ext) override { FireText(4, ext); }
    void FireText(DISPID id, std::string& text) {
        com::Variant values[] = {Out(text)};
        Raise(id, values);
        Back(values[0], text);
    }
};

class ExtensionsExport final : public ByName<ExtensionsExport, dialer::IExtensions> {
  public:
    static constexpr Kind kKind = Kind::Extensions;
    static constexpr bool kForwardsByName = false;
    static constexpr Member kMembers[] = {
        {L"Item", 0}, {L"CurrentEntryID", 1}, {L"SecondEntryID", 2}};

    using ByName::ByName;
    bool Call(DISPID id, EventArgs& args, com::Variant& result) {
        dialer::IExtensions& extensions = Object();
        switch (id) {
            case 0:
                result =
                    com::MakeDispatch(ExportExtension(extensions.Item(ImportValue(args[0]))).Get());
                return true;
            case 1:
                result = com::MakeText(extensions.CurrentEntryID());
                return true;
            case 2:
                result = com::MakeText(extensions.SecondEntryID());
                return true;
            default:
                return false;
        }
    }
};

class SessionExport final : public Raising<SessionExport, dialer::ISession>,
                            private dialer::ISessionEvents {
  public:
    static constexpr Kind kKind = Kind::Session;
    static constexpr bool kForwardsByName = true;
    static constexpr Member kMembers[] = {
        {L"SessionKey", 1}, {L"Extensions", 2}, {L"TheAppMenus", 3}, {L"SendMenuSelected", 4}};

    explicit SessionExport(dialer::SessionPtr core)
        : Raising(std::move(core), DIID__IQorSessionEvents) {
        Listen(static_cast<dialer::ISessionEvents&>(*this));
    }
    LateBoundPtr LateBoundCore() const override { return Shared(); }
    dialer::SessionPtr SessionCore() const override { return Shared(); }

    bool Call(DISPID id, EventArgs& args, com::Variant& result) {
        dialer::ISession& session = Object();
        switch (id) {
            case 1:
                result = com::MakeText(session.SessionKey());
                return true;
            case 2:
                result = com::MakeDispatch(ExportExtensions(session.Extensions()).Get());
                return true;
            case 3:
                Forward(session, "TheAppMenus", args, result);
                return true;
            case 4:
                Forward(session, "SendMenuSelected", args, result);
                return true;
            default:
                return ForwardDynamic(session, id, args, result);
        }
    }

  private:
    void SessionOpened() override { Raise(1); }
};

template <class T, class Ptr>
ComPtr<IDispatch> Export(const Ptr& core) {
    if (!core) return nullptr;
    const auto& known = Known().byCore;
    const auto it = known.find({T::kKind, T::Key(core)});
    if (it != known.end()) return ComPtr<IDispatch>(it->second->Self());
    return ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(new T(core)));
}

ComPtr<IDispatch> ExportAddress(const dialer::AddressPtr& object) {
    return Export<AddressExport>(object);
}
ComPtr<IDispatch> ExportExtensions(const dialer::ExtensionsPtr& object) {
    return Export<ExtensionsExport>(object);
}
ComPtr<IDispatch> ExportExtension(const dialer::ExtensionPtr& object) {
    return Export<ExtensionExport>(object);
}
ComPtr<IDispatch> ExportLateBound(const LateBoundPtr& object) {
    return Export<LateBoundExport>(object);
}

}  // namespace

ComPtr<IDispatch> ExportSession(const dialer::SessionPtr& object) {
    return Export<SessionExport>(object);
}
ComPtr<IDispatch> ExportCalls(const dialer::CallsPtr& object) {
    return Export<CallsExport>(object);
}
ComPtr<IDispatch> ExportCall(const dialer::CallPtr& object) {
    return Export<CallExport>(object);
}

dialer::CallPtr CallBehind(IDispatch* object) {
    const Exported* ours = Lookup(object);
    return ours ? ours->CallCore() : nullptr;
}
dialer::SessionPtr SessionBehind(IDispatch* object) {
    const Exported* ours = Lookup(object);
    return ours ? ours->SessionCore() : nullptr;
}
dialer::CallsPtr CallsBehind(IDispatch* object) {
    const Exported* ours = Lookup(object);
    return ours ? ours->CallsCore() : nullptr;
}

com::Variant ExportValue(const Variant& value) {
    const auto* object = std::get_if<LateBoundPtr>(&value.Raw());
    if (!object) return ::qor::win::ToAutomation(value);
    if (!*object) return com::MakeDispatch(nullptr);
    if (auto session = std::dynamic_pointer_cast<dialer::ISession>(*object))
        return com::MakeDispatch(ExportSession(session).Get());
    // An object the DLL handed over goes back as itself.
    if (IDispatch* behind = ::qor::win::DispatchBehind(*object)) return com::MakeDispatch(behind);
    return com::MakeDispatch(ExportLateBound(*object).Get());
}

Variant ImportValue(const VARIANT& value) {
    const VARIANT* v = &value;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    const VARTYPE type = V_VT(v) & ~VT_BYREF;
    if (type == VT_DISPATCH || type == VT_UNKNOWN) {
        ComPtr<IDispatch> object = com::DispatchOf(*v);
        if (!object) return {};
        if (const Exported* ours = Lookup(object.Get()))
            if (LateBoundPtr core = ours->LateBoundCore()) return core;
    }
    return ::qor::win::ToCore(*v);
}

}  // namespace qor::sim::win
