// Load, unload and the timer of the tray form.

#include <array>

#include "core/common/Convert.h"
#include "core/common/VersionInfo.h"
#include "core/host/Runtime.h"
#include "core/settings/CRegSettings.h"
#include "core/settings/ConfigMessages.h"
#include "core/tray/FormSupport.h"
#include "core/tray/frmMain.h"

namespace qor {

// The dialer objects and the tray control raise events with their own interface
// shapes; these adapters route each one to the form's handler of the same name.
struct frmMain::Sinks {
    struct Session : dialer::ISessionEvents {
        frmMain& f;
        explicit Session(frmMain& form) : f(form) {}
        void SessionOpened() override { f.myNum_SessionOpened(); }
    };
    struct Extension : dialer::IExtensionEvents {
        frmMain& f;
        explicit Extension(frmMain& form) : f(form) {}
        void PropertyChange(std::int32_t& p, Variant& v) override { f.NumExt_PropertyChange(p, v); }
        void CustomPropertyChange(std::string& n, Variant& v) override {
            f.NumExt_CustomPropertyChange(n, v);
        }
        void Monitoring(std::string& e) override { f.NumExt_Monitoring(e); }
        void MonitoringStop(std::string& e) override { f.NumExt_MonitoringStop(e); }
    };
    struct Calls : dialer::ICallsEvents {
        frmMain& f;
        explicit Calls(frmMain& form) : f(form) {}
        void PropertyChange(std::int32_t& p, Variant& v) override {
            f.MyCalls_PropertyChange(p, v);
        }
    };
    struct Call : dialer::ICallEvents {
        frmMain& f;
        explicit Call(frmMain& form) : f(form) {}
        void Offering(dialer::AddressPtr& a, std::int32_t& o, std::int32_t& r) override {
            f.CurrentCall_Offering(a, o, r);
        }
        void Recalling(dialer::AddressPtr& a) override { f.CurrentCall_Recalling(a); }
        void ReOffering() override { f.CurrentCall_ReOffering(); }
        void Alerting(dialer::AddressPtr& a) override { f.CurrentCall_Alerting(a); }
        void Connected(dialer::AddressPtr& a) override { f.CurrentCall_Connected(a); }
        void ConsultationConnected(dialer::AddressPtr& a) override {
            f.CurrentCall_ConsultationConnected(a);
        }
        void ConsultationOnHold() override { f.CurrentCall_ConsultationOnHold(); }
        void NewConnected(dialer::AddressPtr& a, dialer::AddressPtr& b) override {
            f.CurrentCall_NewConnected(a, b);
        }
        void Reconnected(dialer::AddressPtr& a) override { f.CurrentCall_Reconnected(a); }
        void OnHold() override { f.CurrentCall_OnHold(); }
        void Cleared(dialer::AddressPtr& a, std::int32_t& r) override {
            f.CurrentCall_Cleared(a, r);
        }
        void PropertyChange(std::int32_t& p, Variant& v) override {
            f.CurrentCall_PropertyChange(p, v);
        }
    };
    struct Tray : ITrayIconEvents {
        frmMain& f;
        explicit Tray(frmMain& form) : f(form) {}
        void MouseMove(std::int16_t& i, std::int32_t& v) override { f.TrayIcon_MouseMove(i, v); }
        void MouseDown(std::int16_t& i, std::int16_t& b, std::int16_t& s) override {
            f.TrayIcon_MouseDown(i, b, s);
        }
        void MouseUp(std::int16_t& i, std::int16_t& b, std::int16_t& s) override {
            f.TrayIcon_MouseUp(i, b, s);
        }
        void Click(std::int16_t& i, std::int16_t& b, std::int16_t& s) override {
            f.TrayIcon_Click(i, b, s);
        }
        void DblClick(std::int16_t& i, std::int16_t& b, std::int16_t& s) override {
            f.TrayIcon_DblClick(i, b, s);
        }
        void ShortCutClick(std::int16_t& i, std::int16_t& s) override {
            f.TrayIcon_ShortCutClick(i, s);
        }
        void OLEStartDrag(std::int16_t& i, IDragData& d, std::int32_t& e) override {
            f.TrayIcon_OLEStartDrag(i, d, e);
        }
        // Nothing can be dropped on the icon: the drop-side notifications are ignored.
        void OLEDragOver(std::int16_t&, IDragData&, std::int32_t&, std::int16_t&, std::int16_t&,
                         float&, float&, std::int16_t&) override {}
        void OLECompleteDrag(std::int16_t&, std::int32_t&) override {}
        void OLEGiveFeedback(std::int16_t&, std::int32_t&, bool&) override {}
    };

