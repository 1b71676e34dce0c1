// The extension state machine: its table checked cell by cell against an
// independent transcription, and what the tray shows along a call's road.

#include "core/tray/NumState.h"
#include "core/tray/TrayFixture.h"

namespace qor::testing {
namespace {

// Per state, events 0..16: the next state, and the presentation applied
// (A not available, C not connected, I idle, R ringing, L calling, T talking,
// H on hold, X cleared, D hide, - none).
struct Row {
    const char* next;
    const char* shows;
};
constexpr Row kExpected[10] = {
    {"01002345900000090", "ACAARHLTIAAAAAAIA"},  // 0 not available
    {"01111111111111111", "ACCCCCCCCCCCCCCCC"},  // 1 not connected
    {"01222245226222220", "ACRRRRLTRRXRRRRRA"},  // 2 ringing
    {"01332335336333330", "ACHHRHHTHHXHHHHHA"},  // 3 on hold
    {"01444445446444440", "ACLLLLLTLLXLLLLLA"},  // 4 calling
    {"01552355556555550", "ACTTRHTTTTXTTTTTA"},  // 5 talking
    {"01992345999999990", "ACXXRHLTXXXXXXXIA"},  // 6 cleared
    {"01777777777777777", "AC---------------"},  // 7 waiting
    {"88888888888788888", "DDDDDDDDDDD-DDDDD"},  // 8 hidden
    {"91992345999999990", "ICIIRHLTIIIIIIIIA"},  // 9 idle
};

char Letter(Presentation p) {
    switch (p) {
        case Presentation::NotAvailable:
            return 'A';
        case Presentation::NotConnected:
            return 'C';
        case Presentation::Idle:
            return 'I';
        case Presentation::Ringing:
            return 'R';
        case Presentation::Calling:
            return 'L';
        case Presentation::Talking:
            return 'T';
        case Presentation::OnHold:
            return 'H';
        case Presentation::Cleared:
            return 'X';
        case Presentation::Hide:
            return 'D';
        case Presentation::None:
            return '-';
    }
    return '?';
}

TEST(NumStateTable, EveryStateAndEventLeadsWhereTheTableSays) {
    for (int state = 0; state < 10; ++state) {
        for (int evt = 0; evt <= 16; ++evt) {
            const auto t = LookupTransition(state, evt);
            ASSERT_TRUE(t);
            EXPECT_EQ(t->next, kExpected[state].next[evt] - '0')
                << "state " << state << " evt " << evt;
            EXPECT_EQ(Letter(t->presentation), kExpected[state].shows[evt])
                << "state " << state << " evt " << evt;
            // Only the unrouted events of states 6 and 9 recompute the idle mode.
            const char* updates = state == 6   ? "00110000111111100"
                                  : state == 9 ? "10110000111111110"
                                               : "00000000000000000";
            EXPECT_EQ(t->updateIdleMode, updates[evt] == '1')
                << "state " << state << " evt " << evt;
        }
    }
    EXPECT_FALSE(LookupTransition(10, 0));
    EXPECT_FALSE(LookupTransition(-1, 0));
}

TEST(NumStateTable, IdleModeUpdate) {
    int asked = 0;
    auto fromExtension = [&] {
        ++asked;
        return std::int32_t{IdleForwarded};
    };
    EXPECT_EQ(UpdatedIdleMode(IdlePlain, NumEvtInfo, fromExtension), IdleInfo);
    EXPECT_EQ(UpdatedIdleMode(IdlePlain, NumEvtForwardSet, fromExtension), IdleForwarded);
    EXPECT_EQ(UpdatedIdleMode(IdlePlain, NumEvtDialHint, fromExtension), IdleDialHint);
    EXPECT_EQ(UpdatedIdleMode(IdleInfo, NumEvtRefresh, fromExtension), IdleInfo);
    EXPECT_EQ(UpdatedIdleMode(IdleInfo, NumEvtCurrentCallSet, fromExtension), IdleKeep);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(UpdatedIdleMode(IdleDialHint, NumEvtDialHintEnd, fromExtension), IdleForwarded);
    EXPECT_EQ(UpdatedIdleMode(IdleForwarded, NumEvtForwardCleared, fromExtension), IdleForwarded);
    EXPECT_EQ(asked, 2);
}

TEST_F(TrayTest, StartShowsNotAvailableThenConnectGoesIdle) {
    StartWithExtension();
    EXPECT_EQ(form().CurrentState(), NumStateNotAvailable);
    EXPECT_EQ(Icon(), 10021);
    EXPECT_EQ(tray().toolTip, "Extension: 201 (Not available)");
    EXPECT_EQ(form().DefaultMenuItem()->name, "mnuConnect");
    Connect();
    EXPECT_EQ(form().CurrentState(), NumStateIdle);
    EXPECT_EQ(Icon(), 10011);
    EXPECT_EQ(tray().toolTip, "Extension: 201");
    EXPECT_TRUE(Item("mnuDial").visible);
    EXPECT_FALSE(Item("mnuConnect").visible);
    EXPECT_EQ(form().Control("lblMonitorReport")->caption, "201: connected");
}

TEST_F(TrayTest, TheRoadOfAnIncomingCall) {
    StartWithExtension();
    Connect();
    client.onCallEvent = [&](const std::string& name, dialer::CallPtr& c) {
        auto call = std::dynamic_pointer_cast<sim::SimCall>(c);
        if (name == "Answer") phone.Answer(call);
        if (name == "Clear") phone.Clear(call);
    };
    auto call = phone.IncomingCall("0301234");
    pump.Pump();
    EXPECT_EQ(form().CurrentState(), NumStateRinging);
    EXPECT_EQ(Icon(), 10031);
    ASSERT_TRUE(tray().blinkIcon);
    EXPECT_EQ(tray().blinkIcon->IconId(), 10032);
    EXPECT_TRUE(tray().blinking);
    EXPECT_EQ(tray().toolTip, "Answer 0301234");
    EXPECT_EQ(form().DefaultMenuItem()->name, "mnuAnswer");

    components.trayIcon->Click(kButtonLeft);
    pump.Pump();
    EXPECT_EQ(client.events, (std::vector<std::string>{"Answer " + call->id}));
    EXPECT_EQ(form().CurrentState(), NumStateTalking);
    EXPECT_EQ(Icon(), 10052);
    EXPECT_FALSE(tray().blinking);
    EXPECT_EQ(tray().toolTip, "Hang Up 0301234");
    EXPECT_TRUE(Item("mnuHangUp").visible);
    EXPECT_FALSE(Item("mnuAnswer").visible);

    phone.Hold(call);
    pump.Pump();
    EXPECT_EQ(form().CurrentState(), NumStateOnHold);
    EXPECT_EQ(Icon(), 10041);
    EXPECT_TRUE(Item("mnuAnswer").visible);
    phone.Retrieve(call);
    pump.Pump();
    EXPECT_EQ(form().CurrentState(), NumStateTalking);

    phone.Clear(call);
    pump.Pump();
    EXPECT_EQ(Icon(), 10011) << "the cleared state shows the idle picture";
    EXPECT_EQ(tray().toolTip, "Extension: 201");
    Feed(NumEvtRefresh);
    EXPECT_EQ(form().CurrentState(), NumStateIdle);
}

TEST_F(TrayTest, ForwardingAndMessagesChangeTheIdleDisplay) {
    StartWithExtension();
    Connect();
    std::string forward = "Forward:to 0301234";
    launcher->SetTooltip(forward);
    EXPECT_EQ(Icon(), 10061);
    EXPECT_EQ(tray().toolTip, "to 0301234");
    forward = "Forward:";
    launcher->SetTooltip(forward);
    EXPECT_EQ(Icon(), 10011);
    EXPECT_EQ(tray().toolTip, "Extension: 201");
    std::string plain = "forward:lower case is a plain tooltip";
    launcher->SetTooltip(plain);
    EXPECT_EQ(tray().toolTip, plain);

    phone.SetCustomProperty("Voice Messages", "2 new messages");
    phone.SetCustomProperty("Blinking", "1");
    pump.Pump();
    EXPECT_EQ(Icon(), 10111);
    ASSERT_TRUE(tray().blinkIcon);
    EXPECT_EQ(tray().blinkIcon->IconId(), 10112);
    EXPECT_TRUE(tray().blinking);
    EXPECT_EQ(tray().toolTip, "2 new messages");
    phone.SetCustomProperty("Blinking", "");
    phone.SetCustomProperty("Voice Messages", "");
    phone.SetCustomProperty("App Infos", "Back at 3");
    pump.Pump();
    EXPECT_EQ(Icon(), 10071);
    EXPECT_FALSE(tray().blinking);
    EXPECT_EQ(tray().toolTip, "Back at 3");
}

// Leaving the icon while not available looks the extension up by its number,
// which is no entry id: each refresh step is skipped whole, the display stays.
struct LeaveCase {
    const char* stored;  // "forward", "info" or "nothing"
    const char* toolTipAfter;
};
void PrintTo(const LeaveCase& c, std::ostream* os) {
    *os << c.stored;
}
class LeaveWhileNotAvailable : public TrayTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeaveWhileNotAvailable, KeepsTheDisplay) {
    const std::string stored = GetParam().stored;
    StartWithExtension();
    ASSERT_EQ(form().CurrentState(), NumStateNotAvailable);
    if (stored == "forward") {
        std::string forward = "Forward:to 0301234";
        launcher->SetTooltip(forward);  // idle, forwarded
        phone.SetConnectionState(0);    // and not available again
    } else if (stored == "info") {
        phone.SetCustomProperty("App Infos", "Back at 3");
    }
    pump.Pump();
    ASSERT_EQ(form().CurrentState(), NumStateNotAvailable);
    std::string plain = "hello";
    launcher->SetTooltip(plain);
    components.trayIcon->MouseMove(-1);
    EXPECT_EQ(form().CurrentState(), NumStateNotAvailable);
    EXPECT_EQ(tray().toolTip, GetParam().toolTipAfter);
}

INSTANTIATE_TEST_SUITE_P(Stored, LeaveWhileNotAvailable,
                         ::testing::Values(LeaveCase{"forward", "to 0301234"},
                                           LeaveCase{"info", "hello"},
                                           LeaveCase{"nothing", "hello"}),
                         [](const auto& info) { return std::string(info.param.stored); });

TEST_F(TrayTest, HiddenFormOnlyLeavesThroughCurrentCallSet) {
    Create();
    auto e = phone.AddExtension("201", "Line 201");
    // Reach NumExts without Start's own events: add the session, then feed by hand.
    dialer::SessionPtr s = phone.OpenSession("main", "QORPhone", {});
    std::int32_t mode = 1;
    std::string name = "QORPhone";
    launcher->addSession(s, mode, name);
    ASSERT_TRUE(tray().visible);
    Feed(NumEvtOffering);  // every event but 11 hides the icon again
    EXPECT_EQ(form().CurrentState(), NumStateHidden);
    EXPECT_FALSE(tray().visible);
    tray().visible = true;
    Feed(NumEvtCurrentCallSet);
    EXPECT_EQ(form().CurrentState(), NumStateWaiting);
    EXPECT_TRUE(tray().visible) << "11 changes nothing on the way to waiting";
    Feed(NumEvtForwardSet);
    Feed(NumEvtInfo);
    EXPECT_EQ(form().CurrentState(), NumStateWaiting);
    Feed(NumEvtOffering, "");  // no extension collection before Start: reported, stays
    EXPECT_EQ(form().CurrentState(), NumStateWaiting);
    ASSERT_FALSE(components.logWriter->lines.empty());
    EXPECT_EQ(components.logWriter->lines.back().text,
              "QorIcon frmMain.RefreshNumState - qorIcon - Object variable or With block variable "
              "not set - 91 (0x5B)");
    (void)e;
}

TEST_F(TrayTest, BadEntryIdsFallBackOrAreReported) {
    StartWithExtension();
    Connect();
    Feed(NumEvtOffering, "abc");  // not numeric: item 1 serves
    EXPECT_EQ(form().CurrentState(), NumStateRinging);
    const auto before = components.logWriter->lines.size();
    Feed(NumEvtCleared, "70000");  // does not fit 16 bits
    EXPECT_EQ(form().CurrentState(), NumStateRinging) << "the machine stays where it was";
    ASSERT_EQ(components.logWriter->lines.size(), before + 1);
    EXPECT_EQ(components.logWriter->lines.back().text,
              "QorIcon frmMain.RefreshNumState - qorIcon - Overflow - 6 (0x6)");
}

TEST_F(TrayTest, RedialFollowsAlertingAndFirstConnectedCall) {
    StartWithExtension();
    Connect();
    auto out = phone.PlaceCall("P0301234");
    pump.Pump();
    EXPECT_EQ(form().CurrentState(), NumStateCalling);
    EXPECT_EQ(form().Redial(), "P0301234");
    EXPECT_EQ(Item("mnuBis").caption, "Redial 0301234");
    EXPECT_TRUE(Item("mnuBis").visible);
    phone.FarEndAnswers();
    pump.Pump();
    phone.Clear(out);
    pump.Pump();
    auto in = phone.IncomingCall("0409999");
    in->redial = 0;
    pump.Pump();
    phone.Answer(in);
    pump.Pump();
    EXPECT_EQ(form().Redial(), "P0301234") << "a connect with the flag clear changes nothing";
}

TEST_F(TrayTest, ACallThatIsNoLongerCurrentSendsNothing) {
    StartWithExtension();
    Connect();
    auto first = phone.IncomingCall("111");
    pump.Pump();
    std::int32_t currentCall = dialer::kCallsPropertyCurrentCall;
    Variant none("");
    handlers().MyCalls_PropertyChange(currentCall, none);  // released without an event
    EXPECT_EQ(form().CurrentState(), NumStateRinging);
    dialer::AddressPtr address;
    std::int32_t reason = 0;
    first->sinks.ForEach([&](dialer::ICallEvents& sink) { sink.Cleared(address, reason); });
    EXPECT_EQ(form().CurrentState(), NumStateRinging) << "the detached call reached the form";
    EXPECT_EQ(first->sinks.Count(), 0u);
}

}  // namespace
}  // namespace qor::testing

