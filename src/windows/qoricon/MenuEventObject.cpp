// MenuEvent: each method raises the event of the same meaning on the core's
// MenuEvent; this object hears every event of that core object and raises it to
// its connection point's sinks. The client's handler runs before the method
// returns, and a handler that changes an argument changes the caller's variable.

#include <string>

#include "windows/com/Automation.h"
#include "windows/com/ConnectionPoint.h"
#include "windows/com/Dispatch.h"
#include "windows/com/Text.h"
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

    // _MenuEvent: each argument is the caller's variable; what the core's handlers
    // leave there goes back into it.
    STDMETHODIMP Answer(IQorCall** c) override { return WithCall(c, &MenuEvent::Answer); }
    STDMETHODIMP Clear(IQorCall** c) override { return WithCall(c, &MenuEvent::Clear); }
    STDMETHODIMP Reconnect(IQorCall** c) override { return WithCall(c, &MenuEvent::Reconnect); }
    STDMETHODIMP CancelConsultation(IQorCall** c) override {
        return WithCall(c, &MenuEvent::CancelConsultation);
    }
    STDMETHODIMP CloseApp(IQorSession** s) override { return WithSession(s, &MenuEvent::CloseApp); }
    STDMETHODIMP Maximize(IQorSession** s) override { return WithSession(s, &MenuEvent::Maximize); }
    STDMETHODIMP MakeCall(BSTR* callee) override {
        return Run([&] {
            if (!callee) return E_POINTER;
            TextSlot text(*callee);
            core_->MakeCall(text.value);
            text.Commit();
            return S_OK;
        });
    }
    STDMETHODIMP MakeCall2(IQorCalls** myCalls, BSTR* strToDial) override {
        return Run([&] {
            if (!myCalls || !strToDial) return E_POINTER;
            ObjectSlot<IQorCalls, dialer::CallsPtr> calls(*myCalls, WrapCalls);
            TextSlot text(*strToDial);
            core_->MakeCall2(calls.value, text.value);
            calls.Commit();
            text.Commit();
            return S_OK;
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

    // A caller's object variable seen as a core object for the time of one call;
    // Commit puts a different object the core left there in place of the caller's
    // (released) one, in the contract's type where it has it.
    template <class I, class Ptr>
    struct ObjectSlot {
        template <class Wrap>
        ObjectSlot(I*& slot, Wrap wrap) : slot(slot), before(slot), value(wrap(slot)) {}
        void Commit() {
            IDispatch* after = DispatchBehind(value);
            if (after == before) return;
            ComPtr<IDispatch> face = TypedFace(after, __uuidof(I));
            if (slot) slot->Release();
            // Only a handler that put a foreign object there leaves a plain IDispatch.
            slot = static_cast<I*>(face.Detach());
        }
        I*& slot;
        IDispatch* before;
        Ptr value;
    };
    struct TextSlot {
        explicit TextSlot(BSTR& slot) : slot(slot), value(com::FromBstr(slot)), before(value) {}
        void Commit() {
            if (value == before) return;
            BSTR text = com::AllocBstr(value);
            SysFreeString(slot);
            slot = text;
        }
        BSTR& slot;
        std::string value;
        const std::string before;
    };

    HRESULT WithCall(IQorCall** arg, void (MenuEvent::*raise)(dialer::CallPtr&)) noexcept {
        return Run([&] {
            if (!arg) return E_POINTER;
            ObjectSlot<IQorCall, dialer::CallPtr> call(*arg, WrapCall);
            ((*core_).*raise)(call.value);
            call.Commit();
            return S_OK;
        });
    }
    HRESULT WithSession(IQorSession** arg, void (MenuEvent::*raise)(dialer::SessionPtr&)) noexcept {
        return Run([&] {
            if (!arg) return E_POINTER;
            ObjectSlot<IQorSession, dialer::SessionPtr> session(*arg, WrapSession);
            ((*core_).*raise)(session.value);
            session.Commit();
            return S_OK;
        });
    }

    // ---- The core's events, raised to our sinks. Each argument goes by reference
    // with the contract's type (VT_BYREF | VT_DISPATCH for the dialer interfaces,
    // VT_BYREF | VT_BSTR for texts); what a handler leaves there comes back to the
    // core's variable.
    template <class Ptr, class Wrap>
    void FireWith(DISPID id, Ptr& object, REFIID iid, Wrap wrap) {
        ComPtr<_MenuEvent> self(this);
        com::Variant slot = com::MakeDispatch(TypedFace(DispatchBehind(object), iid).Get());
        IDispatch* const before = V_DISPATCH(slot.Get());
        VARIANT ref = com::RefTo(&V_DISPATCH(slot.Get()));
        DISPPARAMS params{&ref, nullptr, 1, 0};
        events_.Fire(id, params);
        if (V_DISPATCH(slot.Get()) != before) object = wrap(V_DISPATCH(slot.Get()));
    }
    void Answer(dialer::CallPtr& c) override {
        FireWith(menuevent::kAnswer, c, IID_IQorCall, WrapCall);
    }
    void Reconnect(dialer::CallPtr& c) override {
        FireWith(menuevent::kReconnect, c, IID_IQorCall, WrapCall);
    }
    void Clear(dialer::CallPtr& c) override {
        FireWith(menuevent::kClear, c, IID_IQorCall, WrapCall);
    }
    void CancelConsultation(dialer::CallPtr& c) override {
        FireWith(menuevent::kCancelConsultation, c, IID_IQorCall, WrapCall);
    }
    void CloseApp(dialer::SessionPtr& s) override {
        FireWith(menuevent::kCloseApp, s, IID_IQorSession, WrapSession);
    }
    void Maximize(dialer::SessionPtr& s) override {
        FireWith(menuevent::kMaximize, s, IID_IQorSession, WrapSession);
    }
    void Configuration() override {
        ComPtr<_MenuEvent> self(this);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        events_.Fire(menuevent::kConfiguration, none);
    }
    void MakeCall(std::string& callee) override {
        ComPtr<_MenuEvent> self(this);
        com::Variant text = com::MakeText(callee);
        VARIANT ref = com::RefTo(&V_BSTR(text.Get()));
        DISPPARAMS params{&ref, nullptr, 1, 0};
        events_.Fire(menuevent::kMakeCall, params);
        callee = com::FromBstr(V_BSTR(text.Get()));
    }
    void MakeCall2(dialer::CallsPtr& myCalls, std::string& strToDial) override {
        ComPtr<_MenuEvent> self(this);
        com::Variant calls =
            com::MakeDispatch(TypedFace(DispatchBehind(myCalls), IID_IQorCalls).Get());
        IDispatch* const callsBefore = V_DISPATCH(calls.Get());
        com::Variant text = com::MakeText(strToDial);
        // DISPPARAMS hold the last argument first.
        VARIANT refs[] = {com::RefTo(&V_BSTR(text.Get())), com::RefTo(&V_DISPATCH(calls.Get()))};
        DISPPARAMS params{refs, nullptr, 2, 0};
        events_.Fire(menuevent::kMakeCall2, params);
        if (V_DISPATCH(calls.Get()) != callsBefore) myCalls = WrapCalls(V_DISPATCH(calls.Get()));
        strToDial = com::FromBstr(V_BSTR(text.Get()));
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
