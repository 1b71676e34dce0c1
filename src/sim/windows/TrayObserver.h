#pragma once
// Watches the real tray icon control that qorIcon.dll creates and plays a user's
// gestures on the shell's icon of it. The control is created by the DLL through
// COM; this process registers a class factory of its own for the control's class
// that creates the real control through the real factory and hands the very same
// object back, so the DLL talks to the real control and the observer learns which
// one it is. It then reads the control's item like any client would and listens to
// its events, and makes gestures the way the user would: on the icon window in
// Wine's notification area, whose shell turns them into the control's callbacks.

#include <windows.h>

#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "sim/scenario/World.h"
#include "trayicon.h"  // the control's event ids

namespace qor::sim::win {

// One event the control raised, with its first two arguments after the index
// (MouseMove: value; button events: button, shift; ShortCutClick: shift).
struct TrayEvent {
    DISPID id = 0;
    std::int32_t first = 0;
    std::int32_t second = 0;
};

class TrayObserver {
  public:
    // `pump(ms)` runs the caller's message loop for about ms milliseconds; every
    // wait goes through it. Throws std::runtime_error when the control's class is
    // not registered or its factory cannot be taken over.
    explicit TrayObserver(std::function<void(DWORD ms)> pump);
    ~TrayObserver();
    TrayObserver(const TrayObserver&) = delete;
    TrayObserver& operator=(const TrayObserver&) = delete;

    // True while the last control created is alive (someone besides us holds it).
    bool Exists() const;
    // Item 1 of the control as it is now; a default view when there is no control.
    TrayView View();

    // Gestures on the shell's icon. Each waits (through the pump) until the control
    // reported what the gesture makes it report, and throws std::runtime_error when
    // that does not happen within a few seconds.
    void Move();   // the pointer comes onto the icon: MouseMove
    void Leave();  // the pointer leaves it: MouseMove -1
    void Press(short button, short shift = 0);
    void Release(short button, short shift = 0);
    void Click(short button);  // press, release, and for the left button the delayed Click
    void DoubleClick();
    void RightPress();  // returns once MouseDown(2) was reported
    void ShortDial(short shift);
    void Drag();  // press, two moves while held, release

    // Everything the current control raised since it was created (or since the last
    // ClearEvents), oldest first.
    const std::vector<TrayEvent>& Events() const;
    // Every drag the control ran, with what the component offered in it.
    std::vector<DragView> Drags() const;
    void ClearEvents();

    // The shell's icon window of our control, or null when the shell shows none.
    HWND ShellIcon();
    // A 24-bit BMP of Wine's notification-area window as it is on screen.
    bool SaveScreenshot(const std::string& bmpPath);

    struct State;  // shared with the factory and the event sink

  private:
    HWND RequireShellIcon();
    // Posts `message` to the icon and waits until `done` holds for the events raised
    // from then on.
    void Gesture(std::initializer_list<UINT> messages,
                 const std::function<bool(const std::vector<TrayEvent>&)>& done, const char* what);
    bool WaitUntil(std::size_t from, const std::function<bool(const std::vector<TrayEvent>&)>& done,
                   ULONGLONG timeoutMs);
    void WaitFor(std::size_t from, const std::function<bool(const std::vector<TrayEvent>&)>& done,
                 const char* what);
    std::string IconIdOf(IDispatch* picture);
    // Whether the control takes a right press with these keys for the short dial.
    bool ShortCutSwallows(short button, short shift);

    std::function<void(DWORD)> pump_;
    std::shared_ptr<State> state_;
    CLSID clsid_{};
    DWORD registration_ = 0;
    // Whether the control takes the pointer for over its icon, and where the pointer
    // was at the last move it saw.
    bool pointerOver_ = false;
    POINT lastMove_{};
    // The icon library's own pictures by id, as pixels; taken on first use.
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> library_;
    bool libraryLoaded_ = false;
};

}  // namespace qor::sim::win
