#include "sim/scenario/Session.h"

#include <cstdlib>
#include <map>
#include <stdexcept>

#include "core/common/Error.h"

namespace qor::sim {

namespace {

// What each tray picture means, for a person reading the timeline.
std::string IconText(const std::string& icon) {
    if (icon == "none" || icon == "unknown") return icon;
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
    const auto it = kMeaning.find(std::atoi(icon.c_str()));
    return icon + (it == kMeaning.end() ? "" : std::string(" (") + it->second + ")");
}

const char* const kStateNames[] = {"NotAvailable", "NotConnected", "Ringing", "OnHold", "Calling",
                                   "Talking",      "Cleared",      "Waiting", "Hidden", "Idle"};

std::string ErrorText(const QorError& e) {
    return "error " + std::to_string(e.Number()) + " (" + e.Info().description + ")";
}

}  // namespace

Session::Session(std::ostream& out, RunOptions options, std::unique_ptr<World> w)
    : world(std::move(w)), out_(out), options_(options) {
    client = std::make_unique<SimClient>(world->Link(), phone, [this] {
        if (!world->WindowOpen(kClientWindow)) world->OpenWindow(kClientWindow);
    });
    if (options_.verbose) {
        pump.onDeliver = [this](const std::string& what) {
            out_ << "        phone: " << what << "\n";
        };
    }
}

Session::~Session() {
    client.reset();
    world.reset();
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
    if (!world->HasTray() || !world->HasForm()) {
        s.tray = "(no tray icon)";
        return s;
    }
    const auto item = world->Tray();
    if (!item.visible) {
        s.tray = "hidden";
    } else {
        s.tray = "icon " + IconText(item.icon);
        if (item.blinking) s.tray += " blinking with " + IconText(item.blinkIcon);
        s.tray += ", tooltip \"" + item.toolTip + "\"";
    }
    const auto form = world->Form();
    if (form.state >= 0 && form.state <= 9)
        s.tray += ", state " + std::string(kStateNames[form.state]);
    for (const auto& child : form.items) {
        if (child.depth != 0 || !child.visible || child.separator) continue;
        if (!s.menu.empty()) s.menu += " | ";
        s.menu += child.caption;
        if (child.checked) s.menu += " [x]";
        if (form.defaultItem == child.name) s.menu += " (default)";
    }
    return s;
}

void Session::PrintEffects(const Snapshot& before, const Recordings& was, std::size_t events,
                           std::size_t failures, std::size_t errors) {
    for (auto i = events; i < client->events.size(); ++i)
        out_ << "        client asked: " << client->events[i].Describe() << "\n";
    const Snapshot after = Take();
    if (after.tray != before.tray) out_ << "        tray:   " << after.tray << "\n";
    if (after.menu != before.menu) out_ << "        menu:   " << after.menu << "\n";
    const auto now = world->Recorded();
    for (auto i = was.messageBoxes.size(); i < now.messageBoxes.size(); ++i)
        out_ << "        message box: \"" << now.messageBoxes[i] << "\"\n";
    for (auto i = was.beeps; i < now.beeps; ++i) out_ << "        beep\n";
    for (auto i = was.processes.size(); i < now.processes.size(); ++i)
        out_ << "        process started: " << now.processes[i].commandLine << "\n";
    for (auto i = failures; i < client->failures.size(); ++i)
        out_ << "        client could not: " << client->failures[i] << "\n";
    for (auto i = errors; i < componentErrors.size(); ++i)
        out_ << "        component error: " << componentErrors[i] << "\n";
}

void Session::Settle() {
    for (int round = 0; round < 1000; ++round) {
        const bool delivered = pump.Pump() != 0;
        const bool dispatched = world->Settle();
        if (!delivered && !dispatched && pump.Empty()) return;
    }
    throw std::runtime_error("the phone system and the component keep each other busy");
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
        const Recordings recorded = show ? world->Recorded() : Recordings{};
        const auto failures = client->failures.size();
        const auto errors = componentErrors.size();

        // The step, then the phone system's events and the world's own messages
        // until both are quiet: what a real message loop would deliver before the
        // user's next gesture.
        bool stepDone = false;
        for (int attempt = 0; attempt < 100; ++attempt) {
            try {
                if (!stepDone) {
                    stepDone = true;
                    step.run(*this);
                }
                Settle();
                break;
            } catch (const ScriptError&) {
                throw;
            } catch (const QorError& e) {
                componentErrors.push_back(ErrorText(e));
            } catch (const UnsupportedStep& e) {
                throw ScriptError(step.file, step.line,
                                  std::string("cannot be played in the ") + world->Name() +
                                      " world: " + e.what());
            } catch (const std::exception& e) {
                throw ScriptError(step.file, step.line, e.what());
            }
        }
        if (show) PrintEffects(before, recorded, events, failures, errors);
        if (options_.afterAction && !step.expectation) options_.afterAction(step, *world);
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