    explicit Sinks(frmMain& f) : session(f), extension(f), calls(f), call(f), tray(f) {}
    Session session;
    Extension extension;
    Calls calls;
    Call call;
    Tray tray;
};

frmMain::frmMain(Runtime& runtime)
    : runtime_(runtime),
      platform_(runtime.Platform()),
      sinks_(std::make_unique<Sinks>(*this)),
      myNum(sinks_->session),
      NumExt(sinks_->extension),
      myCalls(sinks_->calls),
      CurrentCall(sinks_->call) {}

frmMain::~frmMain() {
    try {
        Unload();
    } catch (...) {
    }
}

void frmMain::Load() {
    if (loaded_) return;
    try {
        CreateDesignControls();
        loaded_ = true;
        Form_Load();
    } catch (...) {
        // A load that failed leaves nothing behind: no window, no icon, no references.
        loaded_ = false;
        try {
            Form_Unload();
        } catch (...) {
        }
        DestroyDesignControls();
        throw;
    }
}

void frmMain::Unload() {
    if (!loaded_) return;
    loaded_ = false;
    Form_Unload();
    DestroyDesignControls();
}

void frmMain::CreateDesignControls() {
    windowMinimized_ = false;
    formVisible_ = false;
    tmrNumEnabled_ = false;
    timerRunning_ = false;
    BuildMenuTree();
    TrayIcon = runtime_.Components().CreateTrayIcon();
    trayIconEvents_ = TrayIcon->Advise(sinks_->tray);
}

// Nothing the load does up to the icon needs the form's own window, and each
// top-level window costs the desktop some milliseconds to make: the window is made
// once the icon is in the notification area, or once the load knows there will be
// none. The load is not over before it exists, so the client and other programs
// never see the form without it.
void frmMain::CreateFormWindow() {
    if (hWnd_ == 0) hWnd_ = platform_.CreateFormWindow(kCaption);
}

void frmMain::DestroyDesignControls() {
    trayIconEvents_.Reset();
    TrayIcon.reset();
    if (hWnd_ != 0) {
        if (timerRunning_) platform_.StopTimer(hWnd_);
        platform_.DestroyFormWindow(hWnd_);
    }
    timerRunning_ = false;
    tmrNumEnabled_ = false;
    hWnd_ = 0;
    formIcon_.reset();
}

void frmMain::Form_Load() {
    // The diagnostic level. No protection: a failure here fails the creation.
    {
        CRegSettings settings(platform_);
        settings.hKey(static_cast<std::int64_t>(reg::kCurrentUser));
        settings.MSubKey("Software");
        settings.Company(kCompanyName);
        settings.AppName("5521\\QORPhone");
        runtime_.DeveloperLevel =
            ToInt32(LeadingNumber(settings.GetSetting("Settings", "Developper", "0")));
    }
    // A fresh trace for every load: the one an earlier load started stops here.
    // Start reports its own failures.
    cLogFile& logFile = runtime_.CreateLogFile();
    if (runtime_.DeveloperLevel != 0) {
        std::string file = platform_.ModuleFolder() + "\\qorphone.log";
        std::int32_t mode = 65, options = 271, level = runtime_.DeveloperLevel;
        logFile.Start(file, mode, options, level);
    }
    // The error reporter.
    runtime_.Errors().LogErrorInit(0);
    // The event channel to the client.
    myMenuEvent = MenuEvent::Create();

    // From here on a failing step is skipped and the load goes on; only showing
    // the icon can still fail the creation. Without the icon library there is no
    // tray icon and nothing more to set up.
    try {
        ObjIcons = runtime_.Components().CreateIconLibrary();
    } catch (...) {
        CreateFormWindow();
        return;
    }
    // The form's own icon.
    SkipOnError([&] {
        std::int16_t id = iconid::kComponent;
        formIcon_ = ObjIcons->GetIcon(id);
    });
    // The tray pictures; one that cannot be fetched is left out.
    using namespace iconid;
    static constexpr std::array<std::int16_t, 17> kTrayIcons = {
        kNotAvailable,    kNotConnected,      kIdle,         kTalkingIncoming, kTalking,
        kTalkingOutgoing, kRinging,           kRingingBlink, kCallInProgress,  kForwarded,
        kInformation,     kClientTelephone,   kHoverAnswer,  kHoverHangUp,     kSpareTelephone,
        kVoiceMessages,   kVoiceMessagesBlink};
    colIcons.clear();
    for (std::int16_t id : kTrayIcons) {
        SkipOnError([&] {
            std::int16_t requested = id;
            PicturePtr picture = ObjIcons->GetIcon(requested);
            colIcons.emplace_back(id, std::move(picture));
        });
    }
    // The not-connected picture enters the notification area; without
    // it the client's creation fails.
    Required(TrayItem()).SetIcon(Picture(iconid::kNotConnected));
    Required(TrayItem()).SetVisible(true);
    CreateFormWindow();

    // Translated captions.
    SkipOnError([&] { StringTable = runtime_.Components().CreateStringTable(); });
    SkipOnError([&] {
        if (!runtime_.CaptionTranslator)
            runtime_.CaptionTranslator = runtime_.Components().CreateCaptionTranslator();
        runtime_.CaptionTranslator->TranslateForm(*this);
    });
    SkipOnError([&] { mnuClose->caption = TranslateStringTable("#01113#E&xit"); });
    SkipOnError(
        [&] { mnuOffline->caption = TranslateStringTable("#05539#Start in offline mode"); });

    // The state machine starts hidden.
    NumInfoText.clear();
    CurrentNumStateInTray = NumStateHidden;
    NumBlinking = false;
    Sessions.clear();

    // Live configuration changes, only in normal use: a developer's trace level
    // leaves the window unhooked.
    if (runtime_.DeveloperLevel == 0) SkipOnError([&] { config::Hook(*this); });
}

void frmMain::Form_Unload() {
    ObjIcons.reset();
    colIcons.clear();
    NumExts.reset();
    NumExt.Release();
    mnuDefault = nullptr;
    myCalls.Release();
    CurrentCall.Release();
    StringTable.reset();
    if (runtime_.DeveloperLevel == 0) config::Unhook();
    myNum.Release();
}

bool frmMain::HasPendingAction() const {
    return bDialPending || bRedialPending || App1MenuIndex != 0 || App2MenuIndex != 0 ||
           PendingMaximize != nullptr || bConnectPending;
}

void frmMain::EnableTimer() {
    tmrNumEnabled_ = true;
    // Once enabled, tmrNum stays enabled for the form's life, but a tick with
    // nothing pending does nothing: the system timer only runs while there is
    // work, so an idle tray never wakes the client's process.
    if (!timerRunning_ && hWnd_ != 0 && HasPendingAction()) {
        timerRunning_ = true;
        platform_.StartTimer(hWnd_, kTimerIntervalMs, [this] { OnTimer(); });
    }
}

void frmMain::OnTimer() {
    try {
        tmrNum_Timer();
    } catch (...) {
        runtime_.Errors().LogError("QorIcon frmMain.tmrNum_Timer", CurrentError());
    }
    if (!HasPendingAction() && timerRunning_) {
        timerRunning_ = false;
        platform_.StopTimer(hWnd_);
    }
}

void frmMain::tmrNum_Timer() {
    if (bDialPending) {
        bDialPending = false;
        mnuDial_Delayed();
    } else if (bRedialPending) {
        bRedialPending = false;
        mnuBis_Delayed();
    } else if (App1MenuIndex != 0) {
        // Cleared even when the delivery fails: a broken session must not be asked
        // again on every tick.
        const std::int16_t index = std::exchange(App1MenuIndex, std::int16_t{0});
        SendAppMenuChoice(1, index);
    } else if (App2MenuIndex != 0) {
        const std::int16_t index = std::exchange(App2MenuIndex, std::int16_t{0});
        SendAppMenuChoice(2, index);
    } else if (PendingMaximize) {
        // The handler gets the field itself; it is cleared afterwards whatever the
        // handler did, and also when the raise fails.
        struct ClearAfter {
            dialer::SessionPtr& session;
            ~ClearAfter() { session.reset(); }
        } clearAfter{PendingMaximize};
        Required(myMenuEvent).Maximize(PendingMaximize);
    } else if (bConnectPending) {
        bConnectPending = false;
        mnuConnect_Delayed();
    }
    tmrNumEnabled_ = true;
}

}  // namespace qor
