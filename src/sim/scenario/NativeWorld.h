#pragma once
// The scenario world of the native build: the portable core in this process, with
// the recording platform port and stand-ins for every outside part. Every
// observable is read straight from the recordings; nothing runs by itself.

#include <memory>
#include <string>

#include "core/clicktocall/ClickToCall.h"
#include "core/host/Launcher.h"
#include "core/host/MenuEvent.h"
#include "core/host/Runtime.h"
#include "native/FakeComponents.h"
#include "native/NativePlatform.h"
#include "sim/scenario/World.h"

namespace qor::sim {

// The client's link to the core's Launcher in this process.
class NativeLink final : public IComponentLink {
  public:
    explicit NativeLink(Runtime& runtime) : runtime_(runtime) {}
    ~NativeLink() override;
    void CreateLauncher(IMenuEvents& handler) override;
    void AddSession(const dialer::SessionPtr& session, std::int32_t mode,
                    const std::string& appName) override;
    void Start() override;
    void SetTooltip(const std::string& message) override;
    void ExecuteCommand(const std::string& name, const Variant& args) override;
    bool IsOfflineSelected() override;
    void Release() override;
    bool HasLauncher() const override { return launcher_ != nullptr; }

  private:
    Launcher& Require();
    Runtime& runtime_;
    std::unique_ptr<Launcher> launcher_;
    MenuEventPtr menuEvent_;
    Subscription subscription_;
};

class NativeWorld final : public World {
  public:
    NativeWorld();
    ~NativeWorld() override;
    const char* Name() const override { return "native"; }
    IComponentLink& Link() override { return link_; }

    void SetRegistryString(RegKey root, const std::string& path, const std::string& name,
                           const std::string& value) override;
    void SetRegistryDword(RegKey root, const std::string& path, const std::string& name,
                          std::uint32_t value) override;
    void DeleteRegistryValue(RegKey root, const std::string& path,
                             const std::string& name) override;
    void SetClipboard(const std::string& text) override { platform_.SetClipboardText(text); }
    void ClearClipboard() override { platform_.ClearClipboard(); }
    void OpenWindow(const std::string& title) override;
    bool CloseWindow(const std::string& title) override;
    bool WindowOpen(const std::string& title) override;
    void AddProgram(const std::string& path) override { platform_.AddProgram(path); }

    bool HasTray() override;
    TrayView Tray() override;
    void TrayMove() override;
    void TrayLeave() override;
    void TrayPress(std::int16_t button, std::int16_t shift) override;
    void TrayRelease(std::int16_t button, std::int16_t shift) override;
    void TrayClick(std::int16_t button) override;
    void TrayDoubleClick() override;
    void TrayShortDial(std::int16_t shift) override;
    void TrayDrag() override;
    PopupOutcome RightClickPopup(const std::string& choice) override;

    bool HasForm() override { return runtime_.FormExists(); }
    FormView Form() override;
    void Tick() override { platform_.FireTimer(); }
    void SendConfigChanged(std::uintptr_t wParam, std::intptr_t lParam) override;

    void NewClickToCall() override;
    void CallEdn(const std::string& edn, const std::string& firstName,
                 const std::string& lastName) override;
    bool AppRunning() override { return ClickToCallObject().AppRunning(); }
    bool AppConnected() override { return ClickToCallObject().AppConnected(); }
    std::string AppEdn() override { return ClickToCallObject().AppEdn(); }
    std::int16_t AppConnectivity() override { return ClickToCallObject().AppConnectivity(); }

    Recordings Recorded() override;

  private:
    FakeTrayIcon& TrayControl();
    // The control of an icon the shell shows: the user can reach no other.
    FakeTrayIcon& ShownIcon();
    ClickToCall& ClickToCallObject();

    NativePlatform platform_;
    FakeOutsideComponents components_;
    Runtime runtime_{platform_, components_};
    NativeLink link_{runtime_};
    std::unique_ptr<ClickToCall> clickToCall_;
    // The popup is modal: the scenario's choice is answered while it is open.
    std::string popupChoice_;
    PopupOutcome popupOutcome_;
};

}  // namespace qor::sim
