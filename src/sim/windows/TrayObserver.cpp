#include "sim/windows/TrayObserver.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <utility>

#include "windows/com/Automation.h"
#include "windows/com/ComPtr.h"
#include "windows/com/Object.h"
#include "windows/com/Owners.h"

namespace qor::sim::win {

namespace {

constexpr wchar_t kTrayProgId[] = L"TrayIconCtl.TrayIcon";
constexpr wchar_t kIconsProgId[] = L"QORIcons.Icons";
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

// Long enough for the delayed Click (the double-click time) and the control's
// polling for the pointer leaving, with room for a slow Wine.
constexpr ULONGLONG kGestureTimeoutMs = 5000;
constexpr DWORD kPumpStepMs = 20;
// Time for the shell to report a pointer move or a key to reach the input state.
constexpr ULONGLONG kPointerSettleMs = 300;
constexpr DWORD kKeySettleMs = 50;

using EventList = std::vector<TrayEvent>;

std::vector<HWND> ShellIcons() {
    std::vector<HWND> found;
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    for (HWND child = nullptr;
         tray && (child = FindWindowExW(tray, child, L"__winex11_tray_icon", nullptr));)
        found.push_back(child);
    return found;
}

int Count(const EventList& events, DISPID id, std::int32_t first) {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const TrayEvent& e) {
        return e.id == id && e.first == first;
    }));
}

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

}  // namespace

// The observer's state, shared with the factory (which COM may keep a little
// longer) and the event sink (which the control keeps while it lives).
struct TrayObserver::State {
    com::ComPtr<IClassFactory> realFactory;
    // The control is the DLL's: holding it would keep its icon in the tray after
    // the DLL let it go. Both pointers are valid only while the sink is held.
    IUnknown* control = nullptr;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    com::ComPtr<IDispatch> sink;
    std::vector<HWND> iconsBefore;  // the shell's icons when the control was created
    EventList events;
    // A drag under way: the data object the control offers and its allowed
    // effects, which the component's handler fills after we have been told.
    com::ComPtr<IDispatch> dragData;
    const LONG* dragAllowed = nullptr;
    std::vector<DragView> drags;

    bool Alive() const noexcept {
        if (!sink || !control) return false;
        // The control holds the sink from Advise until it is destroyed: a count
        // above our own one says it is still there.
        sink->AddRef();
        return sink->Release() > 1;
    }
    void Observe(IUnknown* object, const std::shared_ptr<State>& self);
    // The drag has ended: what the component put into it. The control's drag is
    // still on its stack, so the allowed effects can still be read.
    void RecordDrag() {
        DragView drag;
        if (dragAllowed) drag.allowedEffects = *dragAllowed;
        if (auto object = dragData ? dragData.As<IDataObject>() : com::ComPtr<IDataObject>()) {
            FORMATETC format{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
            STGMEDIUM medium{};
            if (SUCCEEDED(object->GetData(&format, &medium))) {
                if (const auto* text = static_cast<const char*>(GlobalLock(medium.hGlobal))) {
                    drag.text = text;
                    drag.format = CF_TEXT;
                    GlobalUnlock(medium.hGlobal);
                }
                ReleaseStgMedium(&medium);
            }
        }
        drags.push_back(std::move(drag));
        dragData = nullptr;
        dragAllowed = nullptr;
    }
    void Forget() noexcept {
        if (Alive()) point->Unadvise(cookie);
        control = nullptr;
        point = nullptr;
        cookie = 0;
        sink = nullptr;
    }
};

namespace {

// Records the control's events; answers the control's event interface.
class EventSink final : public com::ComObject<EventSink, IDispatch> {
  public:
    EventSink(REFIID events, std::weak_ptr<TrayObserver::State> state)
        : events_(events), state_(std::move(state)) {}

