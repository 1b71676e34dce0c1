#pragma once
// The Win32 side of the tray icon control: one notification-area icon owned by a
// hidden top-level window of its own. It keeps what the shell was last told and
// sends only what changed, all the changes of one presentation in one call, blinks
// on a timer that runs only while blinking, shows its pictures at the size the
// notification area wants at the window's DPI, and turns the shell's version-4
// callbacks, from the mouse and from the keyboard, into the control's mouse events.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "windows/com/Owners.h"
#include "windows/trayicon/TrayPicture.h"

namespace qor::tray {

// Buttons and modifier bits as the control's events report them.
inline constexpr short kLeftButton = 1;
inline constexpr short kRightButton = 2;
inline constexpr short kMiddleButton = 4;
inline constexpr short kShiftMask = 1;
inline constexpr short kCtrlMask = 2;
inline constexpr short kAltMask = 4;

// Value of MouseMove once the pointer has left the icon.
inline constexpr long kPointerLeft = -1;

class INotifyIconEvents {
  public:
    virtual void MouseMove(long value) = 0;
    virtual void MouseDown(short button, short shift) = 0;
    virtual void MouseUp(short button, short shift) = 0;
    virtual void Click(short button, short shift) = 0;
    virtual void DblClick(short button, short shift) = 0;
    virtual void ShortCutClick(short shift) = 0;

  protected:
    ~INotifyIconEvents() = default;
};

// The tooltip buffer of the shell: 127 characters and the terminator.
inline constexpr size_t kToolTipCapacity = 128;

// Copies at most 127 UTF-16 units and never ends on the first half of a surrogate
// pair; returns the number of units copied (the buffer is always terminated).
size_t CutToolTip(std::wstring_view text, wchar_t (&buffer)[kToolTipCapacity]) noexcept;

class NotifyIconWindow {
  public:
    explicit NotifyIconWindow(INotifyIconEvents& events) noexcept : events_(events) {}
    ~NotifyIconWindow();
    NotifyIconWindow(const NotifyIconWindow&) = delete;
    NotifyIconWindow& operator=(const NotifyIconWindow&) = delete;

    HRESULT Create(HINSTANCE instance) noexcept;

    // Each setter updates the wanted state. What the shell shows of it (picture,
    // tooltip) is sent once for all the changes made in one go: when the thread
    // next takes a message, or at Flush. Showing and hiding the icon happen at once,
    // with everything changed so far.
    void SetIcon(TrayPicture icon) noexcept;
    void SetBlinkIcon(TrayPicture icon) noexcept;
    void SetBlinking(bool blinking) noexcept;
    void SetVisible(bool visible) noexcept;
    void SetToolTip(std::wstring_view text) noexcept;
    // Tells the shell now what it has not heard yet (a property is being read back).
    void Flush() noexcept;
    void SetShortCut(short modifiers) noexcept { shortCut_ = modifiers; }
    void SetShortCutActive(bool active) noexcept { shortCutActive_ = active; }
    // A drag started from the icon: the release that ends the press is no click.
    void DragStarted() noexcept { dragged_ = true; }

    bool Visible() const noexcept { return visible_; }
    bool Blinking() const noexcept { return blinking_; }
    short ShortCut() const noexcept { return shortCut_; }
    bool ShortCutActive() const noexcept { return shortCutActive_; }
    HWND Window() const noexcept { return window_.Get(); }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void HandleTrayCallback(UINT event, WPARAM anchor);
    void HandleTimer(UINT_PTR id);
    void LeftPress(bool fromKeys);
    void LeftRelease();
    void KeySelect();
    void KeyMenu(POINT anchor);
    void ReturnFocus() noexcept;
    void ChooseIconSize(UINT dpi) noexcept;
    void Replace(TrayPicture& slot, TrayPicture picture) noexcept;
    void Changed() noexcept;
    void Sync() noexcept;
    void UpdateBlinkTimer() noexcept;
    HICON WantedIcon() noexcept;
    bool ShortCutHeld() const noexcept;
    bool PointerGone() const noexcept;

    INotifyIconEvents& events_;
    com::UniqueHwnd window_;
    UINT taskbarCreated_ = 0;

    // What the user of the control asked for.
    TrayPicture icon_;
    TrayPicture blinkIcon_;
    bool visible_ = false;
    bool blinking_ = false;
    std::wstring toolTip_;
    short shortCut_ = kShiftMask;
    bool shortCutActive_ = false;

    // The icon size the notification area wants at the window's DPI.
    int iconSize_ = 0;

    // What the shell was last told.
    bool added_ = false;
    HICON shownIcon_ = nullptr;
    std::wstring shownTip_;
    // Pictures replaced since then: the shell may still show one of their icons.
    std::vector<TrayPicture> retired_;
    bool unsent_ = false;      // changes the shell has not heard of
    bool syncQueued_ = false;  // our message to send them is in the queue

    bool blinkPhase_ = false;  // true while the blink icon is up
    bool blinkTimerRunning_ = false;
    bool clickPending_ = false;
    short pendingClickShift_ = 0;
    bool swallowNextUp_ = false;  // the release that ends a double click
    bool dragged_ = false;        // the left press turned into a drag
    bool shortCutGesture_ = false;
    POINT lastMove_{};
    bool pointerOver_ = false;
    // The shell follows a mouse release with the keyboard's notice (NIN_SELECT after
    // the left one, WM_CONTEXTMENU after the right one): that notice is no second click.
    bool selectFollows_ = false;
    bool menuFollows_ = false;
    bool keyClick_ = false;  // the pending Click came from the keyboard
    struct Watch;
    Watch* watch_ = nullptr;  // the innermost branch raising more than one event
};

}  // namespace qor::tray
