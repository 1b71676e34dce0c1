// The eight presentations: first the menu side (which of Dial, Answer, Hang Up and
// Connect is offered, the default item), then the tray icon side (picture,
// blinking picture, blinking, tooltip). Every step that fails is skipped.

#include "core/host/Runtime.h"
#include "core/tray/FormSupport.h"
#include "core/tray/frmMain.h"

namespace qor {

namespace {

enum class Show : std::uint8_t { Hide, Show, Keep };

void Apply(MenuItem* item, Show how) {
    if (item && how != Show::Keep) item->visible = (how == Show::Show);
}

}  // namespace

void frmMain::ApplyPresentation(Presentation p, std::int16_t& entryId) {
    switch (p) {
        case Presentation::None:
            break;
        case Presentation::NotAvailable:
            ShowNotAvailable(entryId);
            break;
        case Presentation::NotConnected:
            ShowNotConnected(entryId);
            break;
        case Presentation::Idle:
            ShowIdle(entryId);
            break;
        case Presentation::Ringing:
            ShowRinging(entryId);
            break;
        case Presentation::Calling:
            ShowCalling(entryId);
            break;
        case Presentation::Talking:
            ShowTalking(entryId);
            break;
        case Presentation::OnHold:
            ShowOnHold(entryId);
            break;
        case Presentation::Cleared:
            ShowCleared(entryId);
            break;
        case Presentation::Hide:
            HideTrayIcon(entryId);
            break;
    }
}

dialer::ExtensionPtr frmMain::ExtensionAt(std::int16_t entryId) {
    // Returned as an owner: the collection may hand out a fresh object on every call.
    dialer::ExtensionPtr extension = Required(NumExts).Item(Variant(entryId));
    if (!extension) Raise(err::kObjectNotSet);
    return extension;
}

std::string frmMain::ExtensionNumber(std::int16_t entryId) {
    return ExtensionAt(entryId)->Number();
}

std::string frmMain::Party() {
    return Required(Required(CurrentCall.get()).RemoteAddress()).Text();
}

void frmMain::ShowNotAvailable(std::int16_t& entryId) {
    Apply(mnuAnswer, Show::Hide);
    Apply(mnuHangUp, Show::Hide);
    Apply(mnuConnect, Show::Hide);
    Apply(mnuDial, Show::Hide);
    // Connect becomes the default although it is hidden: the next popup shows it again.
    if (bLButtonDial) mnuDefault = mnuConnect;
    SkipOnError([&] { Required(TrayItem()).SetIcon(Picture(iconid::kNotAvailable)); });
    SkipOnError([&] {
        Required(TrayItem())
            .SetToolTip(TranslateCaption("#01001#Extension:") + " " + ExtensionNumber(entryId) +
                        " (" + TranslateStringTable("#05541#Not available") + ")");
    });
    SkipOnError([&] { Required(TrayItem()).SetBlinking(false); });
    SkipOnError([&] { cboPreferredLineName->text = ExtensionAt(entryId)->LineName(); });
}

void frmMain::ShowNotConnected(std::int16_t& entryId) {
    Apply(mnuAnswer, Show::Hide);
    Apply(mnuHangUp, Show::Hide);
    Apply(mnuConnect, Show::Show);
    Apply(mnuDial, Show::Hide);
    if (bLButtonDial) mnuDefault = mnuConnect;
    SkipOnError([&] { Required(TrayItem()).SetIcon(Picture(iconid::kNotConnected)); });
    SkipOnError([&] {
        Required(TrayItem())
            .SetToolTip(mnuMaximize->tag + " " + TranslateCaption("#01201#is not connected"));
    });
    SkipOnError([&] { Required(TrayItem()).SetBlinking(false); });
    SkipOnError([&] { cboPreferredLineName->text = ExtensionAt(entryId)->LineName(); });
}

void frmMain::ShowIdle(std::int16_t& entryId) {
    Apply(mnuAnswer, Show::Hide);
    Apply(mnuHangUp, Show::Hide);
    Apply(mnuConnect, Show::Hide);
    Apply(mnuDial, Show::Show);
    if (bLButtonDial) mnuDefault = mnuDial;
    SkipOnError([&] { mnuDial->caption = TranslateCaption("#01109#Dial"); });
    if (IdleDisplayMode == IdleDialHint) {
        SkipOnError([&] {
            mnuDial->caption = TranslateCaption("#01109#Dial") + " " + GetClipboardNumber();
        });
    }

    switch (IdleDisplayMode) {
        case IdlePlain:
            SkipOnError([&] {
                Required(TrayItem())
                    .SetToolTip(TranslateCaption("#01001#Extension:") + " " +
                                ExtensionNumber(entryId));
            });
            SkipOnError([&] { Required(TrayItem()).SetIcon(Picture(iconid::kIdle)); });
            break;
        case IdleForwarded:
            SkipOnError([&] {
                Required(TrayItem())
                    .SetIcon(ForwardIconID != 0
                                 ? Required(ObjIcons).GetIconSized(ForwardIconID, iconid::kTraySize)
                                 : Picture(iconid::kForwarded));
            });
            SkipOnError([&] { Required(TrayItem()).SetToolTip(GetForwardText()); });
            break;
        case IdleInfo: {
            SkipOnError([&] { Required(TrayItem()).SetToolTip(NumInfoText); });
            bool voice = false, infos = false;
            SkipOnError([&] {
                voice = !ExtensionAt(entryId)->CustomProperty("Voice Messages").ToText().empty();
            });
            if (voice) {
                SkipOnError([&] { Required(TrayItem()).SetIcon(Picture(iconid::kVoiceMessages)); });
                if (NumBlinking) {
                    SkipOnError([&] {
                        Required(TrayItem()).SetBlinkIcon(Picture(iconid::kVoiceMessagesBlink));
                    });
                    SkipOnError([&] { Required(TrayItem()).SetBlinking(true); });
                }
            } else {
                SkipOnError([&] {
                    infos = !ExtensionAt(entryId)->CustomProperty("App Infos").ToText().empty();
                });
                if (infos)
                    SkipOnError(
                        [&] { Required(TrayItem()).SetIcon(Picture(iconid::kInformation)); });
            }
            break;
        }
        case IdleDialHint:
            if (bLButtonDial)
                SkipOnError([&] { Required(TrayItem()).SetToolTip(mnuDial->caption); });
            break;
        default:  // IdleKeep and anything larger: icon and tooltip stay
            break;
    }
    if (!NumBlinking) SkipOnError([&] { Required(TrayItem()).SetBlinking(false); });
}

std::string frmMain::CallTooltip(const char* actionLiteral) {
    return bLButtonDial ? TranslateCaption(actionLiteral) + " " + Party() : Party();
}

void frmMain::ShowRinging(std::int16_t& /*entryId*/) {
    Apply(mnuAnswer, Show::Show);
    Apply(mnuHangUp, Show::Hide);
    Apply(mnuDial, Show::Hide);
    if (bLButtonDial) mnuDefault = mnuAnswer;
    SkipOnError([&] { Required(TrayItem()).SetIcon(Picture(iconid::kRinging)); });
    SkipOnError([&] { Required(TrayItem()).SetBlinkIcon(Picture(iconid::kRingingBlink)); });
    SkipOnError([&] { Required(TrayItem()).SetBlinking(true); });
    SkipOnError([&] { Required(TrayItem()).SetToolTip(CallTooltip("#01108#Answer")); });
}

// Calling and talking differ only in the picture and in offering Dial.
void frmMain::ShowCallInProgress(std::int16_t iconId, bool offerDial) {
    Apply(mnuAnswer, Show::Hide);
    Apply(mnuHangUp, Show::Show);
    Apply(mnuDial, offerDial ? Show::Show : Show::Hide);
    if (bLButtonDial) mnuDefault = mnuHangUp;
    SkipOnError([&] { Required(TrayItem()).SetIcon(Picture(iconId)); });
    SkipOnError([&] { Required(TrayItem()).SetBlinkIcon(nullptr); });
    SkipOnError([&] { Required(TrayItem()).SetBlinking(false); });
    SkipOnError([&] { Required(TrayItem()).SetToolTip(CallTooltip("#01107#Hang Up")); });
}

void frmMain::ShowCalling(std::int16_t& /*entryId*/) {
    ShowCallInProgress(iconid::kCallInProgress, false);
}

void frmMain::ShowTalking(std::int16_t& /*entryId*/) {
    ShowCallInProgress(iconid::kTalking, true);
}

void frmMain::ShowOnHold(std::int16_t& /*entryId*/) {
    Apply(mnuAnswer, Show::Show);
    Apply(mnuHangUp, Show::Hide);
    Apply(mnuDial, Show::Show);
    if (bLButtonDial) mnuDefault = mnuAnswer;
    SkipOnError([&] { Required(TrayItem()).SetBlinking(false); });
    SkipOnError([&] { Required(TrayItem()).SetIcon(Picture(iconid::kCallInProgress)); });
}

void frmMain::ShowCleared(std::int16_t& entryId) {
    ShowIdle(entryId);
}

void frmMain::HideTrayIcon(std::int16_t& /*entryId*/) {
    SkipOnError([&] { Required(TrayItem()).SetVisible(false); });
}

}  // namespace qor
