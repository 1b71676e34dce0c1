// The simulator's own logic: how scenario lines are read and rejected, how a run
// reports what failed, and the order in which the simulated library delivers
// events. The scenarios themselves are the black-box tests of the component.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sim/dialer/EventPump.h"
#include "sim/dialer/SimDialer.h"
#include "sim/scenario/Runner.h"
#include "sim/scenario/Script.h"

namespace qor::sim {
namespace {

using namespace std::string_literals;

TEST(ScenarioScript, RejectsUnreadableLinesNamingFileAndLine) {
    struct Case {
        std::string text;
        int line;
        const char* message;
    };
    const Case cases[] = {
        {"client create\nfrobnicate now", 2, "unknown word 'frobnicate'"},
        {"# comment\n\nphone incoming", 3, "missing caller number"},
        {"expect state Idle now", 1, "unexpected 'now'"},
        {"tray press left\nclipboard \"0612", 2, "not closed"},
        {"tick two", 1, "expected a number for tick count"},
        {"expect blinking maybe", 1, "expected yes or no"},
        {"expect state Dozing", 1, "unknown tray state 'Dozing'"},
        {"tray press thumb", 1, "unknown button 'thumb'"},
        {"reg HKXX\\Software Name = \"1\"", 1, "starts with HKCU"},
        {"expect frobnicate", 1, "unknown expectation 'frobnicate'"},
        // Numbers out of their range stop the scenario rather than being cut to fit.
        {"tick 0", 1, "tick count 0 is out of range (1 to 10000)"},
        {"tick 10001", 1, "tick count 10001 is out of range (1 to 10000)"},
        {"tick 99999999999999999999999", 1, "is out of range (1 to 10000)"},
        {"reg HKCU\\X V = dword 0x100000000", 1, "dword value 0x100000000 is out of range"},
        {"reg HKCU\\X V = dword -1", 1, "dword value -1 is out of range (0 to 4294967295)"},
        {"config-changed 1 wparam 4294967296", 1, "wparam 4294967296 is out of range"},
        {"expect shortcut 32768", 1, "short-cut modifiers 32768 is out of range"},
        {"phone connection 2147483648", 1, "is out of range (-2147483648 to 2147483647)"},
        {"expect monitor-requests 201 -1", 1, "request count -1 is out of range"},
        {"expect state 10", 1, "unknown tray state '10'"},
        {"tick 0x", 1, "expected a number for tick count, not '0x'"},
        // A registry path must name a key.
        {"reg HKCU\\ V = \"1\"", 1, "has an empty name in it"},
        {"reg HKCU\\\\Software V = \"1\"", 1, "has an empty name in it"},
        {"reg HKCU\\Software\\\\X V delete", 1, "has an empty name in it"},
        {"reg HKLM\\Software\\ V = dword 1", 1, "has an empty name in it"},
        {"reg HKCU\\Software\\" + std::string(256, 'x') + " V = \"1\"", 1,
         "longer than 255 characters"},
        // Texts: nothing is split or cut silently.
        {"say \"a\"b", 1, "joined to what follows it"},
        {"clipboard 06\"12\"", 1, "joined to the word before it"},
        {"client tooltip \"a\0b\""s, 1, "a NUL character"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ReadScript(c.text, "f.scn");
            ADD_FAILURE() << "no error";
        } catch (const ScriptError& e) {
            EXPECT_EQ(e.file, "f.scn");
            EXPECT_EQ(e.line, c.line);
            EXPECT_NE(e.message.find(c.message), std::string::npos) << e.message;
            EXPECT_EQ(std::string(e.what()).rfind("f.scn:" + std::to_string(c.line) + ": ", 0), 0u);
        }
    }
}

TEST(ScenarioScript, QuotesKeepBlanksHashesAndEscapes) {
    const auto tokens = Tokenize(R"(say "a # b \"c\" \\d" x # comment)", "f.scn", 1);
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[1].text, R"(a # b "c" \d)");
    EXPECT_TRUE(tokens[1].quoted);
    EXPECT_EQ(tokens[2].text, "x");
    const auto nuls = Tokenize(R"(say "1\02" "\0" \0)", "f.scn", 1);
    ASSERT_EQ(nuls.size(), 4u);
    EXPECT_EQ(nuls[1].text, std::string({'1', '\0', '2'}));
    EXPECT_EQ(nuls[2].text, std::string(1, '\0'));
    EXPECT_EQ(nuls[3].text, "\\0");  // outside quotes a backslash is just a backslash
}

TEST(ScenarioRun, FailedExpectationNamesLineExpectedAndActualAndRunGoesOn) {
    std::ostringstream out;
    const auto result = RunScenario(
        "phone extension 201\nclient create\nexpect icon 10011\nexpect visible no\nexpect state "
        "Hidden\nexpect state 5",
        "t.scn", out, {});
    EXPECT_FALSE(result.passed);
    EXPECT_EQ(result.failedExpectations, 3);
    const auto text = out.str();
    EXPECT_NE(text.find("t.scn:3: expectation failed: expect icon 10011\n  expected: 10011\n"
                        "  actual:   10022"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("t.scn:4: expectation failed"), std::string::npos) << text;
    EXPECT_NE(text.find("t.scn:6: expectation failed: expect state 5\n  expected: Talking\n"
                        "  actual:   Hidden"),
              std::string::npos)
        << text;
}

TEST(ScenarioRun, ImpossibleStepStopsWithFileAndLine) {
    struct Case {
        const char* text;
        const char* where;
        const char* message;
    };
    const Case cases[] = {
        {"phone extension 201\nphone hold", "s.scn:2:", "no current call"},
        {"phone extension 201\nphone incoming 0612\nphone remote-answers",
         "s.scn:3:", "ringing, not alerting"},
        {"client start", "s.scn:1:", "has not created the Launcher"},
        {"tray click", "s.scn:1:", "no tray icon"},
        {"phone extension 201\nclient create\nmenu choose mnuAnswer",
         "s.scn:3:", "mnuAnswer is not shown in the popup"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::ostringstream out;
        const auto result = RunScenario(c.text, "s.scn", out, {});
        EXPECT_FALSE(result.passed);
        EXPECT_EQ(result.error.rfind(c.where, 0), 0u) << result.error;
        EXPECT_NE(result.error.find(c.message), std::string::npos) << result.error;
    }
}

TEST(ScenarioRun, UnexpectedComponentErrorFailsTheScenario) {
    std::ostringstream out;
    // A short-cut setting that is no number makes the start fail.
    const auto text =
        "reg HKCU\\Software\\Norvane\\5521\\QORDial\\Settings RButtonShortCut = \"x\"\n"
        "phone extension 201\nclient create\nclient add-session \"D\" mode 1\nclient start\n";
    std::ostringstream out1, out2;
    EXPECT_FALSE(RunScenario(text, "e.scn", out1, {}).passed);
    EXPECT_NE(out1.str().find("error 13"), std::string::npos) << out1.str();
    EXPECT_TRUE(RunScenario(std::string(text) + "expect error 13\n", "e.scn", out2, {}).passed)
        << out2.str();
}

TEST(EventPump, DeliversInOrderAndQueuesWhatDeliveryPosts) {
    EventPump pump;
    std::vector<std::string> seen;
    pump.Post("a", [&] {
        seen.push_back("a");
        pump.Post("a1", [&] { seen.push_back("a1"); });
        pump.Pump();  // re-entrant pumping delivers nothing
        seen.push_back("a done");
    });
    pump.Post("b", [&] { seen.push_back("b"); });
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(pump.Pump(), 3u);
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "a done", "b", "a1"}));
}

TEST(EventPump, StopsALibraryThatNeverQuietensDown) {
    EventPump pump;
    std::function<void()> again = [&] { pump.Post("again", again); };
    pump.Post("again", again);
    EXPECT_THROW(pump.Pump(50), std::runtime_error);
}

struct RecordingExtensionSink : dialer::IExtensionEvents {
    std::vector<std::string> seen;
    void PropertyChange(std::int32_t& p, Variant& v) override {
        seen.push_back("PropertyChange " + std::to_string(p) + " " + v.ToText());
    }
    void CustomPropertyChange(std::string& n, Variant&) override { seen.push_back(n); }
    void Monitoring(std::string& e) override { seen.push_back("Monitoring " + e); }
    void MonitoringStop(std::string& e) override { seen.push_back("MonitoringStop " + e); }
};

struct RecordingCallsSink : dialer::ICallsEvents {
    std::vector<std::string> seen;
    void PropertyChange(std::int32_t& p, Variant& v) override {
        seen.push_back(std::to_string(p) + "=" + v.ToText());
    }
};

TEST(SimDialer, MonitorIsConfirmedLaterNotInsideTheCall) {
    EventPump pump;
    PhoneSystem phone(pump);
    auto ext = phone.AddExtension("201", "Anna");
    RecordingExtensionSink sink;
    auto subscription = ext->Advise(sink);
    ext->Monitor(0, "", "");
    EXPECT_TRUE(sink.seen.empty());
    pump.Pump();
    EXPECT_EQ(sink.seen, (std::vector<std::string>{"Monitoring 201", "PropertyChange 7 1"}));
}

TEST(SimDialer, SinkDetachedBeforeDeliveryGetsNothing) {
    EventPump pump;
    PhoneSystem phone(pump);
    auto ext = phone.AddExtension("201", "Anna");
    RecordingCallsSink kept, dropped;
    auto keep = ext->calls->Advise(kept);
    auto drop = ext->calls->Advise(dropped);
    phone.IncomingCall("0612");
    drop.Reset();
    pump.Pump();
    EXPECT_TRUE(dropped.seen.empty());
    EXPECT_EQ(kept.seen, (std::vector<std::string>{"0=1", "1=c1"}));
    // Clearing reports the new count and no current call.
    phone.Clear(phone.CurrentCall());
    pump.Pump();
    EXPECT_EQ(kept.seen.back(), "1=");
    EXPECT_EQ(ext->calls->Count(), 0);
}

TEST(SimDialer, SessionMenusAnswerByNameLikeLateBinding) {
    EventPump pump;
    PhoneSystem phone(pump);
    auto session = phone.OpenSession("fax", "Fax", {"Send", "Inbox"});
    std::vector<Variant> none;
    auto list = session->Invoke("TheAppMenus", none).ToObject();
    EXPECT_EQ(list->Invoke("count", none).ToInt32(), 2);
    std::vector<Variant> two{Variant(std::int16_t{2})};
    EXPECT_EQ(list->Invoke("Item", two).ToText(), "Inbox");
    auto entry = session->Invoke("theappmenus", two);
    std::vector<Variant> chosen{entry};
    session->Invoke("SendMenuSelected", chosen);
    EXPECT_EQ(session->menusSelected, (std::vector<std::string>{"Inbox"}));
    std::vector<Variant> three{Variant(std::int16_t{3})};
    EXPECT_ANY_THROW(session->Invoke("TheAppMenus", three));
}

}  // namespace
}  // namespace qor::sim
