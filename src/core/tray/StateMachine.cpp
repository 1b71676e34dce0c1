// RefreshNumState and every entry point that feeds the extension's state into it.

#include "core/common/Convert.h"
#include "core/host/Runtime.h"
#include "core/tray/FormSupport.h"
#include "core/tray/frmMain.h"

namespace qor {

namespace {
constexpr const char* kRefreshNumState = "QorIcon frmMain.RefreshNumState";
constexpr const char* kCustomPropertyChange = "QorIcon frmMain.NumExt_CustomPropertyChange";
}  // namespace

void frmMain::Log(const std::string& label, const std::string& msg, std::int32_t level) {
    cLogFile* logFile = runtime_.LogFile();
    // Checked here as well as in Message so that a quiet trace costs no text building.
    if (!logFile || logFile->Status() != cLogFile::kRunning || level > logFile->Level()) return;
    logFile->Message(label + msg, level);
}

void frmMain::RefreshNumState(std::int32_t& Evt, std::string& ExtensionEntryID) {
    try {
        cLogFile* logFile = runtime_.LogFile();
        if (logFile && logFile->Status() == cLogFile::kRunning && logFile->Level() >= 5) {
            Log(kRefreshNumState,
                " (CurrentNumStateInTray= " + std::to_string(CurrentNumStateInTray) +
                    " evt= " + std::to_string(Evt),
                5);
        }
        // An empty or non-numeric id stands for the first monitored extension.
        const std::optional<double> given = NumericValue(ExtensionEntryID);
        std::int16_t entryId = ToInt16(given ? *given : TextToNumber(ExtensionAt(1)->EntryID()));
        const auto transition = LookupTransition(CurrentNumStateInTray, Evt);
        if (!transition) return;
        if (transition->updateIdleMode) {
            IdleDisplayMode =
                UpdatedIdleMode(IdleDisplayMode, Evt, [&] { return GetIdleDisplayMode(entryId); });
        }
        ApplyPresentation(transition->presentation, entryId);
        CurrentNumStateInTray = transition->next;
    } catch (...) {
        runtime_.Errors().LogError(kRefreshNumState, CurrentError());
    }
}

std::int16_t frmMain::GetIdleDisplayMode(std::int16_t entryId) {
    if (!NumInfoText.empty()) return IdleInfo;
    const dialer::ExtensionPtr ext = Required(NumExts).Item(Variant(entryId));
    if (!ext) return IdlePlain;
    return ext->ForwardingState().IsSet() ? IdleForwarded : IdlePlain;
}

std::string frmMain::GetForwardText() {
    return ForwardText;
}

std::string frmMain::NumExtEntryID() {
    return Required(NumExt.get()).EntryID();
}

void frmMain::SetTooltip(std::string& Message) {
    if (!StartsWith(Message, "Forward:")) {
        Required(TrayItem()).SetToolTip(Message);
        return;
    }
    if (!NumExt) return;
    ForwardText = Message.substr(8);
    std::int32_t evt = ForwardText.empty() ? NumEvtForwardCleared : NumEvtForwardSet;
    std::string entryId = NumExtEntryID();
    RefreshNumState(evt, entryId);
}

void frmMain::SetForwardIconID(std::int16_t lForwardIconID) {
    ForwardIconID = lForwardIconID;
}

void frmMain::RefreshMonitoringState(std::int16_t entryId) {
    // The extension is looked up inside each step: when it cannot be found the
    // whole step is skipped, never run for whatever item an empty id would reach.
    auto refreshWith = [&](std::int32_t evt) {
        SkipOnError([&] {
            std::string id = ExtensionAt(entryId)->EntryID();
            RefreshNumState(evt, id);
        });
    };
    if (!NumInfoText.empty()) {
        refreshWith(NumEvtInfo);
    } else if (!GetForwardText().empty()) {
        refreshWith(NumEvtForwardSet);
        SkipOnError([&] { Required(TrayItem()).SetToolTip(GetForwardText()); });
    } else {
        SkipOnError([&] {
            Log("QorIcon frmMain.RefreshMonitoringState",
                " call to RefreshNumState(NumEvtStartMonitoring)", 5);
        });
        refreshWith(NumEvtStartMonitoring);
    }
}

void frmMain::NumExt_PropertyChange(std::int32_t& Property, Variant& Value) {
    if (Property == dialer::kExtPropertyCapabilities) {
        Log("QorIcon frmMain.NumExt_PropertyChange", "Capabilities = " + Value.ToText(), 5);
        if ((Value.ToInt32() & dialer::kCapabilityDial) == 0) mnuDial->visible = false;
    } else if (Property == dialer::kExtPropertyConnectionState) {
        Log("QorIcon frmMain.NumExt_PropertyChange", "ConnectionState = " + Value.ToText(), 5);
        std::int32_t evt = Value.ToNumber() == 1 ? NumEvtConnectionUp : NumEvtConnectionDown;
        std::string entryId = NumExtEntryID();
        RefreshNumState(evt, entryId);
        UpdateMonitorReport(NumExt.get());
    }
}

void frmMain::NumExt_CustomPropertyChange(std::string& Name, Variant& Value) {
    // Each statement reports its own failure and the next one still runs, so one
    // event can produce several reports.
    auto step = [this](auto&& statement) {
        try {
            statement();
        } catch (...) {
            runtime_.Errors().LogError(kCustomPropertyChange, CurrentError());
        }
    };
    auto idleModeFromExtension = [&] {
        IdleDisplayMode = GetIdleDisplayMode(ToInt16(LeadingNumber(NumExtEntryID())));
    };
    auto refresh = [&] {
        std::int32_t evt = NumEvtRefresh;
        std::string entryId = NumExtEntryID();
        RefreshNumState(evt, entryId);
    };

    if (Name == "App Infos" || Name == "Voice Messages") {
        std::string text;
        step([&] { text = Value.ToText(); });
        if (!text.empty()) {
            NumInfoText = text;
            IdleDisplayMode = IdleInfo;
        } else {
            NumInfoText.clear();
            step(idleModeFromExtension);
        }
        step(refresh);
    } else if (Name == "Blinking") {
        std::string text;
        step([&] { text = Value.ToText(); });
        if (!text.empty()) {
            NumBlinking = true;
            IdleDisplayMode = IdleInfo;
        } else {
            NumBlinking = false;
            step(idleModeFromExtension);
        }
        if (NumExt) step(refresh);
    }
}

void frmMain::NumExt_Monitoring(std::string& /*Ext*/) {
    Log("QorIcon frmMain.NumExt_Monitoring", " call to RefreshNumState(NumEvtStartMonitoring)", 5);
    std::int32_t evt = NumEvtStartMonitoring;
    std::string entryId = NumExtEntryID();
    RefreshNumState(evt, entryId);
    UpdateMonitorReport(NumExt.get());
}

void frmMain::NumExt_MonitoringStop(std::string& /*Ext*/) {
    Log("QorIcon frmMain.GetMonitoringState", "MonitoringStop " + Required(NumExt.get()).LineName(),
        5);
    const dialer::CallsPtr calls = NumExt->Calls();
    const std::int32_t count = Required(calls).Count();
    for (std::int32_t i = 0; i < count; ++i) calls->Remove(1);
    CurrentCall.Release();
    UpdateMonitorReport(NumExt.get());
    std::int32_t evt = NumEvtStopMonitoring;
    std::string entryId = NumExtEntryID();
    RefreshNumState(evt, entryId);
}

void frmMain::UpdateMonitorReport(const dialer::ExtensionPtr& Ext) {
    if (Ext) {
        lblMonitorReport->caption = Ext->Number() + ": " + TranslateCaption("#01206#connected");
    } else {
        lblMonitorReport->caption = TranslateCaption("#01208#disconnected");
    }
}

void frmMain::mnuConnect_Delayed() {
    if (!NumExt) return;
    myCalls.Attach(NumExt->Calls());
    Log("QorIcon frmMain.mnuConnect_Delayed", "NumExt.Monitor() (active)", 4);
    NumExt->Monitor(0, "", "");
}

std::string frmMain::StripAddressPrefix(const std::string& Address) {
    if (!Address.empty() && (Address[0] == 'P' || Address[0] == 'T')) return Address.substr(1);
    return Address;
}

std::string frmMain::DialNumber(std::string& Number) {
    if (Number.size() <= 30) Required(myMenuEvent).MakeCall(Number);
    return {};
}

}  // namespace qor
