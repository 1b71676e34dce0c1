#pragma once
// The hidden tray form: owner of the tray icon, its popup menu, the timer and the
// references to the client's telephony objects. The procedures keep the names the
// whole team uses for them; each concern lives in its own source file:
//   FormLifecycle.cpp  load, unload, timer tick, design-time controls
//   StateMachine.cpp   RefreshNumState, its table and the extension's entry points
//   Presentations.cpp  the eight presentations (menu side, then tray side)
//   CallTracking.cpp   SetCurrentCall, the calls collection and the current call
//   Menu.cpp           the menu tree and the captions
//   Commands.cpp       the menu commands and their deferred parts
//   Mouse.cpp          tray mouse, popup, clipboard number, drag
//   Sessions.cpp       application sessions and their menus

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/common/Subscription.h"
#include "core/contracts/Dialer.h"
#include "core/contracts/IconLibrary.h"
#include "core/contracts/MenuItem.h"
#include "core/contracts/Platform.h"
#include "core/contracts/Translators.h"
#include "core/contracts/TrayIcon.h"
#include "core/host/MenuEvent.h"
#include "core/tray/NumState.h"

namespace qor {

class Runtime;
namespace testing {
class FormHandlers;
}

// The hidden option, check, combo and label controls: they only carry captions and
// mirror settings. `value` is 1 for a selected option or a checked box, else 0.
struct FormControl {
    std::string name;
    std::string caption;
    std::string text;
    std::int16_t value = 0;
    bool enabled = true;
};

// A reference to a dialer object whose events the form receives. Attaching another
// object (or nothing) detaches the previous one first.
template <class T, class Sink>
class EventRef {
  public:
    explicit EventRef(Sink& sink) : sink_(sink) {}
    void Attach(std::shared_ptr<T> object) {
        subscription_.Reset();
        object_ = std::move(object);
        if (object_) subscription_ = object_->Advise(sink_);
    }
    void Release() { Attach(nullptr); }
    // Hands the reference to `use` as the variable itself, by reference: what `use`
    // leaves there becomes the form's reference (another object is attached,
    // nothing detaches). A change the form made meanwhile stands unless `use`
    // changed the argument too.
    template <class F>
    void Lend(F&& use) {
        const std::shared_ptr<T> before = object_;
        std::shared_ptr<T> value = before;
        use(value);
        if (value != before) Attach(std::move(value));
    }
    const std::shared_ptr<T>& get() const { return object_; }
    T* operator->() const { return object_.get(); }
    explicit operator bool() const { return static_cast<bool>(object_); }

  private:
    Sink& sink_;
    std::shared_ptr<T> object_;
    Subscription subscription_;
};

class frmMain : public ITranslatableForm {
  public:
    static constexpr const char* kCaption = "S-Norvane Dialwise";
    static constexpr std::uint32_t kTimerIntervalMs = 100;

    explicit frmMain(Runtime& runtime);
    ~frmMain() override;

    // ---- What the host, the settings messages, the simulator and tests call.

    // Lifecycle (FormLifecycle.cpp)
    void Load();    // creates the design-time controls, then Form_Load
    void Unload();  // Form_Unload, then the controls go; nothing when not loaded
    bool IsLoaded() const { return loaded_; }
    WindowHandle hWnd() const { return hWnd_; }
    bool TimerEnabled() const { return tmrNumEnabled_; }
    void ForEachCaption(const std::function<void(std::string&)>& visit) override;

    // Extension state (StateMachine.cpp)
    void RefreshNumState(std::int32_t& Evt, std::string& ExtensionEntryID);
    void SetTooltip(std::string& Message);
    void SetForwardIconID(std::int16_t lForwardIconID);

    // Start of the tray (CallTracking.cpp)
    void SetCurrentCall();

    // Mouse settings (Mouse.cpp)
    void SetLButton(bool& ActDial);
    void SetShortCut(bool& Active, std::int16_t& ShortCut);

    // Application sessions (Sessions.cpp)
    void addQorDialSession(dialer::SessionPtr& qorDialSession, std::int32_t& appConnectMode,
                           std::string& TheAppName);
    MenuEventPtr GetMenuEvent();

    // CaptionTranslator.Translate; without a translator (no icon library) the
    // literal's own default text.
    std::string TranslateCaption(std::string_view literal);

    // Read access.
    ITrayIconItem* TrayItem() const;  // icon item 1, or null before the control exists
    const MenuItem& MenuRoot() const { return mnuA5521; }
    const MenuItem* DefaultMenuItem() const { return mnuDefault; }
    const FormControl* Control(const std::string& name) const;
    std::int32_t CurrentState() const { return CurrentNumStateInTray; }
    std::int32_t IdleMode() const { return IdleDisplayMode; }
    const std::string& Redial() const { return RedialNumber; }
    bool MenuShowing() const { return bMenuShowing; }
    bool LButtonDial() const { return bLButtonDial; }
    bool OfflineSelected() const { return mnuOffline && mnuOffline->checked; }

