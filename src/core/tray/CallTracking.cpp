// Start of the tray (SetCurrentCall), the calls collection's current call and the
// events of that call, each turned into one event of the state machine.

#include "core/common/Convert.h"
#include "core/common/VersionInfo.h"
#include "core/host/Runtime.h"
#include "core/settings/CRegSettings.h"
#include "core/tray/FormSupport.h"
#include "core/tray/frmMain.h"

namespace qor {

void frmMain::SetCurrentCall() {
    // Nothing is trapped until the mouse settings are in place: a failure up to
    // there is the failure of Start, and the client sees it as that call's error.
    if (runtime_.CaptionTranslator) runtime_.CaptionTranslator->TranslateForm(*this);
    mnuMaximize->visible = true;

    myCalls.Release();
    NumExt.Release();
    NumExts.reset();
    if (myNum) {
        NumExts = myNum->Extensions();
        const std::string current = Required(NumExts).CurrentEntryID();
        if (!current.empty()) {
            NumExt.Attach(NumExts->Item(Variant(current)));
            const std::string second = NumExts->SecondEntryID();
            if (!second.empty()) {
                Log("QorIcon frmMain.SetCurrentCall", "NumExts.Item(x).Monitor() (Removed)", 4);
                Required(NumExts->Item(Variant(second))).Monitor(0, "", "");
            }
        } else {
            NumExt.Attach(NumExts->Item(Variant(std::int16_t{1})));
        }
    }
    if (NumExt) {
        myCalls.Attach(NumExt->Calls());
        std::int32_t evt = NumEvtCurrentCallSet;
        std::string entryId = NumExt->EntryID();
        RefreshNumState(evt, entryId);
        Log("QorIcon frmMain.SetCurrentCall", "NumExt.Monitor() (Removed)", 4);
        RefreshMonitoringState(ToInt16(LeadingNumber(NumExt->EntryID())));
        const std::string currentCall = Required(myCalls.get()).CurrentCallEntryID();
        if (!currentCall.empty()) {
            CurrentCall.Attach(myCalls->Item(Variant(currentCall)));
        } else {
            CurrentCall.Release();
        }
    } else {
        CurrentCall.Release();
    }

    windowMinimized_ = true;
    formVisible_ = false;
    mnuProperties->visible = true;
    mnuBis->visible = false;
    bClickPending = false;
    ClickTicks = 0;

    {
        CRegSettings settings(platform_);
        settings.Company(kCompanyName);
        settings.AppName("5521\\QORDial");
        ITrayIconItem& item = Required(TrayItem());
        item.SetShortCutActive(
            TextToBool(settings.GetSetting("Settings", "RButtonActive", "False")));
        item.SetShortCut(TextToInt16(settings.GetSetting("Settings", "RButtonShortCut", "1")));
        item.SetDialCaption(TranslateCaption("#01109#Dial"));
        bool active = item.ShortCutActive();
        std::int16_t shortCut = item.ShortCut();
        SetShortCut(active, shortCut);
        bool lButtonDial = TextToBool(settings.GetSetting("Settings", "LButtonDial", "False"));
        bLButtonDial = lButtonDial;
        SetLButton(lButtonDial);
    }

    // From here on failures are ignored.
    SkipOnError([&] { mnuConnect->visible = true; });
    mnuDefault = bLButtonDial ? mnuConnect : mnuMaximize;
    bMenuShowing = false;
}

void frmMain::MyCalls_PropertyChange(std::int32_t& Property, Variant& Value) {
    if (Property != dialer::kCallsPropertyCurrentCall) return;
    if (Value.EqualsText("")) {
        CurrentCall.Release();
        return;
    }
    CurrentCall.Attach(Required(myCalls.get()).Item(Value));
    if (!CurrentCall) return;
    CallNumEntryID = CurrentCall->ExtensionEntryID();
    std::int32_t evt = NumEvtConnected;
    switch (CurrentCall->State()) {
        case dialer::kCallRinging:
            evt = NumEvtOffering;
            break;
        case dialer::kCallAlerting:
            evt = NumEvtAlerting;
            break;
        case dialer::kCallHeld:
            evt = NumEvtOnHold;
            break;
        default:
            break;
    }
    RefreshNumState(evt, CallNumEntryID);
}

void frmMain::RedialUpdate() {
    // Everything is read before anything changes: a failure leaves the redial
    // number and the Redial item as they were.
    const std::string number = Required(Required(CurrentCall.get()).DialledAddress()).Text();
    std::string caption = TranslateCaption("#01110#Redial") + " " + StripAddressPrefix(number);
    RedialNumber = number;
    mnuBis->caption = std::move(caption);
    mnuBis->visible = true;
}

namespace {
template <class Form>
void Send(Form& form, std::int32_t evt, std::string& entryId) {
    form.RefreshNumState(evt, entryId);
}
}  // namespace

void frmMain::CurrentCall_Offering(dialer::AddressPtr&, std::int32_t&, std::int32_t&) {
    Send(*this, NumEvtOffering, CallNumEntryID);
}
void frmMain::CurrentCall_Recalling(dialer::AddressPtr&) {
    Send(*this, NumEvtOffering, CallNumEntryID);
}
void frmMain::CurrentCall_ReOffering() {
    Send(*this, NumEvtOffering, CallNumEntryID);
}

void frmMain::CurrentCall_Alerting(dialer::AddressPtr&) {
    Send(*this, NumEvtAlerting, CallNumEntryID);
    RedialUpdate();
}

void frmMain::CurrentCall_Connected(dialer::AddressPtr&) {
    Send(*this, NumEvtConnected, CallNumEntryID);
    if ((Required(CurrentCall.get()).RedialFlag() & 1) != 0 && RedialNumber.empty()) RedialUpdate();
}

void frmMain::CurrentCall_ConsultationConnected(dialer::AddressPtr&) {
    Send(*this, NumEvtConnected, CallNumEntryID);
}
void frmMain::CurrentCall_ConsultationOnHold() {
    Send(*this, NumEvtConnected, CallNumEntryID);
}
void frmMain::CurrentCall_NewConnected(dialer::AddressPtr&, dialer::AddressPtr&) {
    Send(*this, NumEvtConnected, CallNumEntryID);
}
void frmMain::CurrentCall_Reconnected(dialer::AddressPtr&) {
    Send(*this, NumEvtConnected, CallNumEntryID);
}
void frmMain::CurrentCall_OnHold() {
    Send(*this, NumEvtOnHold, CallNumEntryID);
}
void frmMain::CurrentCall_Cleared(dialer::AddressPtr&, std::int32_t&) {
    Send(*this, NumEvtCleared, CallNumEntryID);
}

void frmMain::CurrentCall_PropertyChange(std::int32_t& Property, Variant&) {
    if (Property == dialer::kCallPropertyRefresh) Send(*this, NumEvtRefresh, CallNumEntryID);
}

}  // namespace qor
