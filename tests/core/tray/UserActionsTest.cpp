// What the user does from the tray: menu commands, mouse gestures, application
// menus and live configuration changes, as the client sees them.

#include "core/settings/CRegSettings.h"
#include "core/settings/ConfigMessages.h"
#include "core/tray/TrayFixture.h"

namespace qor::testing {
namespace {

TEST_F(TrayTest, AnswerTestsTheCallsFlagsAndComplainsWithoutACall) {
    StartWithExtension();
    Connect();
    handlers().mnuAnswer_Click();
    handlers().mnuHangUp_Click();
    EXPECT_EQ(platform.messageBoxes,
              (std::vector<std::string>{"Trying to answer... but there is no Current Call",
                                        "Trying to HangUp... but there is no Current Call"}));
    auto call = phone.IncomingCall("0301234");
    pump.Pump();
    struct Case {
        std::int32_t flags;
        const char* raised;  // nullptr: nothing
    } cases[] = {{1 | 8, "Answer"}, {8, "Reconnect"}, {64, nullptr}, {0, nullptr}};
    for (const auto& c : cases) {
        client.events.clear();
        call->flags = c.flags;
        handlers().mnuAnswer_Click();
        EXPECT_EQ(client.events,
                  c.raised ? std::vector<std::string>{std::string(c.raised) + " " + call->id}
                           : std::vector<std::string>{})
            << "flags " << c.flags;
    }
    client.events.clear();
    call->flags = dialer::kActionConsultation;
    handlers().mnuHangUp_Click();  // the menu makes no consultation distinction
    EXPECT_EQ(client.events, (std::vector<std::string>{"Clear " + call->id}));
}

TEST_F(TrayTest, MessageBoxesCarryTheComponentsName) {
    StartWithExtension();
    handlers().mnuHangUp_Click();
    EXPECT_EQ(platform.messageBoxTitles, std::vector<std::string>{"qorIcon"});
}

// A handler that changes a by-reference argument changes the tray's own variable:
// what the tray does next shows it.
TEST_F(TrayTest, HandlersThatChangeTheirArgumentsChangeTheTraysVariables) {
    StartWithExtension();
    Connect();
    auto call = phone.IncomingCall("0301234");
    pump.Pump();
    // Answer and Clear hand back nothing: the tray has no current call any more.
    client.onCallEvent = [](const std::string&, dialer::CallPtr& c) { c = nullptr; };
    handlers().mnuAnswer_Click();
    handlers().mnuAnswer_Click();
    handlers().mnuHangUp_Click();
    EXPECT_EQ(client.events, (std::vector<std::string>{"Answer " + call->id}));
    EXPECT_EQ(platform.messageBoxes,
              (std::vector<std::string>{"Trying to answer... but there is no Current Call",
                                        "Trying to HangUp... but there is no Current Call"}));

    // CloseApp lets go of the session: a later Maximize has no session to bring up.
    client.events.clear();
    client.onSessionEvent = [](const std::string&, dialer::SessionPtr& s) { s = nullptr; };
    handlers().mnuClose_Click();
    handlers().mnuMaximize_Click();
    EXPECT_FALSE(platform.FireTimer()) << "nothing is pending";
    EXPECT_EQ(client.events, (std::vector<std::string>{"CloseApp main"}));

    // The number texts and the calls collection: the changed values are dialled next.
    client.events.clear();
    client.onDial = [](dialer::CallsPtr* calls, std::string& number) {
        number = calls ? "0307777" : "0305555";
        if (calls) *calls = nullptr;
    };
    platform.SetClipboardText("0301111");
    handlers().GetClipboardNumber();
    handlers().mnuDial_Click();
    Tick();
    handlers().mnuDial_Click();
    Tick();
    phone.PlaceCall("0302222");
    pump.Pump();
    handlers().mnuBis_Click();
    Tick();
    handlers().mnuBis_Click();
    Tick();
    EXPECT_EQ(client.events,
              (std::vector<std::string>{"MakeCall 0301111", "MakeCall 0305555", "MakeCall2 0302222",
                                        "MakeCall2 0307777 (no calls)"}));
}

TEST_F(TrayTest, RedialBeepsWithoutANumberAndPropertiesAndExitReachTheClient) {
    StartWithExtension();
    handlers().mnuBis_Click();
    Tick();
    EXPECT_EQ(platform.beeps, 1);
    EXPECT_TRUE(client.events.empty());
    handlers().mnuProperties_Click();
    handlers().mnuClose_Click();
    handlers().mnuMaximize_Click();
    Tick();
    EXPECT_EQ(client.events,
              (std::vector<std::string>{"Configuration", "CloseApp main", "Maximize main"}));
}

TEST_F(TrayTest, RightClickPopsTheMenuWithItsDefaultItemAndRunsTheChoice) {
    StartWithExtension();
    Connect();
    bool showingWhileOpen = false;
    platform.onPopup = [&](const MenuItem& root, const MenuItem*) -> const MenuItem* {
        showingWhileOpen = form().MenuShowing();
        for (const auto& child : root.children)
            if (child->name == "mnuProperties") return child.get();
        return nullptr;
    };
    components.trayIcon->MouseDown(kButtonRight);
    ASSERT_EQ(platform.popups.size(), 1u);
    const auto& shown = platform.popups[0];
    EXPECT_EQ(shown.defaultItem, "mnuDial");
    EXPECT_EQ(std::count(shown.visibleItems.begin(), shown.visibleItems.end(), "mnuOffline"), 0)
        << "the offline start is hidden while a default item is offered";
    EXPECT_EQ(std::count(shown.visibleItems.begin(), shown.visibleItems.end(), "sep1"), 1);
    EXPECT_TRUE(showingWhileOpen);
    EXPECT_FALSE(form().MenuShowing());
    EXPECT_EQ(client.events, (std::vector<std::string>{"Configuration"}));
}

TEST_F(TrayTest, LeftClickEndsACallOrItsConsultation) {
    StartWithExtension();
    Connect();
    auto call = phone.PlaceCall("0301234");
    pump.Pump();
    call->flags = dialer::kActionConsultation;
    components.trayIcon->Click(kButtonLeft);
    call->flags = 0;
    components.trayIcon->Click(kButtonLeft);
    EXPECT_EQ(client.events,
              (std::vector<std::string>{"CancelConsultation " + call->id, "Clear " + call->id}));
    components.trayIcon->Click(kButtonRight);  // only the left button clicks
    EXPECT_EQ(client.events.size(), 2u);
}

TEST_F(TrayTest, OpenWindowModeClicksAndDoubleClicksMaximize) {
    StartWithExtension(/*leftClickDials=*/false);
    components.trayIcon->Click(kButtonLeft);
    Tick();
    components.trayIcon->DblClick();
    Tick();
    EXPECT_EQ(client.events, (std::vector<std::string>{"Maximize main", "Maximize main"}));
}

TEST_F(TrayTest, ClipboardNumberRulesAndTheDialHint) {
    StartWithExtension();
    Connect();
    struct Case {
        std::string clipboard;
        std::string caption;  // mnuDial after hovering; a long text is no number
    } cases[] = {{"0301234", "Dial 0301234"},
                 {std::string(29, '9'), "Dial " + std::string(29, '9')},
                 {std::string(30, '8'), "Dial"},
                 {"0301234", "Dial 0301234"},
                 {"0301234", "Dial 0301234"}};
    for (const auto& c : cases) {
        platform.SetClipboardText(c.clipboard);
        components.trayIcon->MouseMove(0);
        EXPECT_EQ(Item("mnuDial").caption, c.caption) << c.clipboard.size();
        if (c.caption != "Dial") {
            EXPECT_EQ(tray().toolTip, c.caption);
        }
    }
    platform.ClearClipboard();
    components.trayIcon->Click(kButtonLeft);  // no number: the client still hears of it
    EXPECT_EQ(client.events, (std::vector<std::string>{"MakeCall "}));
}

TEST_F(TrayTest, ShortDialDialsTheClipboardAndBeepsOnlyWithoutANumber) {
    StartWithExtension();
    Connect();
    platform.SetClipboardText("0301234");
    components.trayIcon->ShortCutClick(kShortCutCtrl);
    EXPECT_EQ(platform.beeps, 0);
    platform.ClearClipboard();
    components.trayIcon->ShortCutClick(kShortCutCtrl);
    EXPECT_EQ(platform.beeps, 1);
    EXPECT_EQ(client.events, (std::vector<std::string>{"MakeCall 0301234", "MakeCall "}));
}

TEST_F(TrayTest, DragStartsOnTheSecondMoveWithAPartyToOffer) {
    StartWithExtension();
    Connect();
    phone.IncomingCall("0301234");
    pump.Pump();
    components.trayIcon->MouseDown(kButtonLeft);
    components.trayIcon->MouseMove(0);
    EXPECT_EQ(tray().oleDragCalls, 0) << "one move is no drag";
    components.trayIcon->MouseMove(0);
    ASSERT_EQ(tray().drags.size(), 1u);
    EXPECT_EQ(tray().drags[0].text, "0301234");
    EXPECT_EQ(tray().drags[0].format, kClipboardFormatText);
    EXPECT_EQ(tray().drags[0].allowedEffects, kDropEffectCopyOrMove);
    components.trayIcon->MouseDown(kButtonLeft);
    components.trayIcon->MouseMove(0);
    components.trayIcon->MouseUp(kButtonLeft);
    components.trayIcon->MouseMove(0);
    EXPECT_EQ(tray().drags.size(), 1u) << "a release ends the tracking";
}

TEST_F(TrayTest, ApplicationMenusReachTheirSessionsOnePerTick) {
    StartWithExtension();
    auto crm = phone.OpenSession("crm", "CRM", {"Open contact", "New note", "Search"});
    auto help = phone.OpenSession("help", "Helpdesk", {"New ticket"});
    for (auto& s : {crm, help}) {
        dialer::SessionPtr ds = s;
        std::int32_t mode = 2;
        std::string name = s->appName;
        launcher->addSession(ds, mode, name);
    }
    dialer::SessionPtr duplicate = phone.OpenSession("CRM", "Other", {});
    std::int32_t mode = 2;
    std::string name = "Other";
    EXPECT_THROW(launcher->addSession(duplicate, mode, name), QorError) << "keys ignore case";

    components.trayIcon->MouseDown(kButtonRight);
    const auto& shown = platform.popups.back().visibleItems;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "mnuAppSession(1)"), 1);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "sep3"), 1);
    // The main session has no menu; the sessions at positions 2 and 3 fill the two menus.
    handlers().mnuApp2Menu1_Click(2);
    handlers().mnuApp1Menu1_Click(0);
    Tick();
    Tick();
    EXPECT_EQ(crm->menusSelected, (std::vector<std::string>{"Search"}));
    EXPECT_TRUE(help->menusSelected.empty()) << "third session: no menu of its own";
}