    void* Cast(REFIID riid) noexcept {
        if (IsEqualIID(riid, events_)) return static_cast<IDispatch*>(this);
        return ComObject::Cast(riid);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (!params) return E_POINTER;
        try {
            auto state = state_.lock();
            if (!state) return S_OK;
            // Arguments arrive last first; the index comes first of all.
            TrayEvent event{id, 0, 0};
            const UINT n = params->cArgs;
            if (n >= 2) event.first = IntArgument(params->rgvarg[n - 2]);
            if (n >= 3) event.second = IntArgument(params->rgvarg[n - 3]);
            if (id == TrayIconEventOLEStartDrag && n >= 3) {
                const VARIANT& data = params->rgvarg[n - 2];
                const VARIANT& allowed = params->rgvarg[n - 3];
                state->dragData = nullptr;
                if (V_VT(&data) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(&data))
                    state->dragData = com::ComPtr<IDispatch>(*V_DISPATCHREF(&data));
                state->dragAllowed =
                    V_VT(&allowed) == (VT_BYREF | VT_I4) ? V_I4REF(&allowed) : nullptr;
            } else if (id == TrayIconEventOLECompleteDrag) {
                state->RecordDrag();
            }
            state->events.push_back(event);
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

  private:
    IID events_;
    std::weak_ptr<TrayObserver::State> state_;
};

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

void TrayObserver::State::Observe(IUnknown* object, const std::shared_ptr<State>& self) {
    Forget();  // the last control only
    events.clear();
    iconsBefore = ShellIcons();
    com::ComPtr<IUnknown> identity;
    object->QueryInterface(IID_IUnknown, identity.PutVoid());
    IID eventIid = IID_NULL;
    if (auto info = identity.As<IProvideClassInfo2>())
        info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &eventIid);
    auto container = identity.As<IConnectionPointContainer>();
    com::ComPtr<IConnectionPoint> found;
    if (!container || FAILED(container->FindConnectionPoint(eventIid, found.Put()))) return;
    auto newSink = com::ComPtr<IDispatch>::Adopt(new EventSink(eventIid, self));
    DWORD newCookie = 0;
    if (FAILED(found->Advise(newSink.Get(), &newCookie))) return;
    control = identity.Get();
    point = found.Get();
    cookie = newCookie;
    sink = std::move(newSink);
    // `identity` and `found` go now: the DLL's references alone keep the control.
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

// ---- reading the control ---------------------------------------------------------

namespace {

void DeleteBitmap(HBITMAP bitmap) noexcept {
    DeleteObject(bitmap);
}
using UniqueBitmap = com::Unique<HBITMAP, DeleteBitmap>;

BOOL CALLBACK AddIconId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<short>*>(ids)->push_back(
            static_cast<short>(reinterpret_cast<UINT_PTR>(name)));
    return TRUE;
}

// An icon's colour and mask bits as 32-bpp rows, with their sizes: two icons with
// the same pixels give the same bytes whichever handle or picture carries them.
std::vector<std::uint8_t> PixelsOf(HICON icon) {
    std::vector<std::uint8_t> pixels;
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return pixels;
    UniqueBitmap color(info.hbmColor), mask(info.hbmMask);
    HDC screen = GetDC(nullptr);
    for (HBITMAP bitmap : {color.Get(), mask.Get()}) {
        BITMAP size{};
        if (!bitmap || !GetObjectW(bitmap, sizeof size, &size)) continue;
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = size.bmWidth;
        format.bmiHeader.biHeight = -size.bmHeight;  // top-down
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        std::vector<std::uint8_t> rows(static_cast<std::size_t>(size.bmWidth) * size.bmHeight * 4);
        if (!GetDIBits(screen, bitmap, 0, size.bmHeight, rows.data(), &format, DIB_RGB_COLORS))
            continue;
        const auto* header = reinterpret_cast<const std::uint8_t*>(&size.bmWidth);
        pixels.insert(pixels.end(), header, header + sizeof size.bmWidth * 2);
        pixels.insert(pixels.end(), rows.begin(), rows.end());
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

HICON IconOf(IDispatch* picture) {
    if (!picture) return nullptr;
    auto ole = com::ComPtr<IDispatch>(picture).As<IPicture>();
    SHORT type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    if (!ole || FAILED(ole->get_Type(&type)) || type != PICTYPE_ICON ||
        FAILED(ole->get_Handle(&handle)))
        return nullptr;
    return reinterpret_cast<HICON>(static_cast<UINT_PTR>(handle));
}

// The icon ids the library holds: its module's icon resources, so the list is the
// library's own and not a copy that could go stale.
std::vector<short> LibraryIds(IDispatch* icons) {
    std::vector<short> ids;
    HMODULE module = nullptr;
    // The object's table of methods lives in the module that implements it.
    const void* methods = *reinterpret_cast<void* const*>(icons);
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(methods), &module))
        return ids;
    EnumResourceNamesW(module, RT_GROUP_ICON, AddIconId, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

com::Variant Get(IDispatch* object, DISPID id) {
    return com::InvokeById(object, id, DISPATCH_PROPERTYGET);
}

}  // namespace

std::string TrayObserver::IconIdOf(IDispatch* picture) {
    if (!picture) return "none";
    if (!libraryLoaded_) {
        libraryLoaded_ = true;
        com::ComPtr<IDispatch> icons;
        try {
            icons = com::CreateByProgId(kIconsProgId);
        } catch (const std::exception&) {
            // Without the icon library no picture can be named: all read "unknown".
        }
        for (short id : icons ? LibraryIds(icons.Get()) : std::vector<short>{}) {
            std::int16_t requested = id;
            VARIANT args[] = {com::RefTo(&requested)};
            com::Variant own = com::InvokeByName(icons.Get(), L"GetIcon", DISPATCH_METHOD, args);
            auto pixels = PixelsOf(IconOf(com::DispatchOf(*own.Get()).Get()));
            if (!pixels.empty()) library_.emplace_back(std::to_string(id), std::move(pixels));
        }
    }
    HICON icon = IconOf(picture);
    if (!icon) return "unknown";
    const auto pixels = PixelsOf(icon);
    for (const auto& [id, known] : library_)
        if (known == pixels) return id;
    return "unknown";
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

// ---- gestures --------------------------------------------------------------------

HWND TrayObserver::ShellIcon() {
    if (!Exists()) return nullptr;
    HWND newest = nullptr;
    // The shell lists its icons in the order they came: the last one that was not
    // there when our control was created is our control's.
    for (HWND icon : ShellIcons())
        if (std::find(state_->iconsBefore.begin(), state_->iconsBefore.end(), icon) ==
            state_->iconsBefore.end())
            newest = icon;
    return newest;
}

HWND TrayObserver::RequireShellIcon() {
    const ULONGLONG deadline = GetTickCount64() + kGestureTimeoutMs;
    for (;;) {
        if (!Exists()) throw std::runtime_error("There is no tray icon control to click");
        if (HWND icon = ShellIcon()) return icon;
        if (GetTickCount64() > deadline)
            throw std::runtime_error(
                "The tray icon control shows no icon in the notification area");
        pump_(kPumpStepMs);
    }
}

bool TrayObserver::WaitUntil(std::size_t from, const std::function<bool(const EventList&)>& done,
                             ULONGLONG timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const EventList& events = state_->events;
        if (done(EventList(
                events.begin() + static_cast<std::ptrdiff_t>(std::min(from, events.size())),
                events.end())))
            return true;
        if (GetTickCount64() > deadline) return false;
        pump_(kPumpStepMs);
    }
}

void TrayObserver::WaitFor(std::size_t from, const std::function<bool(const EventList&)>& done,
                           const char* what) {
    if (WaitUntil(from, done, kGestureTimeoutMs)) return;
    // What it did report, by event id and first argument, to tell why.
    std::string seen;
    for (auto i = from; i < state_->events.size(); ++i)
        seen += " " + std::to_string(state_->events[i].id) + "(" +
                std::to_string(state_->events[i].first) + ")";
    throw std::runtime_error(std::string("The tray icon control did not report ") + what +
                             " (it reported:" + (seen.empty() ? " nothing" : seen) + ")");
}

void TrayObserver::Gesture(std::initializer_list<UINT> messages,
                           const std::function<bool(const EventList&)>& done, const char* what) {
    HWND icon = RequireShellIcon();
    const std::size_t from = state_->events.size();
    // Where a pointer over the icon would be; the shell passes its own point on.
    for (UINT message : messages) PostMessageW(icon, message, 0, MAKELPARAM(8, 8));
    WaitFor(from, done, what);
}

namespace {

UINT DownMessage(short button) {
    switch (button) {
        case 1:
            return WM_LBUTTONDOWN;
        case 2:
            return WM_RBUTTONDOWN;
        case 4:
            return WM_MBUTTONDOWN;
        default:
            throw std::runtime_error("Unknown mouse button " + std::to_string(button));
    }
}

UINT UpMessage(short button) {
    switch (button) {
        case 1:
            return WM_LBUTTONUP;
        case 2:
            return WM_RBUTTONUP;
        case 4:
            return WM_MBUTTONUP;
        default:
            throw std::runtime_error("Unknown mouse button " + std::to_string(button));
    }
}

// Holds Shift, Ctrl and Alt down (event mask bits 1, 2, 4) for as long as it lives.
// The control asks the keyboard's state when the shell's callback arrives, so the
// keys go through the system's input like a user's.
class HeldKeys {
  public:
    explicit HeldKeys(short mask) {
        for (auto [bit, key] : kKeys)
            if (mask & bit) Send(key, 0), held_.push_back(key);
    }
    ~HeldKeys() {
        for (auto it = held_.rbegin(); it != held_.rend(); ++it) Send(*it, KEYEVENTF_KEYUP);
    }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

  private:
    static constexpr std::pair<short, WORD> kKeys[] = {
        {1, VK_SHIFT}, {2, VK_CONTROL}, {4, VK_MENU}};
    static void Send(WORD key, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = flags;
        SendInput(1, &input, sizeof input);
    }
    std::vector<WORD> held_;
};

}  // namespace

namespace {

bool Moved(const EventList& events) {
    return std::any_of(events.begin(), events.end(), [](const TrayEvent& e) {
        return e.id == TrayIconEventMouseMove && e.first >= 0;
    });
}

}  // namespace

void TrayObserver::Move() {
    HWND icon = RequireShellIcon();
    RECT rect{};
    GetWindowRect(icon, &rect);
    const std::size_t from = state_->events.size();
    // The pointer really goes onto the icon: the control remembers where it was to
    // tell later when it left. Wine's shell reports that move by itself; only a
    // pointer that was there already needs the move sent.
    lastMove_ = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    SetCursorPos(lastMove_.x, lastMove_.y);
    if (!WaitUntil(from, Moved, kPointerSettleMs)) Gesture({WM_MOUSEMOVE}, Moved, "MouseMove");
    pointerOver_ = true;
}

void TrayObserver::Leave() {
    // Only a pointer that was over the icon can leave it.
    if (!pointerOver_) Move();
    // The control takes the pointer for gone once it is an icon's reach away from
    // where the last move was; twice that leaves the icon whatever its size.
    const int reach = 2 * std::max(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    const auto away = [](LONG from, int reach, int screen) {
        return from + reach < screen ? from + reach : from - reach;
    };
    const std::size_t from = state_->events.size();
    SetCursorPos(away(lastMove_.x, reach, GetSystemMetrics(SM_CXSCREEN)),
                 away(lastMove_.y, reach, GetSystemMetrics(SM_CYSCREEN)));
    pointerOver_ = false;
    WaitFor(
        from, [](const EventList& e) { return Count(e, TrayIconEventMouseMove, -1) > 0; },
        "MouseMove -1 (the pointer left)");
}

bool TrayObserver::ShortCutSwallows(short button, short shift) {
    if (button != 2) return false;
    const TrayView view = View();
    return view.shortCutActive && view.shortCut != 0 && (shift & 3) == view.shortCut;
}

void TrayObserver::Press(short button, short shift) {
    const UINT down = DownMessage(button);
    // A right press with the short-dial keys held starts the short dial: the control
    // reports nothing until the release.
    const bool silent = ShortCutSwallows(button, shift);
    HeldKeys keys(shift);
    if (shift) pump_(kKeySettleMs);
    if (silent) {
        PostMessageW(RequireShellIcon(), down, 0, MAKELPARAM(8, 8));
        pump_(kPointerSettleMs);
        return;
    }
    Gesture(
        {down},
        [button](const EventList& e) { return Count(e, TrayIconEventMouseDown, button) > 0; },
        "MouseDown");
}

void TrayObserver::Release(short button, short shift) {
    const UINT up = UpMessage(button);
    const std::size_t from = state_->events.size();
    {
        HeldKeys keys(shift);
        if (shift) pump_(kKeySettleMs);
        Gesture(
            {up},
            [button](const EventList& e) {
                return Count(e, TrayIconEventMouseUp, button) > 0 ||
                       std::any_of(e.begin(), e.end(), [](const TrayEvent& t) {
                           return t.id == TrayIconEventShortCutClick;
                       });
            },
            "MouseUp");
    }
    // A left release is followed by the control's delayed Click unless it ended a
    // double click or a drag; either way the Click belongs to this gesture, not to
    // whichever step happens to be running when the double-click time is over.
    if (button == 1)
        WaitUntil(
            from, [](const EventList& e) { return Count(e, TrayIconEventClick, 1) > 0; },
            GetDoubleClickTime() + kPointerSettleMs);
}

void TrayObserver::Click(short button) {
    // The control raises Click for the left button only, once the double-click time
    // passed without a second press.
    Gesture(
        {DownMessage(button), UpMessage(button)},
        [button](const EventList& e) {
            return Count(e, TrayIconEventMouseUp, button) > 0 &&
                   (button != 1 || Count(e, TrayIconEventClick, 1) > 0);
        },
        "Click");
}

void TrayObserver::DoubleClick() {
    // What the shell sends for a double click: the second press comes as a double
    // click message, its release as a plain one.
    Gesture(
        {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP},
        [](const EventList& e) {
            return Count(e, TrayIconEventDblClick, 1) > 0 && Count(e, TrayIconEventMouseUp, 1) >= 2;
        },
        "DblClick");
}

void TrayObserver::RightPress() {
    Press(2);
}

void TrayObserver::ShortDial(short shift) {
    // Without the control's short dial set up for exactly these keys, the right
    // press would open the menu instead: not the gesture that was asked for.
    const TrayView view = View();
    if (!view.shortCutActive || view.shortCut != (shift & 3))
        throw std::runtime_error("The tray icon's short dial is not set up for these keys");
    HeldKeys keys(shift);
    pump_(kKeySettleMs);
    Gesture(
        {WM_RBUTTONDOWN, WM_RBUTTONUP},
        [](const EventList& e) {
            return std::any_of(e.begin(), e.end(), [](const TrayEvent& t) {
                return t.id == TrayIconEventShortCutClick;
            });
        },
        "ShortCutClick");
}

void TrayObserver::Drag() {
    // Two moves while the left button is held start the component's drag; the drag
    // runs inside the second move's event and ends at once, as no button is held in
    // the system's input (when the component offered nothing, it never starts).
    // The shell then passes the release on. A release that ended a drag is no
    // click; one whose press did not become a drag gets the control's delayed
    // Click, waited for here so it belongs to this gesture.
    GetCursorPos(&lastMove_);  // where the control measures the pointer's leaving from
    pointerOver_ = true;
    Gesture(
        {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_LBUTTONUP},
        [](const EventList& e) {
            return Count(e, TrayIconEventMouseUp, 1) > 0 &&
                   (std::any_of(
                        e.begin(), e.end(),
                        [](const TrayEvent& t) { return t.id == TrayIconEventOLECompleteDrag; }) ||
                    Count(e, TrayIconEventClick, 1) > 0);
        },
        "the release after the drag");
}

// ---- pictures --------------------------------------------------------------------

bool TrayObserver::SaveScreenshot(const std::string& bmpPath) {
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    if (HWND icon = ShellIcon()) tray = GetAncestor(icon, GA_ROOT);
    // The client area only: without a window manager nobody draws the frame.
    RECT rect{};
    if (!tray || !GetClientRect(tray, &rect)) return false;
    MapWindowPoints(tray, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    // The tray window belongs to the shell's process: its pixels are read from the
    // screen, as a user would see them.
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    UniqueBitmap picture(CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool copied = false;
    if (memory && picture && bits) {
        HGDIOBJ old = SelectObject(memory, picture.Get());
        copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied) return false;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof format.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    format.bmiHeader.biSizeImage = imageSize;
    FILE* out = std::fopen(bmpPath.c_str(), "wb");
    if (!out) return false;
    bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                   std::fwrite(&format.bmiHeader, sizeof format.bmiHeader, 1, out) == 1 &&
                   std::fwrite(bits, imageSize, 1, out) == 1;
    written = std::fclose(out) == 0 && written;
    return written;
}

}  // namespace qor::sim::win
