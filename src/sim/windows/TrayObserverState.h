#pragma once
// What the tray observer's three parts share: the state of the watched control
// (observing, TrayObserver.cpp), and the shell's icons (reading pictures,
// TrayPictures.cpp; playing gestures, TrayGestures.cpp).

#include <windows.h>

#include <oaidl.h>

#include <vector>

#include "sim/windows/TrayObserver.h"
#include "windows/com/ComPtr.h"
#include "windows/com/EventSink.h"

namespace qor::sim::win {

using EventList = std::vector<TrayEvent>;

// The icon windows of Wine's notification area, oldest first.
std::vector<HWND> ShellIcons();

// The observer's state, shared with the factory (which COM may keep a little
// longer) and the event handler (which the control keeps while it lives).
struct TrayObserver::State {
    com::ComPtr<IClassFactory> realFactory;
    // The control is the DLL's: holding it would keep its icon in the tray after
    // the DLL let it go. The connection holds nothing of it, and `control` is
    // valid only while the connection's source is alive.
    com::Connection connection;
    IUnknown* control = nullptr;
    std::vector<HWND> iconsBefore;  // the shell's icons when the control was created
    EventList events;
    // A drag under way: the data object the control offers and its allowed
    // effects, which the component's handler fills after we have been told.
    com::ComPtr<IDispatch> dragData;
    const LONG* dragAllowed = nullptr;
    std::vector<DragView> drags;

    bool Alive() const noexcept { return control && connection.SourceAlive(); }
    void Observe(IUnknown* object, const std::shared_ptr<State>& self);
    void Heard(DISPID id, com::EventArgs& args);
    // The drag has ended: what the component put into it. The control's drag is
    // still on its stack, so the allowed effects can still be read.
    void RecordDrag();
    void Forget() noexcept {
        connection.Disconnect();
        control = nullptr;
    }
};

}  // namespace qor::sim::win