  private:
    friend class Runtime;
    // Tests drive single handlers the way the control, the menu and the dialer
    // objects would.
    friend class testing::FormHandlers;
    struct Sinks;

    // ---- Timer (FormLifecycle.cpp)
    void tmrNum_Timer();
    void EnableTimer();  // tmrNum.Enabled = True

    // ---- Extension state machine (StateMachine.cpp)
    void RefreshMonitoringState(std::int16_t entryId);
    void mnuConnect_Delayed();
    void NumExt_PropertyChange(std::int32_t& Property, Variant& Value);
    void NumExt_CustomPropertyChange(std::string& Name, Variant& Value);
    void NumExt_Monitoring(std::string& Ext);
    void NumExt_MonitoringStop(std::string& Ext);
    std::string GetForwardText();
    std::int16_t GetIdleDisplayMode(std::int16_t entryId);
    void UpdateMonitorReport(const dialer::ExtensionPtr& Ext);
    static std::string StripAddressPrefix(const std::string& Address);
    std::string DialNumber(std::string& Number);

    // ---- Presentations (Presentations.cpp)
    void ShowNotAvailable(std::int16_t& entryId);
    void ShowNotConnected(std::int16_t& entryId);
    void ShowIdle(std::int16_t& entryId);
    void ShowRinging(std::int16_t& entryId);
    void ShowCalling(std::int16_t& entryId);
    void ShowTalking(std::int16_t& entryId);
    void ShowOnHold(std::int16_t& entryId);
    void ShowCleared(std::int16_t& entryId);
    void HideTrayIcon(std::int16_t& entryId);

    // ---- Current call tracking (CallTracking.cpp)
    void MyCalls_PropertyChange(std::int32_t& Property, Variant& Value);
    void CurrentCall_Offering(dialer::AddressPtr& OriginalCallerAddress, std::int32_t& Origin,
                              std::int32_t& Reason);
    void CurrentCall_Recalling(dialer::AddressPtr& AlertingAddress);
    void CurrentCall_ReOffering();
    void CurrentCall_Alerting(dialer::AddressPtr& AlertingAddress);
    void CurrentCall_Connected(dialer::AddressPtr& CurrentAddress);
    void CurrentCall_ConsultationConnected(dialer::AddressPtr& ConsultationAddress);
    void CurrentCall_ConsultationOnHold();
    void CurrentCall_NewConnected(dialer::AddressPtr& RedirectingAddress,
                                  dialer::AddressPtr& RedirectedAddress);
    void CurrentCall_Reconnected(dialer::AddressPtr& CurrentAddress);
    void CurrentCall_OnHold();
    void CurrentCall_Cleared(dialer::AddressPtr& ClearedAddress, std::int32_t& Reason);
    void CurrentCall_PropertyChange(std::int32_t& Property, Variant& Value);

    // ---- Menu commands (Commands.cpp)
    void mnuAnswer_Click();
    void mnuHangUp_Click();
    void mnuDial_Click();
    void mnuBis_Click();
    void mnuConnect_Click();
    void mnuMaximize_Click();
    void mnuProperties_Click();
    void mnuOffline_Click();
    void mnuClose_Click();
    void mnuDial_Delayed();
    void mnuBis_Delayed();
    // Runs the click handler of a menu item chosen in the popup.
    void MenuItem_Click(const MenuItem& item);

    // ---- Tray mouse (Mouse.cpp)
    void TrayIcon_MouseMove(std::int16_t& item, std::int32_t& value);
    void TrayIcon_MouseDown(std::int16_t& item, std::int16_t& Button, std::int16_t& shift);
    void TrayIcon_MouseUp(std::int16_t& item, std::int16_t& Button, std::int16_t& shift);
    void TrayIcon_Click(std::int16_t& item, std::int16_t& Button, std::int16_t& shift);
    void TrayIcon_DblClick(std::int16_t& item, std::int16_t& Button, std::int16_t& shift);
    void TrayIcon_ShortCutClick(std::int16_t& item, std::int16_t& shift);
    void TrayIcon_OLEStartDrag(std::int16_t& item, IDragData& Data, std::int32_t& AllowedEffects);
    std::string GetClipboardNumber(const std::string& ignored = {});

    // ---- Application sessions (Sessions.cpp)
    void myNum_SessionOpened();
    void RefreshSessionMenus();
    void FillAppMenu(dialer::SessionPtr& session, std::int16_t& index);
    void mnuApp1Menu1_Click(std::int16_t Index);
    void mnuApp2Menu1_Click(std::int16_t Index);
    void SendAppMenuChoice(std::int32_t position, std::int16_t number);

