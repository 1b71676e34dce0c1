#pragma once
// The core's platform port on Win32: the ANSI registry functions, the tray form's
// hidden window with its timer, the popup menu, window subclassing, message box,
// beep, clipboard, process start and the debugger output.

#include <windows.h>

#include <functional>
#include <map>

#include "core/contracts/Platform.h"
#include "windows/com/Owners.h"

namespace qor::win {

class Win32Platform final : public IPlatform {
  public:
    // `module` is the DLL (or program) whose folder ModuleFolder answers and that
    // owns the form's window class.
    explicit Win32Platform(HMODULE module);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // IRegistry
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

    // IPlatform
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

    // The live form windows, for DllCanUnloadNow and leak checks.
    std::size_t WindowCount() const noexcept { return forms_.size(); }
    // Unregisters the form's window class once no form window is left (the module
    // is about to be unloaded); the next CreateFormWindow registers it again.
    void ReleaseWindowClass() noexcept;

  private:
    static LRESULT CALLBACK FormWndProc(HWND, UINT, WPARAM, LPARAM) noexcept;
    static LRESULT CALLBACK SubclassTrampoline(HWND, UINT, WPARAM, LPARAM) noexcept;

    HMODULE module_;
    ATOM windowClass_ = 0;
    // The form windows this port created, each owned, with its timer's tick
    // handler (empty while the timer is stopped).
    struct FormWindow {
        com::UniqueHwnd window;
        std::function<void()> onTick;
    };
    std::map<HWND, FormWindow> forms_;
};

}  // namespace qor::win
