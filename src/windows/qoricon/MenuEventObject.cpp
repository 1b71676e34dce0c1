// MenuEvent: each method raises the event of the same meaning on the core's
// MenuEvent; this object hears every event of that core object and raises it to
// its connection point's sinks. The client's handler runs before the method
// returns, and a handler that changes an argument changes the caller's variable.

#include <string>

#include "windows/com/Automation.h"
#include "windows/com/ConnectionPoint.h"
#include "windows/com/Dispatch.h"
#include "windows/dialer/DialerObjects.h"
#include "windows/qoricon/Objects.h"

namespace qor::win {

namespace {

using com::ComPtr;

class MenuEventObject final
    : public com::DispatchObject<MenuEventObject, _MenuEvent, IConnectionPointContainer,
                                 IProvideClassInfo2>,
      private IMenuEvents {
  public:
    explicit MenuEventObject(MenuEventPtr core)
        : core_(std::move(core)), events_(*this, DIID___MenuEvent) {
        subscription_ = core_->Subscribe(*this);
    }
    ~MenuEventObject() override {
        subscription_.Reset();
        events_.Clear();
    }
    const MenuEventPtr& Core() const noexcept { return core_; }

    // _MenuEvent: call objects, sessions and calls collections come as VARIANTs.
    STDMETHODIMP Answer(VARIANT* c) override { return WithCall(c, &MenuEvent::Answer); }
    STDMETHODIMP Clear(VARIANT* c) override { return WithCall(c, &MenuEvent::Clear); }
    STDMETHODIMP Reconnect(VARIANT* c) override { return WithCall(c, &MenuEvent::Reconnect); }
    STDMETHODIMP CancelConsultation(VARIANT* c) override {
        return WithCall(c, &MenuEvent::CancelConsultation);
    }
    STDMETHODIMP CloseApp(VARIANT* s) override { return WithSession(s, &MenuEvent::CloseApp); }
    STDMETHODIMP Maximize(VARIANT* s) override { return WithSession(s, &MenuEvent::Maximize); }
    STDMETHODIMP MakeCall(VARIANT* callee) override {
        return Run([&] {
            std::string text = TextArg(callee);
            const std::string before = text;
            core_->MakeCall(text);
            if (text != before) com::Assign(*callee, *com::MakeText(text).Get());
        });
    }
    STDMETHODIMP MakeCall2(VARIANT* myCalls, VARIANT* strToDial) override {
        return Run([&] {
            dialer::CallsPtr calls = WrapCalls(ObjectArg(myCalls).Get());
            IDispatch* callsBefore = DispatchBehind(calls);
            std::string text = TextArg(strToDial);
            const std::string before = text;
            core_->MakeCall2(calls, text);
            WriteObjectBack(myCalls, callsBefore, DispatchBehind(calls));
            if (text != before) com::Assign(*strToDial, *com::MakeText(text).Get());
        });
    }
    STDMETHODIMP Configure() override {
        return Run([&] { core_->Configure(); });
    }

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
        return com::EnumConnectionPointsOf({&events_}, out);
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override {
        return com::FindConnectionPointIn({&events_}, riid, out);
    }

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override {
        return com::ClassInfoOf(CLSID_MenuEvent, info);
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override {
        if (!guid) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = DIID___MenuEvent;
        return S_OK;
    }

  private:
    template <class F>
    HRESULT Run(F&& body) noexcept {
        // Keep ourselves alive: a client's handler may release its last reference.
        ComPtr<_MenuEvent> self(this);
        return com::Guard(IID__MenuEvent, kSource, body);
    }
    static ComPtr<IDispatch> ObjectArg(VARIANT* arg) {
        return arg ? com::DispatchOf(*arg) : nullptr;
    }
    static std::string TextArg(VARIANT* arg) { return arg ? com::TextOf(*arg) : std::string(); }
    static void WriteObjectBack(VARIANT* arg, IDispatch* before, IDispatch* after) {
        if (arg && after != before) com::Assign(*arg, *com::MakeDispatch(after).Get());
    }
    HRESULT WithCall(VARIANT* arg, void (MenuEvent::*raise)(dialer::CallPtr&)) noexcept {
        return Run([&] {
            dialer::CallPtr call = WrapCall(ObjectArg(arg).Get());
            IDispatch* before = DispatchBehind(call);
            ((*core_).*raise)(call);
            WriteObjectBack(arg, before, DispatchBehind(call));
        });
    }
    HRESULT WithSession(VARIANT* arg, void (MenuEvent::*raise)(dialer::SessionPtr&)) noexcept {
        return Run([&] {
            dialer::SessionPtr session = WrapSession(ObjectArg(arg).Get());
            IDispatch* before = DispatchBehind(session);
            ((*core_).*raise)(session);
            WriteObjectBack(arg, before, DispatchBehind(session));
        });
    }

    // ---- The core's events, raised to our sinks. Arguments go by reference
    // (VARIANT*); what a handler leaves there comes back to the core's variable.
    void FireObject(DISPID id, IDispatch* object, std::function<void(IDispatch*)> back) {
        ComPtr<_MenuEvent> self(this);
        com::Variant value = com::MakeDispatch(object);
        VARIANT ref = com::RefTo(value.Get());
        DISPPARAMS params{&ref, nullptr, 1, 0};
        events_.Fire(id, params);
        ComPtr<IDispatch> after = com::DispatchOf(*value.Get());
        if (after.Get() != object) back(after.Get());
    }
    template <class Ptr, class Wrap>
    void FireWith(DISPID id, Ptr& object, Wrap wrap) {
        FireObject(id, DispatchBehind(object), [&](IDispatch* after) { object = wrap(after); });
    }
    void Answer(dialer::CallPtr& c) override { FireWith(menuevent::kAnswer, c, WrapCall); }
    void Reconnect(dialer::CallPtr& c) override { FireWith(menuevent::kReconnect, c, WrapCall); }
    void Clear(dialer::CallPtr& c) override { FireWith(menuevent::kClear, c, WrapCall); }
    void CancelConsultation(dialer::CallPtr& c) override {
        FireWith(menuevent::kCancelConsultation, c, WrapCall);
    }
    void CloseApp(dialer::SessionPtr& s) override {
        FireWith(menuevent::kCloseApp, s, WrapSession);
    }
    void Maximize(dialer::SessionPtr& s) override {
        FireWith(menuevent::kMaximize, s, WrapSession);
    }
    void Configuration() override {
        ComPtr<_MenuEvent> self(this);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        events_.Fire(menuevent::kConfiguration, none);
    }
    void MakeCall(std::string& callee) override {
        ComPtr<_MenuEvent> self(this);
        com::Variant text = com::MakeText(callee);
        VARIANT ref = com::RefTo(text.Get());
        DISPPARAMS params{&ref, nullptr, 1, 0};
        events_.Fire(menuevent::kMakeCall, params);
        callee = com::TextOf(*text.Get());
    }
    void MakeCall2(dialer::CallsPtr& myCalls, std::string& strToDial) override {
        ComPtr<_MenuEvent> self(this);
        IDispatch* callsBefore = DispatchBehind(myCalls);
        com::Variant calls = com::MakeDispatch(callsBefore);
        com::Variant text = com::MakeText(strToDial);
        // DISPPARAMS hold the last argument first.
        VARIANT refs[] = {com::RefTo(text.Get()), com::RefTo(calls.Get())};
        DISPPARAMS params{refs, nullptr, 2, 0};
        events_.Fire(menuevent::kMakeCall2, params);
        ComPtr<IDispatch> callsAfter = com::DispatchOf(*calls.Get());
        if (callsAfter.Get() != callsBefore) myCalls = WrapCalls(callsAfter.Get());
        strToDial = com::TextOf(*text.Get());
    }

    MenuEventPtr core_;
    com::ConnectionPoint events_;
    Subscription subscription_;
};

}  // namespace

HRESULT CreateMenuEvent(REFIID riid, void** out) noexcept {
    return com::Guard(riid, kSource, [&] {
        auto object = ComPtr<_MenuEvent>::Adopt(new MenuEventObject(MenuEvent::Create()));
        return object->QueryInterface(riid, out);
    });
}

ComPtr<_MenuEvent> MenuEventFor(const MenuEventPtr& core) {
    if (!core) return nullptr;
    return ComPtr<_MenuEvent>::Adopt(new MenuEventObject(core));
}

}  // namespace qor::win