    // ---- Helpers
    void CreateDesignControls();
    void CreateFormWindow();
    bool HasPendingAction() const;
    void OnTimer();
    void DestroyDesignControls();
    void Form_Load();
    void Form_Unload();
    void BuildMenuTree();
    PicturePtr Picture(std::int16_t iconId);
    std::string TranslateStringTable(std::string_view literal);
    template <class Translate>
    std::string WithLiteralArgument(std::string_view literal, Translate&& translate);
    dialer::ExtensionPtr ExtensionAt(std::int16_t entryId);
    std::string ExtensionNumber(std::int16_t entryId);
    std::string CallTooltip(const char* actionLiteral);
    void ShowCallInProgress(std::int16_t iconId, bool offerDial);
    std::string Party();
    std::string NumExtEntryID();
    void Log(const std::string& label, const std::string& msg, std::int32_t level);
    void ApplyPresentation(Presentation p, std::int16_t& entryId);
    void RedialUpdate();
    void ShowPopupMenu();
    // True when there is a current call; otherwise tells the user `message` in a
    // message box.
    bool HasCurrentCallOrTellUser(const char* message);
    // Raises `raise` on myMenuEvent with the form's current call itself, so a
    // handler that changes the argument changes the form's current call.
    void RaiseWithCurrentCall(void (MenuEvent::*raise)(dialer::CallPtr&));
    void DialHintRefresh(bool clearBlinking);
    std::vector<MenuItem*>& AppMenuArray(std::int16_t index);

    Runtime& runtime_;
    IPlatform& platform_;
    std::unique_ptr<Sinks> sinks_;
    bool loaded_ = false;
    WindowHandle hWnd_ = 0;
    bool windowMinimized_ = false;
    bool formVisible_ = false;
    PicturePtr formIcon_;

    // Design-time controls.
    std::shared_ptr<ITrayIcon> TrayIcon;
    Subscription trayIconEvents_;
    bool tmrNumEnabled_ = false;
    bool timerRunning_ = false;
    MenuItem mnuA5521;
    MenuItem* mnuBis = nullptr;
    MenuItem* mnuDial = nullptr;
    MenuItem* mnuAnswer = nullptr;
    MenuItem* mnuHangUp = nullptr;
    MenuItem* sep1 = nullptr;
    std::array<MenuItem*, 2> mnuAppSession{};
    std::vector<MenuItem*> mnuApp1Menu1;
    std::vector<MenuItem*> mnuApp2Menu1;
    MenuItem* sep3 = nullptr;
    MenuItem* mnuMaximize = nullptr;
    MenuItem* mnuConnect = nullptr;
    MenuItem* mnuProperties = nullptr;
    MenuItem* mnuOffline = nullptr;
    MenuItem* sep4 = nullptr;
    MenuItem* mnuClose = nullptr;
    std::vector<FormControl> controls_;
    FormControl* optOpenPhone = nullptr;
    FormControl* optDial = nullptr;
    FormControl* chkRBActive = nullptr;
    FormControl* optCtrl = nullptr;
    FormControl* optCtrlShift = nullptr;
    FormControl* optShift = nullptr;
    FormControl* cboPreferredLineName = nullptr;
    FormControl* lblMonitorReport = nullptr;

    // Form fields.
    std::shared_ptr<IIconLibrary> ObjIcons;
    std::vector<std::pair<std::string, dialer::SessionPtr>> Sessions;
    dialer::ExtensionsPtr NumExts;
    MenuEventPtr myMenuEvent;
    std::vector<std::pair<std::int16_t, PicturePtr>> colIcons;  // keyed by icon id
    std::string DialText;
    std::string LastClipboardText;
    bool bLButtonDial = false;
    bool bMenuShowing = false;
    dialer::SessionPtr PendingMaximize;
    std::int16_t App1MenuIndex = 0;
    std::int16_t App2MenuIndex = 0;
    std::string MainAppName;
    MenuItem* mnuDefault = nullptr;
    std::string RedialNumber;
    std::string CallNumEntryID;
    std::int32_t CurrentNumStateInTray = NumStateHidden;
    std::int32_t IdleDisplayMode = IdlePlain;
    std::string NumInfoText;
    bool NumBlinking = false;
    std::string ForwardText;
    bool bClickPending = false;
    std::int16_t ClickTicks = 0;
    bool bDialPending = false;
    bool bRedialPending = false;
    bool bConnectPending = false;
    std::shared_ptr<IStringTable> StringTable;
    std::int16_t ForwardIconID = 0;
    std::string literalBuffer_;  // see WithLiteralArgument

    // References whose events the form handles.
    EventRef<dialer::ISession, dialer::ISessionEvents> myNum;
    EventRef<dialer::IExtension, dialer::IExtensionEvents> NumExt;
    EventRef<dialer::ICalls, dialer::ICallsEvents> myCalls;
    EventRef<dialer::ICall, dialer::ICallEvents> CurrentCall;
};

}  // namespace qor