namespace qor::testing {
namespace {

// A library whose collection hands out a fresh object on every lookup, as a COM
// library does: nothing may keep a reference past the lookup's owner.
class ExtensionProxy : public dialer::IExtension {
  public:
    explicit ExtensionProxy(dialer::ExtensionPtr real) : real_(std::move(real)) {}
    std::string Number() override { return real_->Number(); }
    std::string LineName() override { return real_->LineName(); }
    std::string EntryID() override { return real_->EntryID(); }
    dialer::CallsPtr Calls() override { return real_->Calls(); }
    void Monitor(std::int32_t m, const std::string& a, const std::string& b) override {
        real_->Monitor(m, a, b);
    }
    Variant CustomProperty(const std::string& name) override { return real_->CustomProperty(name); }
    dialer::Forwarding ForwardingState() override { return real_->ForwardingState(); }
    Subscription Advise(dialer::IExtensionEvents& sink) override { return real_->Advise(sink); }

  private:
    dialer::ExtensionPtr real_;
};

class FreshExtensions : public sim::SimExtensions {
  public:
    dialer::ExtensionPtr Item(const Variant& key) override {
        auto real = SimExtensions::Item(key);
        return real ? std::make_shared<ExtensionProxy>(real) : nullptr;
    }
};

TEST_F(TrayTest, PresentationsHoldTheExtensionsTheyLookUp) {
    SetSetting(kQorDial, "LButtonDial", "True");
    Create();
    ext = phone.AddExtension("201", "Line 201");
    session = phone.OpenSession("main", "QORPhone", {});
    auto fresh = std::make_shared<FreshExtensions>();
    static_cast<sim::SimExtensions&>(*fresh) = phone.Extensions();
    session->extensions = fresh;
    AddMainSession();
    launcher->Start();
    pump.Pump();
    EXPECT_EQ(tray().toolTip, "Extension: 201 (Not available)");
    EXPECT_EQ(form().Control("cboPreferredLineName")->text, "Line 201");
}

}  // namespace
}  // namespace qor::testing
