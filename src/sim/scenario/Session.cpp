#include "sim/scenario/Session.h"

#include <map>

#include "core/common/Error.h"
#include "core/tray/frmMain.h"

namespace qor::sim {

namespace {

// What each tray picture means, for a person reading the timeline.
std::string IconText(const PicturePtr& picture) {
    if (!picture) return "none";
    static const std::map<std::int32_t, const char*> kMeaning{{10011, "idle"},
                                                              {10021, "not available"},
                                                              {10022, "not connected"},
                                                              {10031, "ringing"},
                                                              {10032, "ringing, alt"},
                                                              {10041, "calling or on hold"},
                                                              {10052, "talking"},
                                                              {10061, "forwarded"},
                                                              {10071, "information"},
                                                              {10091, "click answers"},
                                                              {10101, "click hangs up"},
                                                              {10111, "voice messages"},
                                                              {10112, "voice messages, alt"}};
    const auto id = picture->IconId();
    const auto it = kMeaning.find(id);
    return std::to_string(id) + (it == kMeaning.end() ? "" : std::string(" (") + it->second + ")");
}

const char* const kStateNames[] = {"NotAvailable", "NotConnected", "Ringing", "OnHold", "Calling",
                                   "Talking",      "Cleared",      "Waiting", "Hidden", "Idle"};

std::string ErrorText(const QorError& e) {
    return "error " + std::to_string(e.Number()) + " (" + e.Info().description + ")";
}

}  // namespace

Session::Session(std::ostream& out, RunOptions options) : out_(out), options_(options) {
    runtime = std::make_unique<Runtime>(platform, components);
    client = std::make_unique<SimClient>(*runtime, platform, phone);
    // The popup is modal: the choice a scenario made for it is answered while it is
    // open, from the items it actually shows.
    platform.onPopup = [this](const MenuItem& root, const MenuItem*) -> const MenuItem* {
        popupChoiceTaken = true;
        if (popupChoice.empty()) return nullptr;
        std::function<const MenuItem*(const MenuItem&)> find =
            [&](const MenuItem& parent) -> const MenuItem* {
            for (const auto& child : parent.children) {
                if (!child->visible) continue;
                if (NativePlatform::ItemName(*child) == popupChoice) return child.get();
                if (auto found = find(*child)) return found;
            }
            return nullptr;
        };
        const MenuItem* chosen = find(root);
        popupChoiceFound = chosen != nullptr;
        return chosen;
    };
    if (options_.verbose) {
        pump.onDeliver = [this](const std::string& what) {
            out_ << "        phone: " << what << "\n";
        };
    }
}

Session::~Session() {
    platform.onPopup = nullptr;
    clickToCall.reset();
    client.reset();
    runtime.reset();
}

FakeTrayItem* Session::TrayItem() {
    return components.trayIcon ? &components.trayIcon->item() : nullptr;
}

frmMain* Session::Form() {
    return runtime->FormExists() ? &runtime->Form() : nullptr;
}

ClickToCall& Session::ClickToCallObject() {
    if (!clickToCall) clickToCall = std::make_unique<ClickToCall>(platform);
    return *clickToCall;
}

void Session::Fail(const std::string& expected, const std::string& actual) {
    ++failed_;
    out_ << current->file << ":" << current->line << ": expectation failed: " << current->text
         << "\n  expected: " << expected << "\n  actual:   " << actual << "\n";
}

void Session::Impossible(const std::string& message) {
    throw ScriptError(current->file, current->line, message);
}

void Session::Say(const std::string& text) {
    if (options_.timeline) out_ << "\n  " << text << "\n";
}

Session::Snapshot Session::Take() {
    Snapshot s;
    auto* item = TrayItem();
    auto* form = Form();
    if (!item || !form) {
        s.tray = "(no tray icon)";
        return s;
    }
    if (!item->visible) {
        s.tray = "hidden";
    } else {
        s.tray = "icon " + IconText(item->icon);
        if (item->blinking) s.tray += " blinking with " + IconText(item->blinkIcon);
        s.tray += ", tooltip \"" + item->toolTip + "\"";
    }
    const auto state = form->CurrentState();
    if (state >= 0 && state <= 9) s.tray += ", state " + std::string(kStateNames[state]);
    for (const auto& child : form->MenuRoot().children) {
        if (!child->visible || child->IsSeparator()) continue;
        if (!s.menu.empty()) s.menu += " | ";
        s.menu += child->caption;
        if (child->checked) s.menu += " [x]";
        if (form->DefaultMenuItem() == child.get()) s.menu += " (default)";
    }
    return s;
}

void Session::PrintEffects(const Snapshot& before, std::size_t events, std::size_t messages,
                           int beeps, std::size_t processes, std::size_t failures,
                           std::size_t errors) {
    for (auto i = events; i < client->events.size(); ++i)
        out_ << "        client asked: " << client->events[i].Describe() << "\n";
    const Snapshot after = Take();
    if (after.tray != before.tray) out_ << "        tray:   " << after.tray << "\n";
    if (after.menu != before.menu) out_ << "        menu:   " << after.menu << "\n";
    for (auto i = messages; i < platform.messageBoxes.size(); ++i)
        out_ << "        message box: \"" << platform.messageBoxes[i] << "\"\n";
    for (auto i = beeps; i < platform.beeps; ++i) out_ << "        beep\n";
    for (auto i = processes; i < platform.processes.size(); ++i)
        out_ << "        process started: " << platform.processes[i].commandLine << "\n";
    for (auto i = failures; i < client->failures.size(); ++i)
        out_ << "        client could not: " << client->failures[i] << "\n";
    for (auto i = errors; i < componentErrors.size(); ++i)
        out_ << "        component error: " << componentErrors[i] << "\n";
}

int Session::Run(const std::vector<Step>& steps) {
    failed_ = 0;
    for (const auto& step : steps) {
        current = &step;
        const bool show = options_.timeline && !step.expectation;
        Snapshot before;
        if (show) {
            before = Take();
            if (step.text.rfind("say ", 0) != 0)
                out_ << "  " << step.line << "\t" << step.text << "\n";
        }
        const auto events = client->events.size();
        const auto messages = platform.messageBoxes.size();
        const auto beeps = platform.beeps;
        const auto processes = platform.processes.size();
        const auto failures = client->failures.size();
        const auto errors = componentErrors.size();

        // The step, then the phone system's events until it is quiet: what a real
        // message loop would deliver before the user's next gesture.
        bool stepDone = false;
        for (int attempt = 0; attempt < 100; ++attempt) {
            try {
                if (!stepDone) {
                    stepDone = true;
                    step.run(*this);
                }
                pump.Pump();
                break;
            } catch (const ScriptError&) {
                throw;
            } catch (const QorError& e) {
                componentErrors.push_back(ErrorText(e));
            } catch (const std::exception& e) {
                throw ScriptError(step.file, step.line, e.what());
            }
        }
        if (show) PrintEffects(before, events, messages, beeps, processes, failures, errors);
    }
    // Whatever went wrong without being expected fails the scenario; it is
    // reported against the scenario's end.
    if (!steps.empty()) {
        const Step end{steps.back().file, steps.back().line, "(end of scenario)", true, nullptr};
        current = &end;
        for (auto i = errorsSeen; i < componentErrors.size(); ++i)
            Fail("no component error (expect it with 'expect error')", componentErrors[i]);
        for (auto i = failuresSeen; i < client->failures.size(); ++i)
            Fail("no client failure (expect it with 'expect client-failure')", client->failures[i]);
    }
    current = nullptr;
    return failed_;
}

}  // namespace qor::sim
