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
#include "windows/com/Dispatch.h"
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

// Names the DLL asks a by-name object for: each gets a dispatch id of its own,
// answered at call time by the core's late binding.
HRESULT DynamicIdsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    try {
        // Only the member name is ours to resolve; named arguments are not used.
        for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        ids[0] = DynamicId(names[0]);
        return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// Calls the member `id` names on the core object's late binding with the caller's
// arguments; arguments the member changed go back to by-reference ones.
HRESULT InvokeDynamic(ILateBound& target, DISPID id, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep) noexcept {
    // Every such member is a method or a read-only property.
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    const std::wstring* name = DynamicName(id);
    if (!name) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    try {
        EventArgs args(*params);
        UINT given = args.Count();
        while (given > 0 && Missing(args[given - 1])) --given;
        std::vector<Variant> values;
        values.reserve(given);
        for (UINT i = 0; i < given; ++i) values.push_back(ImportValue(args[i]));
        const std::vector<Variant> before = values;
        com::Variant value = ExportValue(target.Invoke(com::Narrow(*name), values));
        for (UINT i = 0; i < given && i < values.size(); ++i)
            if (!(values[i] == before[i])) com::WriteBack(args[i], *ExportValue(values[i]).Get());
        if (result) value.Detach(result);
        return S_OK;
    } catch (...) {
        return Failed(excep);
    }
}

// An automation object serving the core object `Core` through `Dual`, one of the
// dialer library's interfaces: names, dispatch ids, argument coercion and
// by-reference arguments come from QorDial's type library (embedded in this
// program), exactly as a dialer library built from that IDL answers them.
template <class Derived, class Dual, class Core, class... Extra>
class Served : public com::DispatchObject<Derived, Dual, Extra...>, public Exported {
  public:
    explicit Served(std::shared_ptr<Core> core)
        : Exported(static_cast<Dual*>(this)), core_(std::move(core)) {
        auto& known = Known();
        known.byCore[{Derived::kKind, Key(core_)}] = this;
        known.byIdentity[this->Unknown()] = this;
    }
    ~Served() override {
        // Leave the registry before the core object goes, so nothing finds a dying
        // object while the core object's destruction runs.
        auto& known = Known();
        known.byCore.erase({Derived::kKind, Key(core_)});
        known.byIdentity.erase(this->Unknown());
    }

    static const void* Key(const std::shared_ptr<Core>& core) noexcept {
        return dynamic_cast<const void*>(core.get());
    }

  protected:
    Core& Object() const noexcept { return *core_; }
    const std::shared_ptr<Core>& Shared() const noexcept { return core_; }

    // One member: the core's failures come back as the member's COM error with the
    // core's number, description and source.
    template <class F>
    HRESULT Run(F&& body) noexcept {
        // Keep ourselves alive: a core object's member may lead to our last release.
        ComPtr<Dual> self(static_cast<Dual*>(this));
        return com::Guard(__uuidof(Dual), nullptr, body);
    }
    static HRESULT Text(BSTR* out, const std::string& text) {
        if (!out) return E_POINTER;
        *out = com::AllocBstr(text);
        return S_OK;
    }
    template <class T>
    static HRESULT Value(T* out, T value) {
        if (!out) return E_POINTER;
        *out = value;
        return S_OK;
    }
    static HRESULT Give(IDispatch** out, ComPtr<IDispatch> object) {
        if (!out) return E_POINTER;
        *out = object.Detach();
        return S_OK;
    }

  private:
    std::shared_ptr<Core> core_;
};

// The list a session's "TheAppMenus" returns (count, 1-based Item) and anything
// else a core object answers only by name: no dialer interface describes it, so
// names are resolved when the DLL asks for them and forwarded to the core's late
// binding.
class LateBoundExport final : public com::ComObject<LateBoundExport, IDispatch>, public Exported {
  public:
    static constexpr Kind kKind = Kind::LateBound;
    explicit LateBoundExport(LateBoundPtr core)
        : Exported(static_cast<IDispatch*>(this)), core_(std::move(core)) {
        auto& known = Known();
        known.byCore[{kKind, Key(core_)}] = this;
        known.byIdentity[Unknown()] = this;
    }
    ~LateBoundExport() override {
        auto& known = Known();
        known.byCore.erase({kKind, Key(core_)});
        known.byIdentity.erase(Unknown());
    }
    static const void* Key(const LateBoundPtr& core) noexcept {
        return dynamic_cast<const void*>(core.get());
    }
    void* Cast(REFIID riid) noexcept { return ComObject::Cast(riid); }
    LateBoundPtr LateBoundCore() const override { return core_; }

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
        return DynamicIdsOfNames(riid, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT*) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        return InvokeDynamic(*core_, id, flags, params, result, excep);
    }

  private:
    LateBoundPtr core_;
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
void Back(const com::Variant& arg, IDispatch*, std::int32_t& number) noexcept {
    try {
        number = com::Int32Of(*arg.Get());
    } catch (...) {
    }
}
void Back(const com::Variant& arg, IDispatch*, std::string& text) noexcept {
    try {
        text = com::TextOf(*arg.Get());
    } catch (...) {
    }
}
void Back(const com::Variant& arg, IDispatch*, Variant& value) noexcept {
    try {
        Variant after = ImportValue(*arg.Get());
        if (!(after == value)) value = std::move(after);
    } catch (...) {
    }
}

IDispatch* DispatchIn(const com::Variant& arg) noexcept {
    return V_VT(arg.Get()) == VT_DISPATCH ? V_DISPATCH(arg.Get()) : nullptr;
}

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
template <class Derived, class Dual, class Core>
class Raising : public Served<Derived, Dual, Core, IConnectionPointContainer> {
  public:
    Raising(std::shared_ptr<Core> core, REFIID eventIid)
        : Served<Derived, Dual, Core, IConnectionPointContainer>(std::move(core)),
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
    // Raises event `id` with `args` by reference, in natural order; what the sinks
    // leave there comes back into them (an object only when it is another one).
    template <class... Args>
    void RaiseWith(DISPID id, Args&... args) {
        // A sink may let go of us while it runs.
        ComPtr<Dual> self(static_cast<Dual*>(this));
        if constexpr (sizeof...(Args) == 0) {
            events_.Fire(id, {});
        } else {
            com::Variant values[] = {Out(args)...};
            IDispatch* before[sizeof...(Args)];
            for (std::size_t i = 0; i < sizeof...(Args); ++i) before[i] = DispatchIn(values[i]);
            events_.Fire(id, values);
            std::size_t i = 0;
            ((Back(values[i], before[i], args), ++i), ...);
        }
    }

  private:
    EventSource events_;
    Subscription subscription_;
};

// ---- The objects

class AddressExport final : public Served<AddressExport, IQorAddress, dialer::IAddress> {
  public:
    static constexpr Kind kKind = Kind::Address;
    using Served::Served;
    dialer::AddressPtr AddressCore() const override { return Shared(); }

    STDMETHODIMP get_Text(BSTR* text) override {
        return Run([&] { return Text(text, Object().Text()); });
    }
};

class CallExport final : public Raising<CallExport, IQorCall, dialer::ICall>,
                         private dialer::ICallEvents {
  public:
    static constexpr Kind kKind = Kind::Call;

    explicit CallExport(dialer::CallPtr core) : Raising(std::move(core), DIID__IQorCallEvents) {
        Listen(static_cast<dialer::ICallEvents&>(*this));
    }
    dialer::CallPtr CallCore() const override { return Shared(); }

    STDMETHODIMP get_State(LONG* state) override {
        return Run([&] { return Value<LONG>(state, Object().State()); });
    }
    STDMETHODIMP get_ActionFlags(LONG* flags) override {
        return Run([&] { return Value<LONG>(flags, Object().ActionFlags()); });
    }
    STDMETHODIMP get_ExtensionEntryID(BSTR* id) override {
        return Run([&] { return Text(id, Object().ExtensionEntryID()); });
    }
    STDMETHODIMP get_RedialFlag(unsigned char* flag) override {
        return Run([&] { return Value<unsigned char>(flag, Object().RedialFlag()); });
    }
    STDMETHODIMP get_RemoteAddress(IDispatch** address) override {
        return Run([&] { return Give(address, ExportAddress(Object().RemoteAddress())); });
    }
    STDMETHODIMP get_DialledAddress(IDispatch** address) override {
        return Run([&] { return Give(address, ExportAddress(Object().DialledAddress())); });
    }

  private:
    void Offering(dialer::AddressPtr& address, std::int32_t& origin,
                  std::int32_t& reason) override {
        RaiseWith(1, address, origin, reason);
    }
    void Recalling(dialer::AddressPtr& a) override { RaiseWith(2, a); }
    void ReOffering() override { RaiseWith(3); }
    void Alerting(dialer::AddressPtr& a) override { RaiseWith(4, a); }
    void Connected(dialer::AddressPtr& a) override { RaiseWith(5, a); }
    void ConsultationConnected(dialer::AddressPtr& a) override { RaiseWith(6, a); }
    void ConsultationOnHold() override { RaiseWith(7); }
    void NewConnected(dialer::AddressPtr& redirecting, dialer::AddressPtr& redirected) override {
        RaiseWith(8, redirecting, redirected);
    }
    void Reconnected(dialer::AddressPtr& a) override { RaiseWith(9, a); }
    void OnHold() override { RaiseWith(10); }
    void Cleared(dialer::AddressPtr& address, std::int32_t& reason) override {
        RaiseWith(11, address, reason);
    }
    void PropertyChange(std::int32_t& property, Variant& value) override {
        RaiseWith(12, property, value);
    }
};

class CallsExport final : public Raising<CallsExport, IQorCalls, dialer::ICalls>,
                          private dialer::ICallsEvents {
  public:
    static constexpr Kind kKind = Kind::Calls;

    explicit CallsExport(dialer::CallsPtr core) : Raising(std::move(core), DIID__IQorCallsEvents) {
        Listen(static_cast<dialer::ICallsEvents&>(*this));
    }
    dialer::CallsPtr CallsCore() const override { return Shared(); }

    STDMETHODIMP get_Item(VARIANT key, IDispatch** call) override {
        return Run([&] { return Give(call, ExportCall(Object().Item(ImportValue(key)))); });
    }
    STDMETHODIMP get_CurrentCallEntryID(BSTR* id) override {
        return Run([&] { return Text(id, Object().CurrentCallEntryID()); });
    }
    STDMETHODIMP get_Count(LONG* count) override {
        return Run([&] { return Value<LONG>(count, Object().Count()); });
    }
    STDMETHODIMP Remove(LONG position) override {
        return Run([&] { Object().Remove(position); });
    }

  private:
    void PropertyChange(std::int32_t& property, Variant& value) override {
        RaiseWith(1, property, value);
    }
};

class ExtensionExport final : public Raising<ExtensionExport, IQorExtension, dialer::IExtension>,
                              private dialer::IExtensionEvents {
  public:
    static constexpr Kind kKind = Kind::Extension;

    explicit ExtensionExport(dialer::ExtensionPtr core)
        : Raising(std::move(core), DIID__IQorExtensionEvents) {
        Listen(static_cast<dialer::IExtensionEvents&>(*this));
    }

    STDMETHODIMP get_Number(BSTR* number) override {
        return Run([&] { return Text(number, Object().Number()); });
    }
    STDMETHODIMP get_LineName(BSTR* name) override {
        return Run([&] { return Text(name, Object().LineName()); });
    }
    STDMETHODIMP get_EntryID(BSTR* id) override {
        return Run([&] { return Text(id, Object().EntryID()); });
    }
    STDMETHODIMP get_Calls(IDispatch** calls) override {
        return Run([&] { return Give(calls, ExportCalls(Object().Calls())); });
    }
    STDMETHODIMP Monitor(LONG mode, BSTR a, BSTR b) override {
        return Run([&] { Object().Monitor(mode, com::FromBstr(a), com::FromBstr(b)); });
    }
    STDMETHODIMP get_CustomProperty(BSTR name, VARIANT* value) override {
        return Run([&] {
            if (!value) return E_POINTER;
            ExportValue(Object().CustomProperty(com::FromBstr(name))).Detach(value);
            return S_OK;
        });
    }
    STDMETHODIMP get_ForwardImmediate(BSTR* text) override { return ForwardText(0, text); }
    STDMETHODIMP get_ForwardOnBusy(BSTR* text) override { return ForwardText(1, text); }
    STDMETHODIMP get_ForwardOnNoReply(BSTR* text) override { return ForwardText(2, text); }
    STDMETHODIMP get_ForwardDestination(BSTR* text) override { return ForwardText(3, text); }
    STDMETHODIMP get_ForwardingOn(VARIANT_BOOL* on) override { return ForwardFlag(0, on); }
    STDMETHODIMP get_FollowMeOn(VARIANT_BOOL* on) override { return ForwardFlag(1, on); }

  private:
    HRESULT ForwardText(std::size_t index, BSTR* text) {
        return Run([&] { return Text(text, Object().ForwardingState().texts[index]); });
    }
    HRESULT ForwardFlag(std::size_t index, VARIANT_BOOL* on) {
        return Run([&] {
            return Value<VARIANT_BOOL>(
                on, Object().ForwardingState().flags[index] ? VARIANT_TRUE : VARIANT_FALSE);
        });
    }

    void PropertyChange(std::int32_t& property, Variant& value) override {
        RaiseWith(1, property, value);
    }
    void CustomPropertyChange(std::string& name, Variant& value) override {
        RaiseWith(2, name, value);
    }
    void Monitoring(std::string& ext) override { RaiseWith(3, ext); }
    void MonitoringStop(std::string& ext) override { RaiseWith(4, ext); }
};

class ExtensionsExport final
    : public Served<ExtensionsExport, IQorExtensions, dialer::IExtensions> {
  public:
    static constexpr Kind kKind = Kind::Extensions;
    using Served::Served;

    STDMETHODIMP get_Item(VARIANT key, IDispatch** extension) override {
        return Run(
            [&] { return Give(extension, ExportExtension(Object().Item(ImportValue(key)))); });
    }
    STDMETHODIMP get_CurrentEntryID(BSTR* id) override {
        return Run([&] { return Text(id, Object().CurrentEntryID()); });
    }
    STDMETHODIMP get_SecondEntryID(BSTR* id) override {
        return Run([&] { return Text(id, Object().SecondEntryID()); });
    }
};

class SessionExport final : public Raising<SessionExport, IQorSession, dialer::ISession>,
                            private dialer::ISessionEvents {
    using Base = Raising<SessionExport, IQorSession, dialer::ISession>;

  public:
    static constexpr Kind kKind = Kind::Session;

    explicit SessionExport(dialer::SessionPtr core)
        : Raising(std::move(core), DIID__IQorSessionEvents) {
        Listen(static_cast<dialer::ISessionEvents&>(*this));
    }
    LateBoundPtr LateBoundCore() const override { return Shared(); }
    dialer::SessionPtr SessionCore() const override { return Shared(); }

    STDMETHODIMP get_SessionKey(BSTR* key) override {
        return Run([&] { return Text(key, Object().SessionKey()); });
    }
    STDMETHODIMP get_Extensions(IDispatch** extensions) override {
        return Run([&] { return Give(extensions, ExportExtensions(Object().Extensions())); });
    }
    STDMETHODIMP TheAppMenus(VARIANT entry, VARIANT* result) override {
        return Run([&] {
            if (!result) return E_POINTER;
            std::vector<Variant> args;
            if (!Missing(entry)) args.push_back(ImportValue(entry));
            ExportValue(Object().Invoke("TheAppMenus", args)).Detach(result);
            return S_OK;
        });
    }
    STDMETHODIMP SendMenuSelected(VARIANT entry) override {
        return Run([&] {
            std::vector<Variant> args{ImportValue(entry)};
            Object().Invoke("SendMenuSelected", args);
        });
    }

    // A session answers by name whatever else its application offers: the names
    // the type library does not know are resolved and forwarded at call time.
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override {
        const HRESULT hr = Base::GetIDsOfNames(riid, names, count, lcid, ids);
        return hr == DISP_E_UNKNOWNNAME ? DynamicIdsOfNames(riid, names, count, ids) : hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        if (DynamicName(id)) {
            if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
            return InvokeDynamic(Object(), id, flags, params, result, excep);
        }
        return Base::Invoke(id, riid, lcid, flags, params, result, excep, argErr);
    }

  private:
    void SessionOpened() override { RaiseWith(1); }
};

template <class T, class Ptr>
ComPtr<IDispatch> Export(const Ptr& core) {
    if (!core) return nullptr;
    const auto& known = Known().byCore;
    const auto it = known.find({T::kKind, T::Key(core)});
    if (it != known.end()) return ComPtr<IDispatch>(it->second->Self());
    T* object = new T(core);
    return ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(object->Self()));
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
