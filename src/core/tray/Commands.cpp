// The popup menu's commands. Call control goes back to the client as events;
// dial, redial, connect and maximize wait for the next timer tick so that they run
// after the menu has closed.

#include "core/common/VersionInfo.h"
#include "core/host/Runtime.h"
#include "core/tray/FormSupport.h"
#include "core/tray/frmMain.h"

namespace qor {

bool frmMain::HasCurrentCallOrTellUser(const char* message) {
    if (CurrentCall) return true;
    platform_.ShowMessage(message, kLibraryName);
    return false;
}

void frmMain::RaiseWithCurrentCall(void (MenuEvent::*raise)(dialer::CallPtr&)) {
    MenuEvent& channel = Required(myMenuEvent);
    CurrentCall.Lend([&](dialer::CallPtr& call) { (channel.*raise)(call); });
}

void frmMain::mnuAnswer_Click() {
    platform_.SetForegroundWindow(hWnd_);
    if (!HasCurrentCallOrTellUser(kNoCallToAnswer)) return;
    if ((CurrentCall->ActionFlags() & dialer::kActionAnswer) != 0) {
        RaiseWithCurrentCall(&MenuEvent::Answer);
    } else if ((CurrentCall->ActionFlags() & dialer::kActionReconnect) != 0) {
        RaiseWithCurrentCall(&MenuEvent::Reconnect);
    }
}

void frmMain::mnuHangUp_Click() {
    if (HasCurrentCallOrTellUser(kNoCallToHangUp)) RaiseWithCurrentCall(&MenuEvent::Clear);
}

void frmMain::mnuDial_Click() {
    bDialPending = true;
    EnableTimer();
}

void frmMain::mnuBis_Click() {
    bRedialPending = true;
    EnableTimer();
}

void frmMain::mnuConnect_Click() {
    bConnectPending = true;
    EnableTimer();
}

void frmMain::mnuMaximize_Click() {
    platform_.SetForegroundWindow(hWnd_);
    PendingMaximize = myNum.get();
    EnableTimer();
}

void frmMain::mnuProperties_Click() {
    platform_.SetForegroundWindow(hWnd_);
    Required(myMenuEvent).Configure();
}

void frmMain::mnuOffline_Click() {
    mnuOffline->checked = true;
}

void frmMain::mnuClose_Click() {
    MenuEvent& channel = Required(myMenuEvent);
    myNum.Lend([&](dialer::SessionPtr& session) { channel.CloseApp(session); });
}

void frmMain::mnuDial_Delayed() {
    try {
        DialNumber(DialText);
    } catch (...) {
        platform_.Beep();
    }
}

void frmMain::mnuBis_Delayed() {
    if (RedialNumber.empty()) {
        platform_.Beep();
        return;
    }
    MenuEvent& channel = Required(myMenuEvent);
    myCalls.Lend([&](dialer::CallsPtr& calls) { channel.MakeCall2(calls, RedialNumber); });
}

void frmMain::MenuItem_Click(const MenuItem& item) {
    const std::string& n = item.name;
    if (n == "mnuAnswer")
        mnuAnswer_Click();
    else if (n == "mnuHangUp")
        mnuHangUp_Click();
    else if (n == "mnuDial")
        mnuDial_Click();
    else if (n == "mnuBis")
        mnuBis_Click();
    else if (n == "mnuConnect")
        mnuConnect_Click();
    else if (n == "mnuMaximize")
        mnuMaximize_Click();
    else if (n == "mnuProperties")
        mnuProperties_Click();
    else if (n == "mnuOffline")
        mnuOffline_Click();
    else if (n == "mnuClose")
        mnuClose_Click();
    else if (n == "mnuApp1Menu1")
        mnuApp1Menu1_Click(item.index);
    else if (n == "mnuApp2Menu1")
        mnuApp2Menu1_Click(item.index);
}

}  // namespace qor
