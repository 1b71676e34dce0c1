// Playing a user's gestures on the shell's icon of the control, each waiting until
// the control reported what the gesture makes it report.

#include <algorithm>
#include <stdexcept>

#include "sim/windows/TrayObserver.h"
#include "sim/windows/TrayObserverState.h"

namespace qor::sim::win {

namespace {

// Long enough for the delayed Click (the double-click time) and the control's
// polling for the pointer leaving, with room for a slow Wine.
constexpr ULONGLONG kGestureTimeoutMs = 5000;
constexpr DWORD kPumpStepMs = 20;
// Time for the shell to report a pointer move or a key to reach the input state.
constexpr ULONGLONG kPointerSettleMs = 300;
constexpr DWORD kKeySettleMs = 50;

int Count(const EventList& events, DISPID id, std::int32_t first) {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const TrayEvent& e) {
        return e.id == id && e.first == first;
    }));
}

}  // namespace

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

}  // namespace qor::sim::win
