#include "NotifyIconWindow.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace qor::tray {

namespace {
constexpr wchar_t kWindowClass[] = L"QorTrayIconWindow";
constexpr UINT kCallbackMessage = WM_APP + 1;
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

NotifyIconWindow::~NotifyIconWindow() {
    if (!window_) return;
    SetVisible(false);
    // The window may outlive nothing of ours: unhook it before it goes.
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
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
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, instance, this);
    if (!window_) {
        DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    // An elevated client would otherwise never hear the shell's broadcast.
    ChangeWindowMessageFilterEx(window_, taskbarCreated_, MSGFLT_ALLOW, nullptr);
    return S_OK;
}

void NotifyIconWindow::SetIcon(HICON icon) noexcept {
    icon_ = icon;
    Sync();
}

void NotifyIconWindow::SetBlinkIcon(HICON icon) noexcept {
    blinkIcon_ = icon;
    Sync();
}

void NotifyIconWindow::SetBlinking(bool blinking) noexcept {
    blinking_ = blinking;
    UpdateBlinkTimer();
    Sync();
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
    Sync();
}

HICON NotifyIconWindow::WantedIcon() const noexcept {
    return blinking_ && blinkPhase_ && blinkIcon_ ? blinkIcon_ : icon_;
}

void NotifyIconWindow::UpdateBlinkTimer() noexcept {
    bool wanted = window_ && blinking_ && visible_;
    if (wanted && !blinkTimerRunning_) {
        blinkTimerRunning_ = SetTimer(window_, kBlinkTimer, kBlinkInterval, nullptr) != 0;
        blinkPhase_ = false;
    } else if (!wanted && blinkTimerRunning_) {
        KillTimer(window_, kBlinkTimer);
        blinkTimerRunning_ = false;
        blinkPhase_ = false;
    }
}

void NotifyIconWindow::Sync() noexcept {
    if (!window_) return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window_;
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
    icon.hWnd = window_;
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
        self->window_ = window;  // messages arrive before CreateWindowEx returns
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

// Each branch raises its event last: a handler may release the control, and with
// it this object, before the event returns.
LRESULT NotifyIconWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCallbackMessage) {
        HandleTrayCallback(LOWORD(lParam));
        return 0;
    }
    if (message == WM_TIMER) {
        HandleTimer(wParam);
        return 0;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // The shell restarted and forgot every icon.
        added_ = false;
        Sync();
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void NotifyIconWindow::HandleTrayCallback(UINT event) {
    switch (event) {
        case WM_MOUSEMOVE:
            GetCursorPos(&lastMove_);
            pointerOver_ = true;
            SetTimer(window_, kLeaveTimer, kLeavePollInterval, nullptr);
            events_.MouseMove(ButtonMask());
            return;
        case WM_LBUTTONDOWN:
            dragged_ = false;
            events_.MouseDown(kLeftButton, ModifierMask());
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
        case WM_LBUTTONUP: {
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
                SetTimer(window_, kClickTimer, GetDoubleClickTime(), nullptr);
            }
            events_.MouseUp(kLeftButton, shift);
            return;
        }
        case WM_MBUTTONUP:
            events_.MouseUp(kMiddleButton, ModifierMask());
            return;
        case WM_RBUTTONUP: {
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
            KillTimer(window_, kClickTimer);
            clickPending_ = false;
            swallowNextUp_ = true;
            events_.DblClick(kLeftButton, ModifierMask());
            return;
        default:
            return;  // NIN_SELECT, WM_CONTEXTMENU and the balloon notices
    }
}

void NotifyIconWindow::HandleTimer(UINT_PTR id) {
    switch (id) {
        case kBlinkTimer:
            blinkPhase_ = !blinkPhase_;
            Sync();
            return;
        case kClickTimer:
            KillTimer(window_, kClickTimer);
            if (!clickPending_) return;
            clickPending_ = false;
            events_.Click(kLeftButton, pendingClickShift_);
            return;
        case kLeaveTimer: {
            if (!PointerGone()) return;
            KillTimer(window_, kLeaveTimer);
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
