#include "sim/windows/TrayObserver.h"

#include <ocidl.h>
#include <olectl.h>

#include <stdexcept>
#include <utility>

#include "sim/windows/TrayObserverState.h"
#include "windows/com/Automation.h"
#include "windows/com/Errors.h"
#include "windows/com/Object.h"
#include "windows/com/Owners.h"

namespace qor::sim::win {

namespace {

constexpr wchar_t kTrayProgId[] = L"TrayIconCtl.TrayIcon";
// Item 1 of the control and its members, by the fixed ids of its type library.
constexpr DISPID kItem = 0;
constexpr DISPID kDialCaption = 0x68030000;
constexpr DISPID kShortCut = 0x68030001;
constexpr DISPID kShortCutActive = 0x68030002;
constexpr DISPID kBlinking = 0x68030005;
constexpr DISPID kBlinkIcon = 0x68030006;
constexpr DISPID kVisible = 0x68030008;
constexpr DISPID kToolTip = 0x68030009;
constexpr DISPID kIcon = 0x6803000A;

std::int32_t IntArgument(const VARIANT& value) {
    switch (V_VT(&value)) {
        case VT_I2:
            return V_I2(&value);
        case VT_I2 | VT_BYREF:
            return *V_I2REF(&value);
        case VT_I4:
            return V_I4(&value);
        case VT_I4 | VT_BYREF:
            return *V_I4REF(&value);
        default:
            return 0;
    }
}

com::Variant Get(IDispatch* object, DISPID id) {
    return com::InvokeById(object, id, DISPATCH_PROPERTYGET);
}

// Stands in for the control's class in this process: the real factory creates the
// real control, which goes back to the caller unchanged after the observer took
// note of it.
class ObservingFactory final : public com::ComObject<ObservingFactory, IClassFactory> {
  public:
    explicit ObservingFactory(std::weak_ptr<TrayObserver::State> state)
        : state_(std::move(state)) {}
    void* Cast(REFIID riid) noexcept { return ComObject::Cast(riid); }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        auto state = state_.lock();
        if (!state || !state->realFactory) return CLASS_E_CLASSNOTAVAILABLE;
        HRESULT hr = state->realFactory->CreateInstance(outer, riid, out);
        // An aggregated control answers for its outer object: not ours to watch.
        if (FAILED(hr) || outer || !out || !*out) return hr;
        try {
            state->Observe(static_cast<IUnknown*>(*out), state);
        } catch (...) {
            // Watching failed; the DLL still gets its control.
        }
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        auto state = state_.lock();
        return state && state->realFactory ? state->realFactory->LockServer(lock) : S_OK;
    }

  private:
    std::weak_ptr<TrayObserver::State> state_;
};

}  // namespace

std::vector<HWND> ShellIcons() {
    std::vector<HWND> found;
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    for (HWND child = nullptr;
         tray && (child = FindWindowExW(tray, child, L"__winex11_tray_icon", nullptr));)
        found.push_back(child);
    return found;
}

void TrayObserver::State::Observe(IUnknown* object, const std::shared_ptr<State>& self) {
    Forget();  // the last control only
    events.clear();
    iconsBefore = ShellIcons();
    com::ComPtr<IUnknown> identity;
    object->QueryInterface(IID_IUnknown, identity.PutVoid());
    std::weak_ptr<State> weak = self;
    try {
        connection = com::Connection::Connect(
            identity.Get(), IID_NULL,
            [weak](DISPID id, com::EventArgs& args) {
                if (auto state = weak.lock()) state->Heard(id, args);
            },
            com::Connection::Hold::Nothing);
    } catch (const com::ComError&) {
        return;  // a control without events cannot be watched
    }
    control = identity.Get();
    // `identity` goes now: the DLL's references alone keep the control.
}

