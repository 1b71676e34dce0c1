#include "NotifyIconWindow.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <utility>

namespace qor::tray {

namespace {
constexpr wchar_t kWindowClass[] = L"QorTrayIconWindow";
constexpr UINT kCallbackMessage = WM_APP + 1;
// Posted to ourselves after a change: the changes made until the thread takes it
// reach the shell together.
constexpr UINT kSyncMessage = WM_APP + 2;
// Replaced pictures kept for the shell at most; past that it is told at once.
constexpr size_t kMaxRetired = 8;
constexpr UINT kIconId = 1;
constexpr UINT_PTR kBlinkTimer = 1;
constexpr UINT_PTR kClickTimer = 2;
constexpr UINT_PTR kLeaveTimer = 3;
constexpr UINT kBlinkInterval = 500;
// The shell reports moves only while the pointer is over the icon and never says
// when it leaves, so the cursor is polled after the last move until it is gone.
constexpr UINT kLeavePollInterval = 250;

short ModifierMask() noexcept {
    // The callbacks are posted, not input messages of this thread: only the
    // asynchronous key state tells what the user holds right now.
    short mask = 0;
    if (GetAsyncKeyState(VK_SHIFT) < 0) mask |= kShiftMask;
    if (GetAsyncKeyState(VK_CONTROL) < 0) mask |= kCtrlMask;
    if (GetAsyncKeyState(VK_MENU) < 0) mask |= kAltMask;
    return mask;
}

// One DPI for the whole system: what windows are measured in where no per-window
// DPI exists.
UINT SystemDpi() noexcept {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// Per-window DPI came with Windows 10 (1607): looked up, so that the control still
// loads on older systems, where the system DPI is every window's.
template <class Function>
Function User32Function(const char* name) noexcept {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
               : nullptr;
}

UINT WindowDpi(HWND window) noexcept {
    static const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow && window ? getDpiForWindow(window) : 0;
    return dpi ? dpi : SystemDpi();
}

// The notification area shows small icons: their size at `dpi`.
int SmallIconSize(UINT dpi) noexcept {
    static const auto forDpi = User32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    const int size = forDpi ? forDpi(SM_CXSMICON, dpi) : 0;
    return size > 0 ? size
                    : MulDiv(GetSystemMetrics(SM_CXSMICON), static_cast<int>(dpi),
                             static_cast<int>(SystemDpi()));
}

long ButtonMask() noexcept {
    long mask = 0;
    if (GetAsyncKeyState(VK_LBUTTON) < 0) mask |= kLeftButton;
    if (GetAsyncKeyState(VK_RBUTTON) < 0) mask |= kRightButton;
    if (GetAsyncKeyState(VK_MBUTTON) < 0) mask |= kMiddleButton;
    return mask;
}
}  // namespace

size_t CutToolTip(std::wstring_view text, wchar_t (&buffer)[kToolTipCapacity]) noexcept {
    size_t count = std::min(text.size(), kToolTipCapacity - 1);
    // Half a surrogate pair would show as a broken character: drop it whole.
    if (count > 0 && count < text.size() && IS_HIGH_SURROGATE(text[count - 1])) --count;
    std::wmemcpy(buffer, text.data(), count);
    buffer[count] = L'\0';
    return count;
}

// Marks, for a branch that raises more than one event, whether a handler destroyed
// the control on the way; a handler may open a menu and run another branch inside.
struct NotifyIconWindow::Watch {
    explicit Watch(Watch*& top) noexcept : top(top), outer(std::exchange(top, this)) {}
    ~Watch() {
        if (!destroyed) top = outer;
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
    Watch*& top;
    Watch* outer;
    bool destroyed = false;
};

NotifyIconWindow::~NotifyIconWindow() {
    // Branches still raising events on the stack must not touch us any more.
    for (Watch* watch = watch_; watch; watch = watch->outer) watch->destroyed = true;
    if (!window_) return;
    SetVisible(false);
    // The window may outlive nothing of ours: unhook it before it goes.
    SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
    window_.Reset();
}

HRESULT NotifyIconWindow::Create(HINSTANCE instance) noexcept {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return HRESULT_FROM_WIN32(GetLastError());
    // A hidden top-level popup, not a message-only window: only top-level windows
    // hear "TaskbarCreated" when the shell restarts.
    // The window procedure takes ownership of the window at its first message.
    if (!CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                         nullptr, instance, this)) {
        // Whatever the creation left behind, the system has destroyed already.
        window_.Release();
        DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    iconSize_ = SmallIconSize(WindowDpi(window_.Get()));
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    // An elevated client would otherwise never hear the shell's broadcast.
    ChangeWindowMessageFilterEx(window_.Get(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
    return S_OK;
}

// The same picture again keeps the icons already drawn from it: new ones would
// have new handles, and the shell would repaint for nothing.
void NotifyIconWindow::SetIcon(TrayPicture icon) noexcept {
    if (icon == icon_) return;
    Replace(icon_, std::move(icon));
}

void NotifyIconWindow::SetBlinkIcon(TrayPicture icon) noexcept {
    if (icon == blinkIcon_) return;
    Replace(blinkIcon_, std::move(icon));
}

// The old picture (and its icons) stays alive until the shell has been told: a new
// icon could otherwise get the handle of the one shown and pass for it.
void NotifyIconWindow::Replace(TrayPicture& slot, TrayPicture picture) noexcept {
    TrayPicture old = std::exchange(slot, std::move(picture));
    if (added_ && retired_.size() < kMaxRetired) {
        try {
            retired_.push_back(std::move(old));
            Changed();
            return;
        } catch (...) {
        }
    }
    Sync();
}

void NotifyIconWindow::SetBlinking(bool blinking) noexcept {
    blinking_ = blinking;
    UpdateBlinkTimer();
    Changed();
}

void NotifyIconWindow::SetVisible(bool visible) noexcept {
    visible_ = visible;
    UpdateBlinkTimer();
    Sync();
}

void NotifyIconWindow::SetToolTip(std::wstring_view text) noexcept {
    try {
        toolTip_.assign(text);
    } catch (...) {
        return;  // out of memory: the shell keeps the previous text
    }
    Changed();
}

void NotifyIconWindow::Flush() noexcept {
    if (unsent_) Sync();
}

// A presentation sets picture, blinking and tooltip one after the other, and the
// shell repaints on each call: they go together, once the presentation is done and
// the thread is back at its messages. An icon not in the tray yet gets it all when
// it is added.
void NotifyIconWindow::Changed() noexcept {
    if (!added_) {
        Sync();  // hidden: nothing to send; no shell yet: another try at adding
        return;
    }
    unsent_ = true;
    if (syncQueued_) return;
    syncQueued_ = PostMessageW(window_.Get(), kSyncMessage, 0, 0) != FALSE;
    if (!syncQueued_) Sync();  // no room in the queue: now, then
}

HICON NotifyIconWindow::WantedIcon() noexcept {
    if (blinking_ && blinkPhase_)
        if (HICON blink = blinkIcon_.At(iconSize_)) return blink;
    return icon_.At(iconSize_);
}

void NotifyIconWindow::ChooseIconSize(UINT dpi) noexcept {
    iconSize_ = SmallIconSize(dpi);
}

void NotifyIconWindow::UpdateBlinkTimer() noexcept {
    bool wanted = window_ && blinking_ && visible_;
    if (wanted && !blinkTimerRunning_) {
        blinkTimerRunning_ = SetTimer(window_.Get(), kBlinkTimer, kBlinkInterval, nullptr) != 0;
        blinkPhase_ = false;
    } else if (!wanted && blinkTimerRunning_) {
        KillTimer(window_.Get(), kBlinkTimer);
        blinkTimerRunning_ = false;
        blinkPhase_ = false;
    }
}

void NotifyIconWindow::Sync() noexcept {
    if (!window_) return;
    unsent_ = false;
    struct ForgetRetired {
        std::vector<TrayPicture>& pictures;
        ~ForgetRetired() { pictures.clear(); }
    } forgetRetired{retired_};
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window_.Get();
    data.uID = kIconId;
    if (!visible_) {
        if (added_) Shell_NotifyIconW(NIM_DELETE, &data);
        added_ = false;
        return;
    }
    HICON wanted = WantedIcon();
    if (!added_) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
        data.uCallbackMessage = kCallbackMessage;
        data.hIcon = wanted;
        CutToolTip(toolTip_, data.szTip);
        // A shell that still knows the icon (a "TaskbarCreated" sent without a
        // restart) refuses the add: then the icon is brought up to date instead.
        if (!Shell_NotifyIconW(NIM_ADD, &data) && !Shell_NotifyIconW(NIM_MODIFY, &data))
            return;  // no shell yet: "TaskbarCreated" retries
        added_ = true;
        shownIcon_ = wanted;
        shownTip_ = toolTip_;
        data.uVersion = NOTIFYICON_VERSION_4;
        Shell_NotifyIconW(NIM_SETVERSION, &data);
        return;
    }
    // The shell repaints on every icon and re-sets the text on every tip it gets,
    // changed or not: tell it only what differs from what it shows.
    if (wanted != shownIcon_) {
        data.uFlags |= NIF_ICON;
        data.hIcon = wanted;
    }
    if (toolTip_ != shownTip_) {
        data.uFlags |= NIF_TIP | NIF_SHOWTIP;
        CutToolTip(toolTip_, data.szTip);
    }
    if (data.uFlags == 0 || !Shell_NotifyIconW(NIM_MODIFY, &data)) return;
    shownIcon_ = wanted;
    try {
        shownTip_ = toolTip_;
    } catch (...) {
        shownTip_.clear();  // the next change of text is then sent again
    }
}

bool NotifyIconWindow::PointerGone() const noexcept {
    POINT now{};
    if (!GetCursorPos(&now)) return false;
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window_.Get();
    icon.uID = kIconId;
    RECT rect{};
    if (SUCCEEDED(Shell_NotifyIconGetRect(&icon, &rect))) return !PtInRect(&rect, now);
    // Shells that do not tell where the icon is (Wine): gone once the pointer is an
    // icon's width away from where the shell last saw it.
    const int reach = GetSystemMetrics(SM_CXSMICON);
    return std::abs(now.x - lastMove_.x) >= reach || std::abs(now.y - lastMove_.y) >= reach;
}

bool NotifyIconWindow::ShortCutHeld() const noexcept {
    return shortCutActive_ && shortCut_ != 0 &&
           (ModifierMask() & (kShiftMask | kCtrlMask)) == shortCut_;
}

LRESULT CALLBACK NotifyIconWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<NotifyIconWindow*>(
            reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_.Reset(window);  // messages arrive before CreateWindowEx returns
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<NotifyIconWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;  // nothing may unwind into the system's dispatch
    }
}

// Each branch raises its event last, or watches for its end between events: a
// handler may release the control, and with it this object, before it returns.
LRESULT NotifyIconWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallbackMessage) {
        HandleTrayCallback(LOWORD(lParam), wParam);
        return 0;
    }
    switch (message) {
        case kSyncMessage:
            syncQueued_ = false;
            Flush();
            return 0;
        case WM_TIMER:
            HandleTimer(wParam);
            return 0;
        case WM_DPICHANGED:
            // The window moved to a screen of another DPI, which the message carries.
            ChooseIconSize(LOWORD(wParam));
            Sync();
            return 0;
        case WM_SETTINGCHANGE:
            // The small-icon metric may have changed with it (taskbar settings, DPI).
            ChooseIconSize(WindowDpi(window_.Get()));
            Sync();
            return 0;
        default:
            break;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // The shell restarted and forgot every icon; it may run at another DPI now.
        ChooseIconSize(WindowDpi(window_.Get()));
        added_ = false;
        Sync();
        return 0;
    }
    return DefWindowProcW(window_.Get(), message, wParam, lParam);
}

void NotifyIconWindow::HandleTrayCallback(UINT event, WPARAM anchor) {
    if (event != WM_MOUSEMOVE && event != NIN_SELECT) selectFollows_ = false;
    if (event != WM_MOUSEMOVE && event != WM_CONTEXTMENU) menuFollows_ = false;
    switch (event) {
        case WM_MOUSEMOVE:
            GetCursorPos(&lastMove_);
            pointerOver_ = true;
            SetTimer(window_.Get(), kLeaveTimer, kLeavePollInterval, nullptr);
            events_.MouseMove(ButtonMask());
            return;
        case WM_LBUTTONDOWN:
            LeftPress(false);
            return;
        case WM_MBUTTONDOWN:
            events_.MouseDown(kMiddleButton, ModifierMask());
            return;
        case WM_RBUTTONDOWN:
            // The short-dial gesture replaces the usual events, the press included:
            // a right press otherwise opens the menu.
            shortCutGesture_ = ShortCutHeld();
            if (!shortCutGesture_) events_.MouseDown(kRightButton, ModifierMask());
            return;
        case WM_LBUTTONUP:
            selectFollows_ = true;
            LeftRelease();
            return;
        case WM_MBUTTONUP:
            events_.MouseUp(kMiddleButton, ModifierMask());
            return;
        case WM_RBUTTONUP: {
            menuFollows_ = true;
            short shift = ModifierMask();
            if (shortCutGesture_ || ShortCutHeld()) {
                shortCutGesture_ = false;
                events_.ShortCutClick(shift);
                return;
            }
            events_.MouseUp(kRightButton, shift);
            return;
        }
        case WM_LBUTTONDBLCLK:
            KillTimer(window_.Get(), kClickTimer);
            clickPending_ = false;
            swallowNextUp_ = true;
            events_.DblClick(kLeftButton, ModifierMask());
            return;
        case NIN_SELECT:
            if (std::exchange(selectFollows_, false)) return;  // the mouse's click, done
            KeySelect();
            return;
        case NIN_KEYSELECT:
            KeySelect();
            return;
        case WM_CONTEXTMENU:
            if (std::exchange(menuFollows_, false)) return;  // the mouse's menu, done
            KeyMenu({static_cast<short>(LOWORD(anchor)), static_cast<short>(HIWORD(anchor))});
            return;
        default:
            return;  // the balloon notices
    }
}

void NotifyIconWindow::LeftPress(bool fromKeys) {
    dragged_ = false;
    keyClick_ = fromKeys;
    events_.MouseDown(kLeftButton, ModifierMask());
}

void NotifyIconWindow::LeftRelease() {
    short shift = ModifierMask();
    if (swallowNextUp_) {
        swallowNextUp_ = false;  // the release of a double click: no Click
    } else if (dragged_) {
        // The user dragged the number out; clicking (answering, dialling)
        // as well would do what they did not ask for.
        dragged_ = false;
    } else {
        // A Click is raised only once the double-click time has passed
        // without a second press, so a double click raises no Click.
        clickPending_ = true;
        pendingClickShift_ = shift;
        SetTimer(window_.Get(), kClickTimer, GetDoubleClickTime(), nullptr);
    }
    events_.MouseUp(kLeftButton, shift);
}

// Space or Enter on the focused icon: what a left click raises, the delayed Click
// included. Enter reaches the icon as two selections: while the Click of the
// first is pending, a second is the same key press.
void NotifyIconWindow::KeySelect() {
    if (clickPending_) return;
    swallowNextUp_ = false;
    Watch watch(watch_);
    LeftPress(true);
    if (watch.destroyed) return;
    LeftRelease();
}

// Shift+F10 or the menu key: what a right press and release raise. The menu opens
// where the pointer is, so the pointer goes to the icon for as long as the events
// last. Shift is part of Shift+F10: the keyboard never makes the short dial.
void NotifyIconWindow::KeyMenu(POINT anchor) {
    POINT before{};
    const bool moved = GetCursorPos(&before) && SetCursorPos(anchor.x, anchor.y);
    const short shift = ModifierMask();
    Watch watch(watch_);
    events_.MouseDown(kRightButton, shift);
    if (watch.destroyed) return;
    events_.MouseUp(kRightButton, shift);
    if (watch.destroyed) return;
    POINT now{};
    if (moved && GetCursorPos(&now) && now.x == anchor.x && now.y == anchor.y)
        SetCursorPos(before.x, before.y);  // the user did not move it meanwhile
    ReturnFocus();
}

// After a gesture made with the keyboard the user goes on from the notification
// area, unless what they chose opened a window of ours, which then has the focus.
void NotifyIconWindow::ReturnFocus() noexcept {
    HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    if (foreground && IsWindowVisible(foreground) &&
        GetWindowThreadProcessId(foreground, &process) && process == GetCurrentProcessId())
        return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window_.Get();
    data.uID = kIconId;
    if (added_) Shell_NotifyIconW(NIM_SETFOCUS, &data);
}

void NotifyIconWindow::HandleTimer(UINT_PTR id) {
    switch (id) {
        case kBlinkTimer:
            blinkPhase_ = !blinkPhase_;
            Sync();
            return;
        case kClickTimer: {
            KillTimer(window_.Get(), kClickTimer);
            if (!clickPending_) return;
            clickPending_ = false;
            if (!std::exchange(keyClick_, false)) {
                events_.Click(kLeftButton, pendingClickShift_);
                return;
            }
            Watch watch(watch_);
            events_.Click(kLeftButton, pendingClickShift_);
            if (!watch.destroyed) ReturnFocus();
            return;
        }
        case kLeaveTimer: {
            if (!PointerGone()) return;
            KillTimer(window_.Get(), kLeaveTimer);
            if (!pointerOver_) return;
            pointerOver_ = false;
            events_.MouseMove(kPointerLeft);
            return;
        }
        default:
            return;
    }
}

}  // namespace qor::tray
