// The client's dialer sessions: the main one drives the tray, every one may offer
// its own application menu in the popup.

#include "core/host/Runtime.h"
#include "core/tray/FormSupport.h"
#include "core/tray/frmMain.h"

namespace qor {

namespace {

bool SameKey(const std::string& a, const std::string& b) {
    // Keys of a collection compare without regard to letter case.
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

Variant CallByName(ILateBound& object, const std::string& name, std::vector<Variant> args = {}) {
    return object.Invoke(name, args);
}

// The number of entries of the session's application menu, asked afresh each time.
std::int32_t AppMenuCount(ILateBound& session) {
    return CallByName(*CallByName(session, "TheAppMenus").ToObject(), "count").ToInt32();
}

}  // namespace

void frmMain::addQorDialSession(dialer::SessionPtr& qorDialSession, std::int32_t& appConnectMode,
                                std::string& TheAppName) {
    dialer::ISession& session = Required(qorDialSession);
    std::string key = session.SessionKey();
    for (const auto& [existing, unused] : Sessions)
        if (SameKey(existing, key)) Raise(err::kKeyExists);
    Sessions.emplace_back(std::move(key), qorDialSession);
    if (appConnectMode == dialer::kConnectModeMain) {
        myNum.Attach(qorDialSession);
        MainAppName = TheAppName;
        mnuMaximize->tag = TheAppName;
    }
}

MenuEventPtr frmMain::GetMenuEvent() {
    return myMenuEvent;
}

void frmMain::myNum_SessionOpened() {
    mnuMaximize->visible = true;
}

void frmMain::RefreshSessionMenus() {
    if (Sessions.size() > 1) {
        std::int16_t index = 0;
        for (auto& [key, session] : Sessions) {
            if (MainAppName == "Server") continue;
            // Only two application menus exist; later sessions get none.
            if (index < 2 && AppMenuCount(*session) != 0) {
                sep3->visible = true;
                mnuAppSession[index]->caption = MainAppName;
                mnuAppSession[index]->visible = true;
                FillAppMenu(session, index);
            }
            ++index;
        }
        for (std::int16_t i = index; i < 2; ++i) {
            mnuAppSession[i]->caption.clear();
            mnuAppSession[i]->visible = false;
        }
    } else {
        for (MenuItem* element : mnuAppSession) element->visible = false;
        sep3->visible = false;
    }
}

void frmMain::FillAppMenu(dialer::SessionPtr& session, std::int16_t& index) {
    std::vector<MenuItem*>& items = AppMenuArray(index);
    MenuItem& parent = *mnuAppSession[index];
    for (std::int32_t j = 0; j < AppMenuCount(*session); ++j) {
        if (static_cast<std::size_t>(j) >= items.size()) {
            const std::string name = index == 0 ? "mnuApp1Menu1" : "mnuApp2Menu1";
            items.push_back(&parent.Add(name, "", true, static_cast<std::int16_t>(j)));
        }
        items[static_cast<std::size_t>(j)]->caption =
            CallByName(*CallByName(*session, "TheAppMenus").ToObject(), "Item", {Variant(j + 1)})
                .ToText();
        items[static_cast<std::size_t>(j)]->visible = true;
    }
}

void frmMain::mnuApp1Menu1_Click(std::int16_t Index) {
    App1MenuIndex = static_cast<std::int16_t>(Index + 1);
    EnableTimer();
}

void frmMain::mnuApp2Menu1_Click(std::int16_t Index) {
    App2MenuIndex = static_cast<std::int16_t>(Index + 1);
    EnableTimer();
}

void frmMain::SendAppMenuChoice(std::int32_t position, std::int16_t number) {
    platform_.SetForegroundWindow(hWnd_);
    if (position < 1 || static_cast<std::size_t>(position) > Sessions.size()) return;
    dialer::SessionPtr session = Sessions[static_cast<std::size_t>(position - 1)].second;
    Variant entry = CallByName(*session, "TheAppMenus", {Variant(number)});
    CallByName(*session, "SendMenuSelected", {entry});
}

}  // namespace qor