TEST_F(TrayTest, ConfigurationMessageReloadsTheFlaggedSettingsAndIsAlwaysPassedOn) {
    StartWithExtension(/*leftClickDials=*/false);
    SetSetting(kQorDial, "RButtonActive", "True");
    SetSetting(kQorDial, "RButtonShortCut", "3");
    {
        CRegSettings settings(platform);
        settings.AppName("5521\\QORDial");
        ASSERT_TRUE(settings.DeleteSetting("Settings", "LButtonDial"));
    }
    struct Case {
        std::uintptr_t wParam;
        std::intptr_t lParam;
        bool leftReloaded, rightReloaded;
    } cases[] = {{0, 0, false, false}, {0, 8, false, false}, {1u << 24, 7, false, false},
                 {0, 1, true, false},  {0, 2, false, true},  {0, 4, false, true},
                 {0, 6, false, true},  {0, 7, true, true}};
    const WindowHandle w = form().hWnd();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lParam);
        bool resetLeft = false;
        form().SetLButton(resetLeft);
        tray().shortCutActive = false;
        tray().shortCut = 1;
        const auto passed = platform.receivedByOriginal.size();
        platform.SendMessage(w, kMsgConfigChanged, c.wParam, c.lParam);
        EXPECT_EQ(platform.receivedByOriginal.size(), passed + 1);
        // A missing LButtonDial turns left-click dialling on through this path.
        EXPECT_EQ(form().LButtonDial(), c.leftReloaded);
        EXPECT_EQ(tray().shortCutActive, c.rightReloaded);
        EXPECT_EQ(tray().shortCut, c.rightReloaded ? 3 : 1);
        EXPECT_EQ(form().Control("optCtrlShift")->value, c.rightReloaded ? 1 : 0);
    }
    SetSetting(kQorDial, "RButtonShortCut", "many");
    const auto reports = components.logWriter->lines.size();
    platform.SendMessage(w, kMsgConfigChanged, 0, 2);
    EXPECT_EQ(components.logWriter->lines.size(), reports + 1) << "contained and reported";
    EXPECT_EQ(platform.receivedByOriginal.back().msg, kMsgConfigChanged);
}

}  // namespace
}  // namespace qor::testing
