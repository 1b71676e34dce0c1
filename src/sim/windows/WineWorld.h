#pragma once
// The scenario world under Wine: the real qorIcon.dll, loaded in this process
// through COM, with the real tray icon control in Wine's notification area and
// the real registry, clipboard and windows. The simulated phone objects are
// served to the DLL over automation (DialerExport), the client reaches it through
// COM (ComLink), gestures are made on the shell's icon (TrayObserver), and what
// would be modal (message boxes, the popup menu) or leave the process (started
// programs) is answered and recorded without being shown (Recorder). The form's
// state and menu come from the DLL's read-only diagnostic export.
//
// The form's timer is the one thing held back: its ticks are scenario steps, so
// the message loop here drops the form's timer messages except during Tick().

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/scenario/World.h"
#include "sim/windows/ComLink.h"
#include "sim/windows/Recorder.h"
#include "sim/windows/TrayObserver.h"
#include "windows/com/ComPtr.h"
#include "windows/com/Owners.h"

namespace qor::sim::win {

class WineWorld final : public World {
  public:
    // Starts from a clean slate: the client's settings, the install path and the
    // component's log are removed, the clipboard emptied. COM must be initialised
    // (single-threaded apartment) on the calling thread.
    WineWorld();
    ~WineWorld() override;
    const char* Name() const override { return "wine"; }
    IComponentLink& Link() override { return link_; }

    void SetRegistryString(RegKey root, const std::string& path, const std::string& name,
                           const std::string& value) override;
    void SetRegistryDword(RegKey root, const std::string& path, const std::string& name,
                          std::uint32_t value) override;
    void DeleteRegistryValue(RegKey root, const std::string& path,
                             const std::string& name) override;
    void SetClipboard(const std::string& text) override;
    void ClearClipboard() override;
    void OpenWindow(const std::string& title) override;
    bool CloseWindow(const std::string& title) override;
    bool WindowOpen(const std::string& title) override;
    void AddProgram(const std::string& path) override;

    bool HasTray() override { return tray_->Exists(); }
    TrayView Tray() override { return tray_->View(); }
    void TrayMove() override;
    void TrayLeave() override;
    void TrayPress(std::int16_t button, std::int16_t shift) override;
    void TrayRelease(std::int16_t button, std::int16_t shift) override;
    void TrayClick(std::int16_t button) override;
    void TrayDoubleClick() override;
    void TrayShortDial(std::int16_t shift) override;
    void TrayDrag() override;
    PopupOutcome RightClickPopup(const std::string& choice) override;

    bool HasForm() override;
    FormView Form() override;
    void Tick() override;
    void SendConfigChanged(std::uintptr_t wParam, std::intptr_t lParam) override;

    void NewClickToCall() override;
    void CallEdn(const std::string& edn, const std::string& firstName,
                 const std::string& lastName) override;
    bool AppRunning() override;
    bool AppConnected() override;
    std::string AppEdn() override;
    std::int16_t AppConnectivity() override;

    Recordings Recorded() override;
    bool Settle() override;

    // A picture of the notification area as it is now (a 24-bit BMP).
    bool SaveScreenshot(const std::string& bmpPath) { return tray_->SaveScreenshot(bmpPath); }

  private:
    // Dispatches this thread's messages for about `ms` milliseconds; true when
    // anything but a timer or paint message was dispatched.
    bool Pump(DWORD ms);
    HWND FormWindow() const;
    IDispatch& ClickToCallObject();
    UINT AnswerPopup(const std::vector<PopupEntry>& entries);

    com::ComPtr<IClassFactory> launcherFactory_;  // keeps qorIcon.dll loaded
    HMODULE dll_ = nullptr;
    std::unique_ptr<Recorder> recorder_;
    std::unique_ptr<TrayObserver> tray_;
    ComLink link_;
    com::ComPtr<IDispatch> clickToCall_;
    std::vector<com::UniqueHwnd> windows_;  // opened by the scenario
    std::vector<std::string> programs_;     // program files the scenario put in place
    std::string logPath_;
    std::vector<PopupView> popups_;
    std::string popupChoice_;
    bool popupFound_ = false;
    bool tickWanted_ = false;
    bool ticked_ = false;
};

}  // namespace qor::sim::win
