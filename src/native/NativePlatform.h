#pragma once
// The platform port without an operating system: an in-memory registry and a
// recording stand-in for windows, timers, popup menus, clipboard, processes and the
// debugger output. Tests and the simulator drive it (fire the timer, choose a menu
// item, send a window message) and read back what the component did.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/contracts/Platform.h"
#include "native/MemoryRegistry.h"

namespace qor {

class NativePlatform : public IPlatform {
  public:
    NativePlatform();
    ~NativePlatform() override;
    NativePlatform(const NativePlatform&) = delete;
    NativePlatform& operator=(const NativePlatform&) = delete;

    MemoryRegistry& registry() { return registry_; }

    // --- IRegistry (delegated to registry())
    std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t access,
                         RegKey& result) override;
    std::int32_t QueryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override;
    std::int32_t CreateKey(RegKey root, const std::string& subKey, const std::string& className,
                           std::uint32_t options, std::uint32_t access, RegKey& result,
                           std::uint32_t* disposition) override;
    std::int32_t SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override;
    std::int32_t DeleteValue(RegKey key, const std::string& valueName) override;
    std::int32_t DeleteKey(RegKey key, const std::string& subKey) override;
    std::int32_t CloseKey(RegKey key) override;

    // --- IPlatform
    WindowHandle CreateFormWindow(const std::string& caption) override;
    void DestroyFormWindow(WindowHandle window) override;
    void StartTimer(WindowHandle window, std::uint32_t intervalMs,
                    std::function<void()> onTick) override;
    void StopTimer(WindowHandle window) override;
    const MenuItem* TrackPopupMenu(WindowHandle owner, const MenuItem& root,
                                   const MenuItem* defaultItem) override;
    std::uintptr_t SubclassWindow(WindowHandle window, WndProcFn newProc) override;
    void RestoreWindowProc(WindowHandle window, std::uintptr_t previousProc) override;
    std::intptr_t CallPreviousWindowProc(std::uintptr_t previousProc, WindowHandle window,
                                         std::uint32_t message, std::uintptr_t wParam,
                                         std::intptr_t lParam) override;
    bool SetForegroundWindow(WindowHandle window) override;
    void ShowMessage(const std::string& text, const std::string& title) override;
    void Beep() override;
    bool ClipboardHasText() override;
    std::string ClipboardText() override;
    WindowHandle FindWindowByTitle(const std::string& title) override;
    std::uint32_t StartProcess(const std::string& commandLine, int showMode) override;
    void DebugOutput(const std::string& text) override;
    std::string ModuleFolder() override;

    // --- Recordings
    std::vector<std::string> debugLines;
    std::vector<std::string> messageBoxes;
    std::vector<std::string> messageBoxTitles;  // one per message box
    int beeps = 0;
    std::vector<WindowHandle> foregroundCalls;
    struct StartedProcess {
        std::string commandLine;
        int showMode;
    };
    std::vector<StartedProcess> processes;
    std::vector<StartedProcess> failedProcessStarts;

    // --- Clipboard
    void SetClipboardText(std::string text);
    void ClearClipboard();  // no text at all
    int clipboardReads = 0;

    // --- Windows. Lookup by title ignores letter case, as the real one does; with
    // several windows of one title the newest wins.
    WindowHandle AddTopLevelWindow(const std::string& title);
    void RemoveTopLevelWindow(WindowHandle window);
    std::size_t LiveWindowCount() const { return windows_.size(); }
    bool WindowExists(WindowHandle window) const { return windows_.count(window) != 0; }

    // --- Processes: a command line starts only a registered program.
    void AddProgram(const std::string& path);

    // --- Timer
    bool TimerRunning(WindowHandle window) const { return timers_.count(window) != 0; }
    std::uint32_t TimerInterval(WindowHandle window) const;
    int timerStarts = 0;
    // Runs the timer callback of that window once; window 0 means the only running
    // timer. False when no such timer runs (or 0 is ambiguous).
    bool FireTimer(WindowHandle window = 0);

    // --- Popup menu. onPopup runs while the menu is "open" and returns the item
    // chosen (nullptr: dismissed). Unset: every menu is dismissed.
    std::function<const MenuItem*(const MenuItem& root, const MenuItem* defaultItem)> onPopup;
    struct PopupShown {
        std::vector<std::string> visibleItems;  // "mnuDial", "mnuAppSession(0)"...
        std::string defaultItem;                // same form; empty when none
    };
    std::vector<PopupShown> popups;
    static std::string ItemName(const MenuItem& item);  // name, "(index)" for array elements

    // --- Window procedures. Every window starts with an original procedure that
    // records what it receives and answers 0.
    struct Message {
        WindowHandle w;
        std::uint32_t msg;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    std::vector<Message> receivedByOriginal;
    std::intptr_t SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam);
    bool IsSubclassed(WindowHandle window) const;

    std::string moduleFolder = "C:\\Program Files\\Norvane\\5521\\Client";

  private:
    struct Window {
        std::string title;
        std::uintptr_t proc;  // a token: an original procedure or a WndProcFn
    };
    struct Timer {
        std::uint32_t interval;
        std::function<void()> onTick;
    };
    std::intptr_t CallProc(std::uintptr_t proc, WindowHandle window, std::uint32_t message,
                           std::uintptr_t wParam, std::intptr_t lParam);
    WindowHandle NewWindow(const std::string& title);

    MemoryRegistry registry_;
    std::optional<std::string> clipboard_;
    std::map<WindowHandle, Window> windows_;
    std::map<std::uintptr_t, WindowHandle> originalProcs_;  // token -> its window
    std::map<WindowHandle, Timer> timers_;
    std::set<std::string> programs_;  // upper case
    WindowHandle nextWindow_ = 0x10010;
    std::uintptr_t nextOriginalToken_ = 0x7FFF0001;
};

}  // namespace qor
