// The simulated phone objects as the real DLL meets them: exported over automation
// and read back through the DLL's own dialer adapters, events and errors included.

#include <gtest/gtest.h>
#include <olectl.h>

#include <functional>
#include <string>
#include <vector>

#include "core/common/Error.h"
#include "sim/dialer/SimDialer.h"
#include "sim/windows/DialerExport.h"
#include "windows/com/Automation.h"
#include "windows/dialer/DialerObjects.h"

using namespace qor;
using namespace qor::sim::win;

namespace {

using Log = std::vector<std::string>;

// Each sink writes down what it heard; the call's sink also answers through a
// by-reference argument, which must reach the raiser's variable.
struct Recorder {
    explicit Recorder(Log& l) : log(l) {}
    void Note(std::string what) { log.push_back(std::move(what)); }
    static std::string Show(const dialer::AddressPtr& a) { return a ? a->Text() : "null"; }
    static std::string Show(std::int32_t p, const Variant& v) {
        return std::to_string(p) + "=" + (v.IsObject() ? "object" : v.ToText());
    }
    Log& log;
};
struct CallRecorder : dialer::ICallEvents, Recorder {
    using Recorder::Recorder;
    void Offering(dialer::AddressPtr& a, std::int32_t& o, std::int32_t& r) override {
        Note("Offering " + Show(a) + " " + std::to_string(o) + " " + std::to_string(r));
        r = 17;
    }
    void Recalling(dialer::AddressPtr&) override { Note("Recalling"); }
    void ReOffering() override { Note("ReOffering"); }
    void Alerting(dialer::AddressPtr&) override { Note("Alerting"); }
    void Connected(dialer::AddressPtr& a) override { Note("Connected " + Show(a)); }
    void ConsultationConnected(dialer::AddressPtr&) override { Note("ConsultationConnected"); }
    void ConsultationOnHold() override { Note("ConsultationOnHold"); }
    void NewConnected(dialer::AddressPtr&, dialer::AddressPtr&) override { Note("NewConnected"); }
    void Reconnected(dialer::AddressPtr&) override { Note("Reconnected"); }
    void OnHold() override { Note("OnHold"); }
    void Cleared(dialer::AddressPtr& a, std::int32_t& r) override {
        Note("Cleared " + Show(a) + " " + std::to_string(r));
    }
    void PropertyChange(std::int32_t& p, Variant& v) override { Note("call " + Show(p, v)); }
};
struct CallsRecorder : dialer::ICallsEvents, Recorder {
    using Recorder::Recorder;
    void PropertyChange(std::int32_t& p, Variant& v) override { Note("calls " + Show(p, v)); }
};
struct ExtensionRecorder : dialer::IExtensionEvents, Recorder {
    using Recorder::Recorder;
    void PropertyChange(std::int32_t& p, Variant& v) override { Note("ext " + Show(p, v)); }
    void CustomPropertyChange(std::string& n, Variant& v) override { Note(n + "=" + v.ToText()); }
    void Monitoring(std::string& e) override { Note("Monitoring " + e); }
    void MonitoringStop(std::string& e) override { Note("MonitoringStop " + e); }
};
struct SessionRecorder : dialer::ISessionEvents, Recorder {
    using Recorder::Recorder;
    void SessionOpened() override { Note("SessionOpened"); }
};

// A core object reached only by name, whose members fail the way the switch does.
struct Switchboard : ILateBound {
    sim::PhoneSystem& phone;
    explicit Switchboard(sim::PhoneSystem& p) : phone(p) {}
    Variant Invoke(const std::string& name, std::vector<Variant>&) override {
        if (name == "Answer") phone.Answer(phone.CurrentCall());
        throw QorError(32100, "Line is busy", "Switch");
    }
};

// An automation object that none of the exports made.
com::ComPtr<IDispatch> Foreign() {
    FONTDESC desc{sizeof(FONTDESC), const_cast<LPOLESTR>(L"Arial"), {}, 400, 0, 0, 0, 0};
    com::ComPtr<IDispatch> font;
    OleCreateFontIndirect(&desc, IID_IDispatch, font.PutVoid());
    return font;
}

struct Apartment {
    Apartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() { CoUninitialize(); }
};

class DialerExportTest : public testing::Test {
  protected:
    Apartment apartment;  // first in, last out: every object below goes before it
    sim::EventPump pump;
    sim::PhoneSystem phone{pump};
    sim::SimExtensionPtr ext = phone.AddExtension("100", "Line A");
    sim::SimSessionPtr session = phone.OpenSession("k1", "App", {"Menu A", "Menu B"});
    dialer::SessionPtr wrapped = win::WrapSession(ExportSession(session).Get());
};

TEST_F(DialerExportTest, MembersReadBackThroughTheAdapters) {
    phone.AddExtension("200", "Line B");
    ext->forwarding = {{"201", "202", "203", "204"}, {true, false}};
    ext->custom["Queue"] = std::int32_t{7};
    EXPECT_EQ(wrapped->SessionKey(), "k1");
    auto extensions = wrapped->Extensions();
    EXPECT_EQ(extensions->CurrentEntryID(), "1");
    const struct {
        Variant key;
        const char* number;
    } keys[] = {{"1", "100"}, {std::int16_t{1}, "100"}, {"2", "200"}, {std::int16_t{2}, "200"}};
    for (const auto& k : keys) {
        auto item = extensions->Item(k.key);
        ASSERT_TRUE(item) << k.number;
        EXPECT_EQ(item->Number(), k.number);
        EXPECT_EQ(item, extensions->Item(Variant(item->EntryID()))) << "same extension object";
    }
    EXPECT_EQ(extensions->Item("9"), nullptr);
    auto line = extensions->Item("1");
    const auto forwarding = line->ForwardingState();
    EXPECT_EQ(forwarding.texts, ext->forwarding.texts);
    EXPECT_EQ(forwarding.flags, ext->forwarding.flags);
    EXPECT_EQ(line->CustomProperty("Queue"), Variant(std::int32_t{7}));
    EXPECT_TRUE(line->CustomProperty("None").IsEmpty());

    std::vector<Variant> none, first{std::int32_t{1}}, pick{std::int32_t{2}};
    auto list = wrapped->Invoke("TheAppMenus", none).ToObject();
    EXPECT_EQ(list->Invoke("count", none).ToInt32(), 2);
    EXPECT_EQ(list->Invoke("Item", pick).ToText(), "Menu B");
    EXPECT_EQ(wrapped->Invoke("TheAppMenus", first).ToText(), "Menu A");
    wrapped->Invoke("SendMenuSelected", pick);
    EXPECT_EQ(session->menusSelected, std::vector<std::string>{"2"});
}

TEST_F(DialerExportTest, EventsArriveWithTheirArguments) {
    Log log;
    CallRecorder callSink(log);
    CallsRecorder callsSink(log);
    ExtensionRecorder extSink(log);
    SessionRecorder sessionSink(log);
    auto sessionSub = wrapped->Advise(sessionSink);
    auto line = wrapped->Extensions()->Item("1");
    auto calls = line->Calls();
    auto extSub = line->Advise(extSink);
    auto callsSub = calls->Advise(callsSink);
    line->Monitor(1, "", "");
    auto call = phone.IncomingCall("555");
    auto wrappedCall = calls->Item(calls->CurrentCallEntryID());
    ASSERT_TRUE(wrappedCall);
    EXPECT_EQ(wrappedCall->RemoteAddress()->Text(), "555");
    EXPECT_EQ(wrappedCall->State(), dialer::kCallRinging);
    auto callSub = wrappedCall->Advise(callSink);
    pump.Pump();
    phone.Answer(call);
    phone.Clear(call);
    phone.SetConnectionState(3);
    phone.SetCustomProperty("Queue", "sales");
    pump.Pump();
    EXPECT_EQ(log, (Log{"SessionOpened", "Monitoring 100", "ext 7=1", "calls 0=1", "calls 1=c1",
                        "Offering 555 0 0", "Connected 555", "Cleared 555 0", "calls 0=0",
                        "calls 1=", "ext 7=3", "Queue=sales"}));

    // What the sink leaves in a by-reference argument comes back to the raiser.
    dialer::AddressPtr address = std::make_shared<sim::SimAddress>("556");
    std::int32_t origin = 2, reason = 0;
    call->sinks.ForEach([&](dialer::ICallEvents& s) { s.Offering(address, origin, reason); });
    EXPECT_EQ(log.back(), "Offering 556 2 0");
    EXPECT_EQ(reason, 17);
}

TEST_F(DialerExportTest, EachCoreObjectHasOneAutomationObject) {
    auto call = phone.IncomingCall("555");
    auto exported = ExportCall(call);
    EXPECT_EQ(ExportCall(call).Get(), exported.Get());
    EXPECT_EQ(CallBehind(exported.Get()), call);
    EXPECT_EQ(CallsBehind(ExportCalls(ext->calls).Get()), ext->calls);
    EXPECT_EQ(SessionBehind(win::DispatchBehind(wrapped)), session);
    auto wrappedCall = wrapped->Extensions()->Item("1")->Calls()->Item("c1");
    EXPECT_EQ(win::DispatchBehind(wrappedCall), exported.Get()) << "the DLL sees the same object";
    // Another kind of ours, or a foreign object, serves no call.
    const auto foreign = Foreign();
    ASSERT_TRUE(foreign);
    EXPECT_EQ(CallBehind(win::DispatchBehind(wrapped)), nullptr);
    EXPECT_EQ(SessionBehind(exported.Get()), nullptr);
    EXPECT_EQ(CallBehind(foreign.Get()), nullptr);
    EXPECT_EQ(CallBehind(nullptr), nullptr);
    // Values: our objects go out as their exports and come back as themselves; an
    // object the DLL handed over goes back as the DLL's own.
    auto sessionOut = ExportValue(Variant(LateBoundPtr(session)));
    EXPECT_EQ(com::DispatchOf(*sessionOut.Get()).Get(), win::DispatchBehind(wrapped));
    EXPECT_EQ(ImportValue(*sessionOut.Get()).ToObject(), session);
    auto foreignOut = ExportValue(Variant(win::WrapLateBound(foreign.Get())));
    EXPECT_EQ(com::DispatchOf(*foreignOut.Get()).Get(), foreign.Get());
    // Once nobody holds the export it lets go of the core object, and a new one serves it.
    wrappedCall.reset();
    exported = nullptr;
    EXPECT_EQ(call->sinks.Count(), 0u);
    EXPECT_EQ(CallBehind(ExportCall(call).Get()), call);
}

TEST_F(DialerExportTest, CoreErrorsArriveWithTheirNumbers) {
    const auto out = ExportValue(LateBoundPtr(std::make_shared<Switchboard>(phone)));
    auto board = win::WrapLateBound(com::DispatchOf(*out.Get()).Get());
    auto calls = wrapped->Extensions()->Item("1")->Calls();
    auto call = [](auto& object, const char* name, std::vector<Variant> args = {}) {
        return [&object, name, args]() mutable { object->Invoke(name, args); };
    };
    const struct {
        const char* what;
        std::function<void()> act;
        std::int32_t number;
        const char* description;
        const char* source;
    } cases[] = {
        {"core QorError", call(board, "Dial"), 32100, "Line is busy", "Switch"},
        {"answer, nothing rings", call(board, "Answer"), err::kInternal,
         "cannot answer: there is no call", kErrorSource},
        {"session TheAppMenus(3)", call(wrapped, "TheAppMenus", {std::int32_t{3}}),
         err::kSubscriptOutOfRange, "Subscript out of range", kErrorSource},
        {"calls Remove(99)", [&] { calls->Remove(99); }, err::kSubscriptOutOfRange,
         "Subscript out of range", kErrorSource},
    };
    for (const auto& c : cases) {
        try {
            c.act();
            ADD_FAILURE() << c.what << " did not fail";
        } catch (const QorError& e) {
            EXPECT_EQ(e.Number(), c.number) << c.what;
            EXPECT_STREQ(e.what(), c.description) << c.what;
            EXPECT_EQ(e.Info().source, c.source) << c.what;
        }
    }
}

}  // namespace
