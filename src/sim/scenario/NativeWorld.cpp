#include "sim/scenario/NativeWorld.h"

#include <functional>

#include "core/tray/frmMain.h"

namespace qor::sim {

// ---- NativeLink

NativeLink::~NativeLink() {
    subscription_.Reset();
}

Launcher& NativeLink::Require() {
    if (!launcher_) throw std::logic_error("no Launcher");
    return *launcher_;
}

void NativeLink::CreateLauncher(IMenuEvents& handler) {
    launcher_ = std::make_unique<Launcher>(runtime_);
    menuEvent_ = launcher_->GetMenuEvent();
    if (!menuEvent_) throw std::runtime_error("GetMenuEvent gave no MenuEvent object");
    subscription_ = menuEvent_->Subscribe(handler);
}

void NativeLink::AddSession(const dialer::SessionPtr& session, std::int32_t mode,
                            const std::string& appName) {
    dialer::SessionPtr myNum = session;
    std::int32_t connectMode = mode;
    std::string name = appName;
    Require().addSession(myNum, connectMode, name);
    if (mode == dialer::kConnectModeMain) Require().qorDialSession(myNum);
}

void NativeLink::Start() {
    Require().Start();
}

void NativeLink::SetTooltip(const std::string& message) {
    std::string text = message;
    Require().SetTooltip(text);
}

void NativeLink::ExecuteCommand(const std::string& name, const Variant& args) {
    Require().ExecuteCommand(name, args);
}

bool NativeLink::IsOfflineSelected() {
    return Require().IsOfflineSelected();
}

void NativeLink::Release() {
    subscription_.Reset();
    menuEvent_.reset();
    launcher_.reset();
}

// ---- NativeWorld

namespace {

std::string PictureId(const PicturePtr& picture) {
    return picture ? std::to_string(picture->IconId()) : "none";
}

}  // namespace

NativeWorld::NativeWorld() {
    platform_.onPopup = [this](const MenuItem& root, const MenuItem*) -> const MenuItem* {
        popupOutcome_.shown = true;
        if (popupChoice_.empty()) return nullptr;
        std::function<const MenuItem*(const MenuItem&)> find =
            [&](const MenuItem& parent) -> const MenuItem* {
            for (const auto& child : parent.children) {
                if (!child->visible) continue;
                if (NativePlatform::ItemName(*child) == popupChoice_) return child.get();
                if (auto found = find(*child)) return found;
            }
            return nullptr;
        };
        const MenuItem* chosen = find(root);
        popupOutcome_.found = chosen != nullptr;
        return chosen;
    };
}

NativeWorld::~NativeWorld() {
    platform_.onPopup = nullptr;
    clickToCall_.reset();
    link_.Release();
}

void NativeWorld::SetRegistryString(RegKey root, const std::string& path, const std::string& name,
                                    const std::string& value) {
    platform_.registry().SetString(root, path, name, value);
}

void NativeWorld::SetRegistryDword(RegKey root, const std::string& path, const std::string& name,
                                   std::uint32_t value) {
    platform_.registry().SetDword(root, path, name, value);
}

void NativeWorld::DeleteRegistryValue(RegKey root, const std::string& path,
                                      const std::string& name) {
    RegKey key = 0;
    if (platform_.OpenKey(root, path, reg::kKeyAllAccess, key) == reg::kSuccess) {
        platform_.DeleteValue(key, name);
        platform_.CloseKey(key);
    }
}

void NativeWorld::OpenWindow(const std::string& title) {
    if (!platform_.FindWindowByTitle(title)) platform_.AddTopLevelWindow(title);
}

bool NativeWorld::CloseWindow(const std::string& title) {
    const auto window = platform_.FindWindowByTitle(title);
    if (!window) return false;
    platform_.RemoveTopLevelWindow(window);
    return true;
}

bool NativeWorld::WindowOpen(const std::string& title) {
    return platform_.FindWindowByTitle(title) != 0;
}

bool NativeWorld::HasTray() {
    return components_.trayIcon != nullptr;
}

FakeTrayIcon& NativeWorld::TrayControl() {
    if (!components_.trayIcon) throw std::logic_error("no tray icon control");
    return *components_.trayIcon;
}

TrayView NativeWorld::Tray() {
    TrayView view;
    if (!components_.trayIcon) return view;
    const auto& item = components_.trayIcon->item();
    view.visible = item.visible;
    view.icon = PictureId(item.icon);
    view.blinkIcon = PictureId(item.blinkIcon);
    view.blinking = item.blinking;
    view.toolTip = item.toolTip;
    view.dialCaption = item.dialCaption;
    view.shortCut = item.shortCut;
    view.shortCutActive = item.shortCutActive;
    return view;
}

FakeTrayIcon& NativeWorld::ShownIcon() {
    auto& tray = TrayControl();
    if (!tray.item().visible)
        throw std::runtime_error("The tray icon control shows no icon in the notification area");
    return tray;
}

// The gestures send the control what the shell would report of them; the control
// raises its events by its own rules. A release's Click waits for the double-click
// time, which passes before the gesture ends.

void NativeWorld::TrayMove() {
    ShownIcon().ShellMove();
}

void NativeWorld::TrayLeave() {
    auto& tray = ShownIcon();
    // Only a pointer that was over the icon can leave it.
    if (!tray.PointerOver()) tray.ShellMove();
    tray.ShellLeave();
}

void NativeWorld::TrayPress(std::int16_t button, std::int16_t shift) {
    ShownIcon().ShellButtonDown(button, shift);
}

void NativeWorld::TrayRelease(std::int16_t button, std::int16_t shift) {
    auto& tray = ShownIcon();
    tray.ShellButtonUp(button, shift);
    tray.DoubleClickTimeElapsed();
}

void NativeWorld::TrayClick(std::int16_t button) {
    auto& tray = ShownIcon();
    tray.ShellButtonDown(button);
    tray.ShellButtonUp(button);
    tray.DoubleClickTimeElapsed();
}

void NativeWorld::TrayDoubleClick() {
    // The shell reports the second press as a double click.
    auto& tray = ShownIcon();
    tray.ShellButtonDown(kButtonLeft);
    tray.ShellButtonUp(kButtonLeft);
    tray.ShellDoubleClick();
    tray.ShellButtonUp(kButtonLeft);
    tray.DoubleClickTimeElapsed();
}

void NativeWorld::TrayShortDial(std::int16_t shift) {
    // Without the short dial set up for exactly these keys the right press would
    // open the menu instead: not the gesture that was asked for.
    auto& tray = ShownIcon();
    const auto& item = tray.item();
    if (!item.shortCutActive || item.shortCut != (shift & kShortCutCtrlShift))
        throw std::runtime_error("The tray icon's short dial is not set up for these keys");
    tray.ShellButtonDown(kButtonRight, shift);
    tray.ShellButtonUp(kButtonRight, shift);
}

void NativeWorld::TrayDrag() {
    // Press, two pointer moves while held (the component's drag threshold), release.
    auto& tray = ShownIcon();
    tray.ShellButtonDown(kButtonLeft);
    tray.ShellMove();
    tray.ShellMove();
    tray.ShellButtonUp(kButtonLeft);
    tray.DoubleClickTimeElapsed();
}

PopupOutcome NativeWorld::RightClickPopup(const std::string& choice) {
    popupChoice_ = choice;
    popupOutcome_ = {};
    auto& tray = ShownIcon();
    try {
        tray.ShellButtonDown(kButtonRight);
    } catch (...) {
        popupChoice_.clear();
        throw;
    }
    popupChoice_.clear();
    const auto outcome = popupOutcome_;
    tray.ShellButtonUp(kButtonRight);
    return outcome;
}

FormView NativeWorld::Form() {
    FormView view;
    if (!runtime_.FormExists()) return view;
    auto& form = runtime_.Form();
    view.state = form.CurrentState();
    if (const auto* item = form.DefaultMenuItem())
        view.defaultItem = NativePlatform::ItemName(*item);
    std::function<void(const MenuItem&, int)> walk = [&](const MenuItem& parent, int depth) {
        for (const auto& child : parent.children) {
            view.items.push_back({NativePlatform::ItemName(*child), child->caption, child->tag,
                                  child->visible, child->checked, child->IsSeparator(), depth});
            walk(*child, depth + 1);
        }
    };
    walk(form.MenuRoot(), 0);
    return view;
}

void NativeWorld::SendConfigChanged(std::uintptr_t wParam, std::intptr_t lParam) {
    platform_.SendMessage(runtime_.Form().hWnd(), kMsgConfigChanged, wParam, lParam);
}

ClickToCall& NativeWorld::ClickToCallObject() {
    if (!clickToCall_) clickToCall_ = std::make_unique<ClickToCall>(platform_);
    return *clickToCall_;
}

void NativeWorld::NewClickToCall() {
    clickToCall_ = std::make_unique<ClickToCall>(platform_);
}

void NativeWorld::CallEdn(const std::string& edn, const std::string& firstName,
                          const std::string& lastName) {
    ClickToCallObject().CallEdn(edn, firstName, lastName);
}

Recordings NativeWorld::Recorded() {
    Recordings r;
    r.messageBoxes = platform_.messageBoxes;
    r.beeps = platform_.beeps;
    for (const auto& p : platform_.processes) r.processes.push_back({p.commandLine, p.showMode});
    r.debugLines = platform_.debugLines;
    if (components_.logWriter)
        for (const auto& line : components_.logWriter->lines) r.logLines.push_back(line.text);
    for (const auto& p : platform_.popups) r.popups.push_back({p.visibleItems, p.defaultItem});
    const auto form = runtime_.FormExists() ? runtime_.Form().hWnd() : 0;
    for (const auto w : platform_.foregroundCalls)
        if (form && w == form) ++r.formForegroundCalls;
    if (components_.trayIcon)
        for (const auto& d : components_.trayIcon->item().drags)
            if (d.started) r.drags.push_back({d.text, d.format, d.allowedEffects});
    return r;
}

}  // namespace qor::sim
