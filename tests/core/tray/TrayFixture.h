#pragma once
// A tray form driven end to end: the native port, the fake outside components, the
// simulated phone system, and a client that records every event it is asked for.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/host/Launcher.h"
#include "core/host/Runtime.h"
#include "core/tray/frmMain.h"
#include "native/FakeComponents.h"
#include "native/NativePlatform.h"
#include "sim/dialer/SimDialer.h"

namespace qor::testing {

constexpr const char* kQorDial = "Software\\Norvane\\5521\\QORDial\\Settings";
constexpr const char* kQorPhone = "Software\\Norvane\\5521\\QORPhone\\Settings";

// Records the events as "Answer c1", "MakeCall 0301234"; optionally acts on them.
class RecordingClient : public IMenuEvents {
  public:
    std::vector<std::string> events;
    // Handlers that act on the by-reference arguments, after the event is recorded.
    std::function<void(const std::string&, dialer::CallPtr&)> onCallEvent;
    std::function<void(const std::string&, dialer::SessionPtr&)> onSessionEvent;
    std::function<void(dialer::CallsPtr*, std::string&)> onDial;  // calls: MakeCall2 only

    static std::string Id(const dialer::CallPtr& c) {
        auto* sim = dynamic_cast<sim::SimCall*>(c.get());
        return sim ? sim->id : "none";
    }
    void Record(const std::string& name, dialer::CallPtr& c) {
        events.push_back(name + " " + Id(c));
        if (onCallEvent) onCallEvent(name, c);
    }
    void Answer(dialer::CallPtr& c) override { Record("Answer", c); }
    void Reconnect(dialer::CallPtr& c) override { Record("Reconnect", c); }
    void Clear(dialer::CallPtr& c) override { Record("Clear", c); }
    void CancelConsultation(dialer::CallPtr& c) override { Record("CancelConsultation", c); }
    void RecordSession(const std::string& name, dialer::SessionPtr& s) {
        events.push_back(name + " " + Key(s));
        if (onSessionEvent) onSessionEvent(name, s);
    }
    void CloseApp(dialer::SessionPtr& s) override { RecordSession("CloseApp", s); }
    void Maximize(dialer::SessionPtr& s) override { RecordSession("Maximize", s); }
    void Configuration() override { events.push_back("Configuration"); }
    void MakeCall(std::string& callee) override {
        events.push_back("MakeCall " + callee);
        if (onDial) onDial(nullptr, callee);
    }
    void MakeCall2(dialer::CallsPtr& calls, std::string& n) override {
        events.push_back("MakeCall2 " + n + (calls ? "" : " (no calls)"));
        if (onDial) onDial(&calls, n);
    }
    static std::string Key(const dialer::SessionPtr& s) { return s ? s->SessionKey() : "none"; }
};

// The form's own handlers, called the way the tray control, the popup menu or a
// dialer object would call them.
class FormHandlers {
  public:
    explicit FormHandlers(frmMain& form) : form_(form) {}
    void mnuAnswer_Click() { form_.mnuAnswer_Click(); }
    void mnuHangUp_Click() { form_.mnuHangUp_Click(); }
    void mnuDial_Click() { form_.mnuDial_Click(); }
    void mnuBis_Click() { form_.mnuBis_Click(); }
    void mnuConnect_Click() { form_.mnuConnect_Click(); }
    void mnuMaximize_Click() { form_.mnuMaximize_Click(); }
    void mnuProperties_Click() { form_.mnuProperties_Click(); }
    void mnuOffline_Click() { form_.mnuOffline_Click(); }
    void mnuClose_Click() { form_.mnuClose_Click(); }
    void mnuApp1Menu1_Click(std::int16_t index) { form_.mnuApp1Menu1_Click(index); }
    void mnuApp2Menu1_Click(std::int16_t index) { form_.mnuApp2Menu1_Click(index); }
    void MyCalls_PropertyChange(std::int32_t& property, Variant& value) {
        form_.MyCalls_PropertyChange(property, value);
    }
    void TrayIcon_MouseDown(std::int16_t& item, std::int16_t& button, std::int16_t& shift) {
        form_.TrayIcon_MouseDown(item, button, shift);
    }
    std::string GetClipboardNumber() { return form_.GetClipboardNumber(); }

  private:
    frmMain& form_;
};

// The fakes, configured before the form creates them.
class TestComponents : public FakeOutsideComponents {
  public:
    std::set<int> iconLibraryMissing;
    std::map<std::string, std::string, std::less<>> stringTableTexts, captionTexts;

    std::shared_ptr<IIconLibrary> CreateIconLibrary() override {
        auto created = FakeOutsideComponents::CreateIconLibrary();
        iconLibrary->missingIcons = iconLibraryMissing;
        return created;
    }
    std::shared_ptr<IStringTable> CreateStringTable() override {
        auto created = FakeOutsideComponents::CreateStringTable();
        stringTable->texts = stringTableTexts;
        return created;
    }
    std::shared_ptr<ICaptionTranslator> CreateCaptionTranslator() override {
        auto created = FakeOutsideComponents::CreateCaptionTranslator();
        captionTranslator->texts = captionTexts;
        return created;
    }
};

class TrayTest : public ::testing::Test {
  protected:
    TrayTest() : runtime(platform, components), phone(pump) {}

    void SetSetting(const char* path, const char* name, const char* value) {
        platform.registry().SetString(reg::kCurrentUser, path, name, value);
    }
    void Create() {
        launcher = std::make_unique<Launcher>(runtime);
        subscription = launcher->GetMenuEvent()->Subscribe(client);
    }
    // The client's usual start: its session with connect mode 1, then Start.
    void StartWithExtension(bool leftClickDials = true) {
        SetSetting(kQorDial, "LButtonDial", leftClickDials ? "True" : "False");
        if (!launcher) Create();
        ext = phone.AddExtension("201", "Line 201");
        session = phone.OpenSession("main", "QORPhone", {});
        AddMainSession();
        launcher->Start();
        pump.Pump();
    }
    void AddMainSession() {
        dialer::SessionPtr s = session;
        std::int32_t mode = 1;
        std::string name = "QORPhone";
        launcher->addSession(s, mode, name);
    }
    // Connect through the menu and let the switch confirm: the tray goes idle.
    void Connect() {
        handlers().mnuConnect_Click();
        Tick();
        pump.Pump();
    }
    void Tick() { ASSERT_TRUE(platform.FireTimer()); }
    frmMain& form() { return runtime.Form(); }
    FormHandlers handlers() { return FormHandlers(form()); }
    FakeTrayItem& tray() { return components.trayIcon->item(); }
    std::int32_t Icon() { return tray().icon ? tray().icon->IconId() : 0; }
    const MenuItem& Item(const std::string& name) {
        for (const auto& child : form().MenuRoot().children)
            if (child->name == name) return *child;
        throw std::runtime_error("no menu item " + name);
    }
    void Feed(std::int32_t evt, std::string entryId = "1") { form().RefreshNumState(evt, entryId); }

    NativePlatform platform;
    TestComponents components;
    Runtime runtime;
    sim::EventPump pump;
    sim::PhoneSystem phone;
    RecordingClient client;
    std::unique_ptr<Launcher> launcher;
    Subscription subscription;
    sim::SimExtensionPtr ext;
    sim::SimSessionPtr session;
};

}  // namespace qor::testing
