#pragma once
// The one platform port: everything the component asks of the operating system.
// The Windows layer implements it on Win32; the native build on in-memory and
// recording fakes.

#include <cstdint>
#include <functional>
#include <string>

#include "core/contracts/MenuItem.h"

namespace qor {

using WindowHandle = std::uintptr_t;
using RegKey = std::uintptr_t;

namespace reg {
// Predefined roots, as their 32-bit values.
inline constexpr RegKey kClassesRoot = 0x80000000u;
inline constexpr RegKey kCurrentUser = 0x80000001u;
inline constexpr RegKey kLocalMachine = 0x80000002u;
inline constexpr RegKey kUsers = 0x80000003u;
inline constexpr RegKey kPerformanceData = 0x80000004u;
inline constexpr RegKey kCurrentConfig = 0x80000005u;
inline constexpr RegKey kDynData = 0x80000006u;

// Status codes (the system's error numbers).
inline constexpr std::int32_t kSuccess = 0;
inline constexpr std::int32_t kFileNotFound = 2;
inline constexpr std::int32_t kAccessDenied = 5;
inline constexpr std::int32_t kInvalidHandle = 6;
inline constexpr std::int32_t kInvalidParameter = 87;
inline constexpr std::int32_t kMoreData = 234;

inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kOptionNonVolatile = 0;

inline constexpr std::uint32_t kTypeNone = 0;
inline constexpr std::uint32_t kTypeString = 1;
inline constexpr std::uint32_t kTypeBinary = 3;
inline constexpr std::uint32_t kTypeDword = 4;
}  // namespace reg

// The ANSI registry functions (RegOpenKeyExA and friends, named without the
// prefixes that <windows.h> turns into macros). An empty value name is the key's
// default value.
class IRegistry {
  public:
    virtual ~IRegistry() = default;
    virtual std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t access,
                                 RegKey& result) = 0;
    // With data == nullptr only the size (and type) is returned. With a buffer too
    // small the call fails with kMoreData and sets *size to what is needed.
    virtual std::int32_t QueryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* size) = 0;
    virtual std::int32_t CreateKey(RegKey root, const std::string& subKey,
                                   const std::string& className, std::uint32_t options,
                                   std::uint32_t access, RegKey& result,
                                   std::uint32_t* disposition) = 0;
    virtual std::int32_t SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                                  const std::uint8_t* data, std::uint32_t size) = 0;
    virtual std::int32_t DeleteValue(RegKey key, const std::string& valueName) = 0;
    virtual std::int32_t DeleteKey(RegKey key, const std::string& subKey) = 0;
    virtual std::int32_t CloseKey(RegKey key) = 0;
};

// Window messages the core handles itself.
inline constexpr std::uint32_t kMsgConfigChanged = 0x446;

// A window procedure in the core's terms: (window, message, wParam, lParam) -> result.
using WndProcFn = std::intptr_t (*)(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t);

// Show mode of a started process: minimized and active.
inline constexpr int kShowMinimized = 2;

class IPlatform : public IRegistry {
  public:
    // --- The form's window and its timer.
    // Creates the hidden top-level window of the tray form with that caption.
    virtual WindowHandle CreateFormWindow(const std::string& caption) = 0;
    virtual void DestroyFormWindow(WindowHandle window) = 0;
    // Starts (or restarts) a periodic timer on the window; onTick runs on the
    // window's thread. Only one timer per window.
    virtual void StartTimer(WindowHandle window, std::uint32_t intervalMs,
                            std::function<void()> onTick) = 0;
    virtual void StopTimer(WindowHandle window) = 0;

    // --- Popup menu: shows the visible items of root's children at the pointer,
    // tracking the right button, `defaultItem` (may be null) in bold. Returns the
    // chosen item or nullptr when the menu was dismissed.
    virtual const MenuItem* TrackPopupMenu(WindowHandle owner, const MenuItem& root,
                                           const MenuItem* defaultItem) = 0;

    // --- Window subclassing: installs newProc and returns the previous procedure.
    virtual std::uintptr_t SubclassWindow(WindowHandle window, WndProcFn newProc) = 0;
    virtual void RestoreWindowProc(WindowHandle window, std::uintptr_t previousProc) = 0;
    virtual std::intptr_t CallPreviousWindowProc(std::uintptr_t previousProc, WindowHandle window,
                                                 std::uint32_t message, std::uintptr_t wParam,
                                                 std::intptr_t lParam) = 0;

    // --- User interaction.
    virtual bool SetForegroundWindow(WindowHandle window) = 0;
    // A modal message box with an OK button and the given title.
    virtual void ShowMessage(const std::string& text, const std::string& title) = 0;
    virtual void Beep() = 0;
    virtual bool ClipboardHasText() = 0;
    virtual std::string ClipboardText() = 0;

    // --- Other programs.
    // A top-level window with exactly that title (any class); 0 when there is none.
    virtual WindowHandle FindWindowByTitle(const std::string& title) = 0;
    // Runs a command line; returns 0 on success, else the system's error code.
    virtual std::uint32_t StartProcess(const std::string& commandLine, int showMode) = 0;

    // --- Diagnostics and the component's own file.
    virtual void DebugOutput(const std::string& text) = 0;
    // Folder that holds the component's own file, without a trailing separator.
    virtual std::string ModuleFolder() = 0;
};

}  // namespace qor