void TrayObserver::State::Heard(DISPID id, com::EventArgs& args) {
    // The index comes first of all; then the event's own arguments.
    TrayEvent event{id, 0, 0};
    if (args.Count() >= 2) event.first = IntArgument(args[1]);
    if (args.Count() >= 3) event.second = IntArgument(args[2]);
    if (id == TrayIconEventOLEStartDrag && args.Count() >= 3) {
        const VARIANT& data = args[1];
        const VARIANT& allowed = args[2];
        dragData = nullptr;
        if (V_VT(&data) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(&data))
            dragData = com::ComPtr<IDispatch>(*V_DISPATCHREF(&data));
        dragAllowed = V_VT(&allowed) == (VT_BYREF | VT_I4) ? V_I4REF(&allowed) : nullptr;
    } else if (id == TrayIconEventOLECompleteDrag) {
        RecordDrag();
    }
    events.push_back(event);
}

void TrayObserver::State::RecordDrag() {
    DragView drag;
    if (dragAllowed) drag.allowedEffects = *dragAllowed;
    if (auto object = dragData ? dragData.As<IDataObject>() : com::ComPtr<IDataObject>()) {
        FORMATETC format{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        if (SUCCEEDED(object->GetData(&format, &medium))) {
            com::GlobalLockGuard text(medium.hGlobal);
            if (text.Data()) {
                drag.text = static_cast<const char*>(text.Data());
                drag.format = CF_TEXT;
            }
        }
        ReleaseStgMedium(&medium);
    }
    drags.push_back(std::move(drag));
    dragData = nullptr;
    dragAllowed = nullptr;
}

TrayObserver::TrayObserver(std::function<void(DWORD ms)> pump)
    : pump_(std::move(pump)), state_(std::make_shared<State>()) {
    if (FAILED(CLSIDFromProgID(kTrayProgId, &clsid_)))
        throw std::runtime_error("The tray icon control (TrayIconCtl.TrayIcon) is not registered");
    // The real factory first: once ours is registered, COM would hand back ours.
    HRESULT hr = CoGetClassObject(clsid_, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                  state_->realFactory.PutVoid());
    if (FAILED(hr)) throw std::runtime_error("The tray icon control's factory is not available");
    auto factory = com::ComPtr<IClassFactory>::Adopt(new ObservingFactory(state_));
    hr = CoRegisterClassObject(clsid_, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                               &registration_);
    if (FAILED(hr)) throw std::runtime_error("Cannot register the observing tray icon factory");
}

TrayObserver::~TrayObserver() {
    if (registration_) CoRevokeClassObject(registration_);
    state_->Forget();
    state_->realFactory = nullptr;
}

bool TrayObserver::Exists() const {
    return state_->Alive();
}

const std::vector<TrayEvent>& TrayObserver::Events() const {
    return state_->events;
}

std::vector<DragView> TrayObserver::Drags() const {
    return state_->drags;
}

void TrayObserver::ClearEvents() {
    state_->events.clear();
}

TrayView TrayObserver::View() {
    TrayView view;
    if (!Exists()) return view;
    try {
        auto control = com::ComPtr<IUnknown>(state_->control).As<IDispatch>();
        if (!control) return view;
        VARIANT index[1];
        VariantInit(&index[0]);
        V_VT(&index[0]) = VT_I2;
        V_I2(&index[0]) = 1;
        com::Variant itemValue = com::InvokeById(control.Get(), kItem, DISPATCH_PROPERTYGET, index);
        auto item = com::DispatchOf(*itemValue.Get());
        if (!item) return view;
        view.visible = com::BoolOf(*Get(item.Get(), kVisible).Get());
        view.icon = IconIdOf(com::DispatchOf(*Get(item.Get(), kIcon).Get()).Get());
        view.blinkIcon = IconIdOf(com::DispatchOf(*Get(item.Get(), kBlinkIcon).Get()).Get());
        view.blinking = com::BoolOf(*Get(item.Get(), kBlinking).Get());
        view.toolTip = com::TextOf(*Get(item.Get(), kToolTip).Get());
        view.dialCaption = com::TextOf(*Get(item.Get(), kDialCaption).Get());
        view.shortCut = com::Int16Of(*Get(item.Get(), kShortCut).Get());
        view.shortCutActive = com::BoolOf(*Get(item.Get(), kShortCutActive).Get());
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("Reading the tray icon control failed: ") + e.what());
    }
    return view;
}

}  // namespace qor::sim::win
