#pragma once
// Recording stand-ins for what a loaded module does to the world outside it: message
// boxes, beeps, popup menus, started programs, the foreground window, and the
// debugger output of the whole process. A scenario must read these back without a
// modal message box or menu loop blocking the runner, so the module's own imports
// are redirected to recorders (its import address table is patched; nothing else in
// the process is affected) and put back when the Recorder goes.
//
// One Recorder per process at a time: the stand-ins are plain functions that reach
// it through a static pointer. They run on the thread that calls the module;
// debugger output may come from any thread and is appended under a lock, so read
// debugLines when no other thread is writing to the debugger.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/scenario/World.h"

namespace qor::sim::win {

// One entry of a popup menu as the module built it.
struct PopupEntry {
    std::string caption;
    bool separator = false;
    bool checked = false;
    bool grayed = false;
    bool isDefault = false;
    UINT id = 0;  // 0 for separators and submenus
    std::vector<PopupEntry> children;
};

class Recorder {
  public:
    // Patches `module`'s imports; throws std::logic_error when another Recorder lives.
    explicit Recorder(HMODULE module);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Whether the module imports `function` (e.g. "TrackPopupMenu") and it now
    // goes to its recorder.
    bool Patched(const char* function) const;

    std::vector<std::string> messageBoxes;  // the texts; each is answered IDOK
    int beeps = 0;
    std::vector<ProcessView> processes;  // started programs; none really starts
    std::vector<std::string> debugLines;
    std::vector<std::vector<PopupEntry>> popups;  // each popup's top-level entries
    std::vector<HWND> foregroundCalls;
    // Answers a popup: the command id of the chosen entry, 0 to dismiss it. Without
    // a chooser every popup is dismissed.
    std::function<UINT(const std::vector<PopupEntry>&)> onPopup;

  private:
    struct Patch {
        const char* function;
        void** slot;
        void* original;
    };

    void* Original(const char* function) const;
    UINT ChoosePopup(HMENU menu) noexcept;
    static BOOL Track(HMENU menu, UINT flags, HWND owner) noexcept;
    void AddDebugText(const char* text, std::size_t length) noexcept;

    static int WINAPI MessageBoxStandIn(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
    static BOOL WINAPI MessageBeepStandIn(UINT type);
    static BOOL WINAPI TrackPopupMenuStandIn(HMENU menu, UINT flags, int x, int y, int reserved,
                                             HWND owner, const RECT* rect);
    static BOOL WINAPI TrackPopupMenuExStandIn(HMENU menu, UINT flags, int x, int y, HWND owner,
                                               LPTPMPARAMS params);
    static BOOL WINAPI CreateProcessStandIn(LPCSTR application, LPSTR commandLine,
                                            LPSECURITY_ATTRIBUTES processAttributes,
                                            LPSECURITY_ATTRIBUTES threadAttributes,
                                            BOOL inheritHandles, DWORD creationFlags,
                                            LPVOID environment, LPCSTR currentDirectory,
                                            LPSTARTUPINFOA startupInfo,
                                            LPPROCESS_INFORMATION processInformation);
    static BOOL WINAPI SetForegroundWindowStandIn(HWND window);
    static LONG CALLBACK CollectDebugOutput(EXCEPTION_POINTERS* info);

    static inline Recorder* instance_ = nullptr;

    HMODULE module_ = nullptr;  // held: the patched table must outlive the Recorder
    std::vector<Patch> patches_;
    PVOID debugHandler_ = nullptr;
    // The toolchain's threads are Win32 ones, without std::mutex.
    SRWLOCK debugLock_ = SRWLOCK_INIT;
};

}  // namespace qor::sim::win
