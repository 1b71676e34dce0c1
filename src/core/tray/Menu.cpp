// The popup menu tree, the hidden caption-carrying controls and the captions.

#include <string_view>

#include "core/host/Runtime.h"
#include "core/tray/FormSupport.h"
#include "core/tray/frmMain.h"

namespace qor {

namespace {

// The default text of a caption literal "#01109#Dial"; other texts as they are.
std::string DefaultTextOf(std::string_view literal) {
    if (literal.size() >= 7 && literal[0] == '#' && literal[6] == '#') literal.remove_prefix(7);
    return std::string(literal);
}

void VisitCaptions(MenuItem& item, const std::function<void(std::string&)>& visit) {
    visit(item.caption);
    for (auto& child : item.children) VisitCaptions(*child, visit);
}

}  // namespace

void frmMain::BuildMenuTree() {
    // Every item exists from the start; only the application arrays grow later.
    mnuA5521 = MenuItem{};
    mnuA5521.name = "mnuA5521";
    mnuA5521.caption = "#01000#Dialwise";
    mnuBis = &mnuA5521.Add("mnuBis", "#01110#Bis", false);
    mnuDial = &mnuA5521.Add("mnuDial", "#01109#Dial", false);
    mnuAnswer = &mnuA5521.Add("mnuAnswer", "#01108#Answer", false);
    mnuHangUp = &mnuA5521.Add("mnuHangUp", "#01107#Hang Up", false);
    sep1 = &mnuA5521.Add("sep1", "-", false);
    mnuAppSession[0] = &mnuA5521.Add("mnuAppSession", "#01106#AppSession1", false, 0);
    mnuApp1Menu1 = {&mnuAppSession[0]->Add("mnuApp1Menu1", "#01105#AppMenu1", true, 0)};
    mnuAppSession[1] = &mnuA5521.Add("mnuAppSession", "#01104#AppSession2", false, 1);
    mnuApp2Menu1 = {&mnuAppSession[1]->Add("mnuApp2Menu1", "#01103#AppMenu1", true, 0)};
    sep3 = &mnuA5521.Add("sep3", "-", false);
    mnuMaximize = &mnuA5521.Add("mnuMaximize", "#01102#Maximize", false);
    mnuConnect = &mnuA5521.Add("mnuConnect", "#01111#Connect", false);
    mnuProperties = &mnuA5521.Add("mnuProperties", "#01101#Properties", false);
    mnuOffline = &mnuA5521.Add("mnuOffline", "Start in offline mode", true);
    sep4 = &mnuA5521.Add("sep4", "-", true);
    mnuClose = &mnuA5521.Add("mnuClose", "#01100#Close", true);

    // The hidden controls only carry translated texts and mirror the mouse settings.
    controls_ = {
        {"optOpenPhone", "#01212#Left click opens the client", "", 1, true},
        {"optDial", "#01213#Left click dials", "", 0, true},
        {"chkRBActive", "#01214#Dial with the right button", "", 0, true},
        {"optCtrl", "#01215#Ctrl", "", 0, true},
        {"optCtrlShift", "#01216#Ctrl+Shift", "", 0, true},
        {"optShift", "#01217#Shift", "", 0, true},
        {"cboPreferredLineName", "", "", 0, true},
        {"lblMonitorReport", "#01208#disconnected", "", 0, true},
    };
    auto find = [this](std::string_view name) {
        for (auto& c : controls_)
            if (c.name == name) return &c;
        return static_cast<FormControl*>(nullptr);
    };
    optOpenPhone = find("optOpenPhone");
    optDial = find("optDial");
    chkRBActive = find("chkRBActive");
    optCtrl = find("optCtrl");
    optCtrlShift = find("optCtrlShift");
    optShift = find("optShift");
    cboPreferredLineName = find("cboPreferredLineName");
    lblMonitorReport = find("lblMonitorReport");
}

void frmMain::ForEachCaption(const std::function<void(std::string&)>& visit) {
    VisitCaptions(mnuA5521, visit);
    for (auto& control : controls_) visit(control.caption);
}

const FormControl* frmMain::Control(const std::string& name) const {
    for (const auto& c : controls_)
        if (c.name == name) return &c;
    return nullptr;
}

std::string frmMain::TranslateCaption(std::string_view literal) {
    // Without the icon library no translator was ever created; the default text
    // is still better than showing the raw literal.
    if (!runtime_.CaptionTranslator) return DefaultTextOf(literal);
    return WithLiteralArgument(literal, [&](std::string& argument) {
        return runtime_.CaptionTranslator->Translate(argument);
    });
}

std::string frmMain::TranslateStringTable(std::string_view literal) {
    IStringTable& table = Required(StringTable);
    return WithLiteralArgument(literal,
                               [&](std::string& argument) { return table.Translate(argument); });
}

template <class Translate>
std::string frmMain::WithLiteralArgument(std::string_view literal, Translate&& translate) {
    // The translators take the literal as a variable they may change. Lending them
    // a buffer kept between calls, instead of a fresh copy, makes a translation
    // cost no allocation once the buffer has grown; taken out while lent, it is
    // never shared with a translation that starts meanwhile.
    std::string argument = std::move(literalBuffer_);
    argument.clear();
    argument.append(literal);
    std::string text = translate(argument);
    literalBuffer_ = std::move(argument);
    return text;
}

std::vector<MenuItem*>& frmMain::AppMenuArray(std::int16_t index) {
    return index == 0 ? mnuApp1Menu1 : mnuApp2Menu1;
}

ITrayIconItem* frmMain::TrayItem() const {
    return TrayIcon ? &TrayIcon->Item(1) : nullptr;
}

PicturePtr frmMain::Picture(std::int16_t iconId) {
    for (const auto& [id, picture] : colIcons)
        if (id == iconId) return picture;
    Raise(err::kInvalidCall);  // what a collection says for a missing key
}

}  // namespace qor
