#pragma once
// The outside of the component as a scenario sees it: everything a scenario can
// do to the component's surroundings (settings, clipboard, windows, tray gestures,
// the form's timer and messages, ClickToCall) and everything it can read back (the
// tray icon, the form's menu, the recordings). Natively the world is the core
// with the recording port and stand-in parts; under Wine it is the real
// qorIcon.dll with the real tray control in the real notification area. The
// phone system and the client's behaviour are shared by both.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/contracts/Platform.h"
#include "sim/client/ComponentLink.h"

namespace qor::sim {

// What the tray icon control holds.
struct TrayView {
    bool visible = false;
    std::string icon = "none";  // the icon's id as text, or "none"
    std::string blinkIcon = "none";
    bool blinking = false;
    std::string toolTip;
    std::string dialCaption;
    std::int16_t shortCut = 0;
    bool shortCutActive = false;
};

// One item of the form's menu model.
struct MenuEntryView {
    std::string name;  // "mnuDial", an array element as "mnuAppSession(0)"
    std::string caption;
    std::string tag;
    bool visible = false;
    bool checked = false;
    bool separator = false;
    int depth = 0;  // 0: a child of the menu's root
};

struct FormView {
    std::int32_t state = -1;
    std::vector<MenuEntryView> items;  // the whole menu tree, depth first
    std::string defaultItem = "none";  // name of the default item
};

// A popup menu as it was shown: the names of its top-level entries in order
// (separators included) and the default one ("" when none).
struct PopupView {
    std::vector<std::string> visibleItems;
    std::string defaultItem;
};

struct ProcessView {
    std::string commandLine;
    int showMode = 0;
};

struct DragView {
    std::string text;
    std::int16_t format = 0;
    std::int32_t allowedEffects = 0;
};

// Everything the world recorded, oldest first. Expectations consume from these.
struct Recordings {
    std::vector<std::string> messageBoxes;
    int beeps = 0;
    std::vector<ProcessView> processes;
    std::vector<std::string> debugLines;
    std::vector<std::string> logLines;  // what the logging component was handed
    std::vector<PopupView> popups;
    std::size_t formForegroundCalls = 0;  // times the form's window was brought forward
    std::vector<DragView> drags;
};

// What happened to a popup: whether the right press opened one, and whether the
// wanted item was in it.
struct PopupOutcome {
    bool shown = false;
    bool found = false;
};

// A step that this world cannot play (a gesture it cannot make); the scenario
// stops with the message and, if it should run here, must say why it cannot.
class UnsupportedStep : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class World {
  public:
    virtual ~World() = default;
    virtual const char* Name() const = 0;  // "native" or "wine"

    // The client's way into the component.
    virtual IComponentLink& Link() = 0;

    // --- Settings and the desktop.
    virtual void SetRegistryString(RegKey root, const std::string& path, const std::string& name,
                                   const std::string& value) = 0;
    virtual void SetRegistryDword(RegKey root, const std::string& path, const std::string& name,
                                  std::uint32_t value) = 0;
    virtual void DeleteRegistryValue(RegKey root, const std::string& path,
                                     const std::string& name) = 0;
    virtual void SetClipboard(const std::string& text) = 0;
    virtual void ClearClipboard() = 0;
    virtual void OpenWindow(const std::string& title) = 0;
    virtual bool CloseWindow(const std::string& title) = 0;  // false: none is open
    virtual bool WindowOpen(const std::string& title) = 0;
    virtual void AddProgram(const std::string& path) = 0;  // a program file at that path

    // --- The tray icon. Gestures throw UnsupportedStep where the world cannot
    // make them.
    virtual bool HasTray() = 0;
    virtual TrayView Tray() = 0;
    // Each gesture is what a user does on the icon; the control turns it into its
    // events by its own rules, and a gesture ends once the control has raised all
    // it raises for it (a release's delayed Click included).
    virtual void TrayMove() = 0;
    virtual void TrayLeave() = 0;  // onto the icon first when the pointer is elsewhere
    virtual void TrayPress(std::int16_t button, std::int16_t shift) = 0;
    virtual void TrayRelease(std::int16_t button, std::int16_t shift) = 0;
    virtual void TrayClick(std::int16_t button) = 0;  // press and release
    virtual void TrayDoubleClick() = 0;
    virtual void TrayShortDial(std::int16_t shift) = 0;  // throws unless set up for those keys
    virtual void TrayDrag() = 0;                         // press, two moves while held, release
    // A right press on the icon; the popup it opens is answered by choosing the
    // item named `choice` (empty: dismissed); then the right release.
    virtual PopupOutcome RightClickPopup(const std::string& choice) = 0;

    // --- The tray form.
    virtual bool HasForm() = 0;
    virtual FormView Form() = 0;
    virtual void Tick() = 0;  // one tick of the form's timer; nothing when it does not run
    virtual void SendConfigChanged(std::uintptr_t wParam, std::intptr_t lParam) = 0;

    // --- ClickToCall, as a web page's script uses it. The first use creates it.
    virtual void NewClickToCall() = 0;
    virtual void CallEdn(const std::string& edn, const std::string& firstName,
                         const std::string& lastName) = 0;
    virtual bool AppRunning() = 0;
    virtual bool AppConnected() = 0;
    virtual std::string AppEdn() = 0;
    virtual std::int16_t AppConnectivity() = 0;

    virtual Recordings Recorded() = 0;

    // Lets whatever the last step set going run (a message loop's worth); true
    // when anything was dispatched. Natively nothing runs by itself.
    virtual bool Settle() { return false; }
};

}  // namespace qor::sim
