// What the mouse does on the tray icon: preview, clicks, the popup menu, short
// dial, dragging the caller's number out, and the clipboard number on offer.

#include "core/common/Convert.h"
#include "core/host/Runtime.h"
#include "core/tray/FormSupport.h"
#include "core/tray/frmMain.h"

namespace qor {

namespace {
constexpr std::size_t kClipboardNumberLimit = 30;  // texts of this length or more are no number
}  // namespace

std::string frmMain::GetClipboardNumber(const std::string& /*ignored*/) {
    if (!platform_.ClipboardHasText()) return {};
    std::string text = platform_.ClipboardText();
    if (text == LastClipboardText) return DialText;
    LastClipboardText = text;
    if (text.size() < kClipboardNumberLimit) {
        DialText = text;
        return text;
    }
    DialText.clear();
    return {};
}

void frmMain::DialHintRefresh(bool clearBlinking) {
    const std::string number = GetClipboardNumber();
    std::string extension = NumExt ? NumExt->Number() : std::string();
    std::int32_t evt = NumEvtDialHintEnd;
    if (!number.empty()) {
        if (clearBlinking) Required(TrayItem()).SetBlinking(false);
        evt = NumEvtDialHint;
    }
    RefreshNumState(evt, extension);
}

void frmMain::TrayIcon_MouseMove(std::int16_t& /*item*/, std::int32_t& value) {
    ITrayIconItem& trayItem = Required(TrayItem());
    if (!trayItem.Visible() || bMenuShowing) return;
    try {
        if (!bLButtonDial) {
            DialHintRefresh(true);
            return;
        }
        if (bClickPending) {
            if (ClickTicks < 1) {
                ++ClickTicks;
                return;
            }
            bClickPending = false;
            if (CurrentCall && !Party().empty()) trayItem.OLEDrag();
            return;
        }
        if (value < 0) {
            // The pointer left the icon: put the state display back.
            std::string number = Required(NumExt.get()).Number();
            if (CurrentNumStateInTray == NumStateNotAvailable) {
                RefreshMonitoringState(ToInt16(LeadingNumber(number)));
            } else {
                std::int32_t evt = NumEvtRefresh;
                RefreshNumState(evt, number);
            }
            return;
        }
        // Over the icon: preview what a click would do.
        if (mnuAnswer->visible) {
            if (CurrentCall) {
                trayItem.SetBlinking(false);
                trayItem.SetIcon(Picture(iconid::kHoverAnswer));
            }
        } else if (mnuHangUp->visible) {
            if (CurrentCall) {
                trayItem.SetBlinking(false);
                trayItem.SetIcon(Picture(iconid::kHoverHangUp));
            }
        } else {
            DialHintRefresh(true);
        }
    } catch (...) {
        // A pointer movement is no reason to bother the user.
    }
}

void frmMain::TrayIcon_MouseDown(std::int16_t& /*item*/, std::int16_t& Button,
                                 std::int16_t& /*shift*/) {
    if (bLButtonDial) {
        try {
            DialHintRefresh(false);
        } catch (...) {
            std::int32_t evt = NumEvtDialHintEnd;
            std::string extension;
            SkipOnError([&] { extension = NumExt ? NumExt->Number() : std::string(); });
            RefreshNumState(evt, extension);
        }
    }
    if (Button == kButtonRight) {
        ShowPopupMenu();
        return;
    }
    bClickPending = true;
    ClickTicks = 0;
}

void frmMain::ShowPopupMenu() {
    platform_.SetForegroundWindow(hWnd_);
    RefreshSessionMenus();
    // The form may do one more thing to its own window before the menu opens. We
    // do nothing more: the foreground call above already gives the hidden window
    // the input focus the popup needs to close when the user clicks elsewhere.
    bMenuShowing = true;
    struct MenuClosed {
        bool& showing;
        ~MenuClosed() { showing = false; }
    } menuClosed{bMenuShowing};
    if (mnuDefault) {
        mnuDefault->visible = true;
        sep1->visible = true;
        mnuOffline->visible = false;
    }
    if (const MenuItem* chosen = platform_.TrackPopupMenu(hWnd_, mnuA5521, mnuDefault)) {
        MenuItem_Click(*chosen);
    }
}

void frmMain::TrayIcon_MouseUp(std::int16_t& /*item*/, std::int16_t& Button,
                               std::int16_t& /*shift*/) {
    if (Button == kButtonLeft) bClickPending = false;
}

void frmMain::TrayIcon_Click(std::int16_t& /*item*/, std::int16_t& Button,
                             std::int16_t& /*shift*/) {
    if (Button != kButtonLeft) return;
    bClickPending = false;
    if (!bLButtonDial) {
        mnuMaximize_Click();
        return;
    }
    if (mnuAnswer->visible) {
        platform_.SetForegroundWindow(hWnd_);
        // No test of the call's flags: the click answers whatever rings.
        if (HasCurrentCallOrTellUser(kNoCallToAnswer)) RaiseWithCurrentCall(&MenuEvent::Answer);
    } else if (mnuHangUp->visible) {
        platform_.SetForegroundWindow(hWnd_);
        if (!HasCurrentCallOrTellUser(kNoCallToHangUp)) return;
        if ((CurrentCall->ActionFlags() & dialer::kActionConsultation) != 0) {
            RaiseWithCurrentCall(&MenuEvent::CancelConsultation);
        } else {
            RaiseWithCurrentCall(&MenuEvent::Clear);
        }
    } else {
        try {
            const std::string number = GetClipboardNumber();
            std::string extension = NumExt ? NumExt->Number() : std::string();
            if (!number.empty()) {
                Required(TrayItem()).SetBlinking(false);
                std::int32_t evt = NumEvtDialHint;
                RefreshNumState(evt, extension);
                DialNumber(DialText);
            } else {
                std::int32_t evt = NumEvtDialHintEnd;
                RefreshNumState(evt, extension);
                std::string nothing;
                DialNumber(nothing);  // the client still hears of the click, with no number
            }
        } catch (...) {
        }
    }
}

void frmMain::TrayIcon_DblClick(std::int16_t& /*item*/, std::int16_t& /*Button*/,
                                std::int16_t& /*shift*/) {
    mnuMaximize_Click();
}

void frmMain::TrayIcon_ShortCutClick(std::int16_t& /*item*/, std::int16_t& /*shift*/) {
    platform_.SetForegroundWindow(hWnd_);
    const std::string number = GetClipboardNumber();
    std::string toDial = number.empty() ? std::string() : DialText;
    DialNumber(toDial);
    // A beep after every short dial would only be noise; it sounds when the
    // clipboard held no number, the one case where the gesture could not dial.
    if (number.empty()) platform_.Beep();
}

void frmMain::TrayIcon_OLEStartDrag(std::int16_t& /*item*/, IDragData& Data,
                                    std::int32_t& AllowedEffects) {
    if (!CurrentCall) return;
    Data.SetData(Party(), kClipboardFormatText);
    AllowedEffects = kDropEffectCopyOrMove;
}

void frmMain::SetLButton(bool& ActDial) {
    optDial->value = ActDial ? 1 : 0;
    optOpenPhone->value = ActDial ? 0 : 1;
    bLButtonDial = ActDial;
}

void frmMain::SetShortCut(bool& Active, std::int16_t& ShortCut) {
    optShift->value = ShortCut == kShortCutShift ? 1 : 0;
    optCtrl->value = ShortCut == kShortCutCtrl ? 1 : 0;
    optCtrlShift->value = ShortCut == kShortCutCtrlShift ? 1 : 0;
    chkRBActive->value = Active ? 1 : 0;
    optShift->enabled = optCtrl->enabled = optCtrlShift->enabled = Active;
}

}  // namespace qor
