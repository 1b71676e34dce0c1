// Reading the expectations of a scenario: what the tray shows, what the client was
// asked, what the world recorded. Each phrase has its row in the table at the end;
// a failed check prints the values the way a scenario writes them.

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/contracts/Platform.h"
#include "core/contracts/TrayIcon.h"
#include "sim/scenario/ScriptWords.h"

namespace qor::sim {

namespace {

const std::map<std::string, std::int32_t> kStates{
    {"NotAvailable", 0}, {"NotConnected", 1}, {"Ringing", 2}, {"OnHold", 3}, {"Calling", 4},
    {"Talking", 5},      {"Cleared", 6},      {"Waiting", 7}, {"Hidden", 8}, {"Idle", 9}};
const std::map<std::string, std::int32_t> kCallStates{
    {"ringing", 1}, {"alerting", 2}, {"connected", 3}, {"held", 4}, {"gone", -1}};

// A tray state by its name when it has one.
std::string StateName(std::int32_t state) {
    for (const auto& [name, value] : kStates)
        if (value == state) return name;
    return std::to_string(state);
}

std::string CallState(std::int32_t state) {
    return state < 0 ? std::string("gone") : CallStateName(state);
}

std::string YesNoText(bool value) {
    return value ? "yes" : "no";
}

TrayView Item(Session& s) {
    return Tray(s).Tray();
}

template <class T>
void Check(Session& s, const T& expected, const T& actual, std::string expectedText,
           std::string actualText) {
    if (!(expected == actual)) s.Fail(expectedText, actualText);
}

void CheckText(Session& s, const std::string& expected, const std::string& actual) {
    Check(s, expected, actual, Quote(expected), Quote(actual));
}

// "expect WHAT yes|no" of a Boolean the world answers.
Reader ExpectYesNo(const char* what, bool (*actual)(Session&)) {
    return [what, actual](Args& a) -> Action {
        const bool expected = a.YesNo(what);
        a.End();
        return [expected, actual](Session& s) {
            const bool value = actual(s);
            Check(s, expected, value, YesNoText(expected), YesNoText(value));
        };
    };
}

// "expect WHAT "text"" of a text the world answers.
Reader ExpectText(std::string (*actual)(Session&)) {
    return WithText("text", [actual](Session& s, const std::string& expected) {
        CheckText(s, expected, actual(s));
    });
}

// "expect WHAT N" of a 16-bit number the world answers.
Reader ExpectInt16(const char* what, std::int16_t (*actual)(Session&)) {
    return [what, actual](Args& a) -> Action {
        const auto expected = a.Number<std::int16_t>(what);
        a.End();
        return [expected, actual](Session& s) {
            const auto value = actual(s);
            Check(s, expected, value, std::to_string(expected), std::to_string(value));
        };
    };
}

Action ReadState(Args& a) {
    const auto word = a.Word("tray state");
    std::int32_t expected = -1;
    if (auto it = kStates.find(word); it != kStates.end()) {
        expected = it->second;
    } else if (const auto number = ParseNumber(word); number && *number >= 0 && *number <= 9) {
        expected = static_cast<std::int32_t>(*number);
    } else {
        a.Error("unknown tray state '" + word + "' (a name such as Idle, or 0 to 9)");
    }
    a.End();
    return [expected](Session& s) {
        const auto actual = Form(s).state;
        Check(s, expected, actual, StateName(expected), StateName(actual));
    };
}

Reader ExpectIcon(bool blink) {
    return [blink](Args& a) -> Action {
        const auto expected = a.Accept("none")
                                  ? std::string("none")
                                  : std::to_string(a.Number<std::int16_t>("icon id (or none)"));
        a.End();
        return [expected, blink](Session& s) {
            const auto item = Item(s);
            const auto& actual = blink ? item.blinkIcon : item.icon;
            Check(s, expected, actual, expected, actual);
        };
    };
}

// ---- The form's menu

const MenuEntryView* FindItem(const FormView& form, const std::string& name) {
    for (const auto& item : form.items)
        if (item.name == name) return &item;
    return nullptr;
}

Action ReadMenu(Args& a) {
    const auto name = a.Word("menu item");
    std::optional<bool> visible, checked;
    std::optional<std::string> caption, tag;
    if (!a.More())
        a.Error("missing what to expect of " + name +
                " (shown, hidden, checked, unchecked, caption, tag)");
    while (a.More()) {
        if (a.Accept("shown"))
            visible = true;
        else if (a.Accept("hidden"))
            visible = false;
        else if (a.Accept("checked"))
            checked = true;
        else if (a.Accept("unchecked"))
            checked = false;
        else if (a.Accept("caption"))
            caption = a.Next("caption text");
        else if (a.Accept("tag"))
            tag = a.Next("tag text");
        else
            a.Error("expected shown, hidden, checked, unchecked, caption or tag, not '" +
                    a.Next("") + "'");
    }
    return [=](Session& s) {
        const auto form = Form(s);
        const auto* item = FindItem(form, name);
        if (!item) s.Impossible("the menu has no item " + name);
        if (visible && item->visible != *visible)
            s.Fail(name + (*visible ? " shown" : " hidden"),
                   name + (item->visible ? " shown" : " hidden"));
        if (checked && item->checked != *checked)
            s.Fail(name + (*checked ? " checked" : " unchecked"),
                   name + (item->checked ? " checked" : " unchecked"));
        if (caption) CheckText(s, *caption, item->caption);
        if (tag) CheckText(s, *tag, item->tag);
    };
}

Action ReadDefault(Args& a) {
    const auto expected = a.Word("menu item (or none)");
    a.End();
    return [expected](Session& s) {
        const auto actual = Form(s).defaultItem;
        Check(s, expected, actual, expected, actual);
    };
}

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

Action ReadPopup(Args& a) {
    std::vector<std::string> expected;
    while (a.More()) expected.push_back(a.Word("menu item"));
    if (expected.empty()) a.Error("missing the items of the popup (the default one marked with *)");
    return [expected](Session& s) {
        const auto popups = s.world->Recorded().popups;
        if (popups.empty()) {
            s.Fail("a popup menu", "no popup menu was shown");
            return;
        }
        const auto& shown = popups.back();
        std::vector<std::string> actual;
        for (const auto& name : shown.visibleItems)
            actual.push_back(name == shown.defaultItem ? name + "*" : name);
        Check(s, expected, actual, Joined(expected), Joined(actual));
    };
}

// ---- What was recorded, consumed in order

// The next item of a recording, consumed; null (and a failure) when there is none.
template <class T>
const T* Next(Session& s, const std::vector<T>& recorded, std::size_t& seen,
              const std::string& expected, const char* none) {
    if (seen >= recorded.size()) {
        s.Fail(expected, none);
        return nullptr;
    }
    return &recorded[seen++];
}

Action ReadEvent(Args& a) {
    ClientEvent expected;
    expected.name = a.Word("event name");
    while (a.More()) expected.args.push_back(a.Next("argument"));
    return [expected](Session& s) {
        const auto* actual =
            Next(s, s.client->events, s.eventsSeen, expected.Describe(), "no further event");
        if (actual && (actual->name != expected.name || actual->args != expected.args))
            s.Fail(expected.Describe(), actual->Describe());
    };
}

void CheckMessage(Session& s, const std::string& expected) {
    const auto boxes = s.world->Recorded().messageBoxes;
    if (const auto* box = Next(s, boxes, s.messagesSeen, Quote(expected), "no further message box"))
        CheckText(s, expected, *box);
}

void ConsumeBeep(Session& s) {
    if (s.beepsSeen >= s.world->Recorded().beeps) {
        s.Fail("a beep", "no further beep");
        return;
    }
    ++s.beepsSeen;
}

void CheckProcess(Session& s, const std::string& expected) {
    const auto processes = s.world->Recorded().processes;
    const auto* actual =
        Next(s, processes, s.processesSeen, expected, "no further process started");
    if (!actual) return;
    Check(s, expected, actual->commandLine, expected, actual->commandLine);
    if (actual->showMode != kShowMinimized)
        s.Fail("show mode 2 (minimized)", "show mode " + std::to_string(actual->showMode));
}

// Finds the next recorded line containing the text and consumes everything up to it.
Reader ExpectLine(bool log) {
    return WithText("text to find", [log](Session& s, const std::string& text) {
        const auto recorded = s.world->Recorded();
        const auto& lines = log ? recorded.logLines : recorded.debugLines;
        auto& seen = log ? s.logSeen : s.debugSeen;
        for (auto i = seen; i < lines.size(); ++i) {
            if (lines[i].find(text) != std::string::npos) {
                seen = i + 1;
                return;
            }
        }
        s.Fail(std::string(log ? "a log line" : "a debugger-output line") + " containing " +
                   Quote(text),
               std::to_string(lines.size() - std::min(seen, lines.size())) +
                   " further line(s), none containing it" +
                   (lines.size() > seen ? "; last: " + Quote(lines.back()) : ""));
    });
}

void CheckForeground(Session& s) {
    Form(s);
    const auto calls = s.world->Recorded().formForegroundCalls;
    const bool found = calls > s.foregroundSeen;
    s.foregroundSeen = calls;
    if (!found) s.Fail("the tray form's window brought to the foreground", "it was not");
}

void CheckDrag(Session& s, const std::string& expected) {
    Item(s);
    const auto drags = s.world->Recorded().drags;
    const auto* d = Next(s, drags, s.dragsSeen, "a drag of " + Quote(expected), "no further drag");
    if (!d) return;
    CheckText(s, expected, d->text);
    if (d->format != kClipboardFormatText || d->allowedEffects != kDropEffectCopyOrMove)
        s.Fail("plain text (format 1), effects 3", "format " + std::to_string(d->format) +
                                                       ", effects " +
                                                       std::to_string(d->allowedEffects));
}

Action ReadError(Args& a) {
    const auto number = a.Number<std::int32_t>("error number");
    a.End();
    return [number](Session& s) {
        const auto expected = "error " + std::to_string(number);
        const auto* actual =
            Next(s, s.componentErrors, s.errorsSeen, expected, "no further component error");
        if (actual && actual->rfind(expected + " ", 0) != 0) s.Fail(expected, *actual);
    };
}

void CheckClientFailure(Session& s, const std::string& text) {
    const auto expected = "a client failure containing " + Quote(text);
    const auto* actual = Next(s, s.client->failures, s.failuresSeen, expected, "none");
    if (actual && actual->find(text) == std::string::npos) s.Fail(expected, *actual);
}

// The recordings of one kind that no expectation has consumed yet, described.
enum class Recording { Events, Messages, Beeps, Processes, Drags };

std::vector<std::string> Unconsumed(Session& s, Recording what) {
    std::vector<std::string> left;
    const auto recorded = s.world->Recorded();
    switch (what) {
        case Recording::Events:
            for (auto i = s.eventsSeen; i < s.client->events.size(); ++i)
                left.push_back(s.client->events[i].Describe());
            break;
        case Recording::Messages:
            for (auto i = s.messagesSeen; i < recorded.messageBoxes.size(); ++i)
                left.push_back(Quote(recorded.messageBoxes[i]));
            break;
        case Recording::Beeps:
            for (auto i = s.beepsSeen; i < recorded.beeps; ++i) left.push_back("beep");
            break;
        case Recording::Processes:
            for (auto i = s.processesSeen; i < recorded.processes.size(); ++i)
                left.push_back(recorded.processes[i].commandLine);
            break;
        case Recording::Drags:
            for (auto i = s.dragsSeen; i < recorded.drags.size(); ++i)
                left.push_back(Quote(recorded.drags[i].text));
            break;
    }
    return left;
}

// "expect no events|messages|...": nothing further of that kind was recorded.
Reader NothingFurther(Recording what) {
    return Alone([what](Session& s) {
        const auto left = Unconsumed(s, what);
        if (!left.empty())
            s.Fail("nothing further",
                   std::to_string(left.size()) + " more, the first: " + left.front());
    });
}

// ---- The world, the phone system and the client

Action ReadWindow(Args& a) {
    const auto title = a.Next("window title");
    const bool open = a.OneOf<bool>("window state", {{"open", true}, {"closed", false}});
    a.End();
    return [title, open](Session& s) {
        const bool actual = s.world->WindowOpen(title);
        auto text = [](bool isOpen) { return isOpen ? "open" : "closed"; };
        Check(s, open, actual, text(open), text(actual));
    };
}

Action ReadCall(Args& a) {
    const auto remote = a.Next("remote number");
    const auto expected = a.OneOf("call state", kCallStates);
    a.End();
    return [remote, expected](Session& s) {
        auto call = s.phone.CallWith(remote);
        const auto actual = call ? call->state : -1;
        Check(s, expected, actual, CallState(expected), CallState(actual));
    };
}

Action ReadMonitorRequests(Args& a) {
    const auto number = a.Next("extension number");
    const auto expected = a.Number<int>("request count", 0);
    a.End();
    return [number, expected](Session& s) {
        const auto actual = s.phone.Extension(number)->monitorRequests;
        Check(s, expected, actual, std::to_string(expected), std::to_string(actual));
    };
}

Action ReadMenuSelected(Args& a) {
    const auto key = a.Next("session key");
    const auto entry = a.Next("menu entry");
    a.End();
    return [key, entry](Session& s) {
        auto session = s.phone.Session(key);
        if (!session) s.Impossible("there is no session with key " + key);
        if (const auto* chosen = Next(s, session->menusSelected, s.menuSelectionsSeen[key],
                                      Quote(entry) + " sent to " + key, "no further menu choice"))
            CheckText(s, entry, *chosen);
    };
}

const WordRow kExpectations[] = {
    {"expect", {}, "expectation"},
    {"expect state", ReadState, {}},
    {"expect icon", ExpectIcon(false), {}},
    {"expect blink-icon", ExpectIcon(true), {}},
    {"expect blinking", ExpectYesNo("blinking", [](Session& s) { return Item(s).blinking; }), {}},
    {"expect tooltip", ExpectText([](Session& s) { return Item(s).toolTip; }), {}},
    {"expect visible", ExpectYesNo("visible", [](Session& s) { return Item(s).visible; }), {}},
    {"expect shortcut",
     ExpectInt16("short-cut modifiers", [](Session& s) { return Item(s).shortCut; }),
     {}},
    {"expect shortcut-active",
     ExpectYesNo("shortcut-active", [](Session& s) { return Item(s).shortCutActive; }),
     {}},
    {"expect dial-caption", ExpectText([](Session& s) { return Item(s).dialCaption; }), {}},
    {"expect menu", ReadMenu, {}},
    {"expect default", ReadDefault, {}},
    {"expect popup", ReadPopup, {}},
    {"expect event", ReadEvent, {}},
    {"expect no", {}, "recording"},
    {"expect no events", NothingFurther(Recording::Events), {}},
    {"expect no messages", NothingFurther(Recording::Messages), {}},
    {"expect no beeps", NothingFurther(Recording::Beeps), {}},
    {"expect no processes", NothingFurther(Recording::Processes), {}},
    {"expect no drags", NothingFurther(Recording::Drags), {}},
    {"expect message", WithText("message text", CheckMessage), {}},
    {"expect beep", Alone(ConsumeBeep), {}},
    {"expect process", WithText("command line", CheckProcess), {}},
    {"expect debug", ExpectLine(false), {}},
    {"expect log", ExpectLine(true), {}},
    {"expect foreground", Alone(CheckForeground), {}},
    {"expect drag", WithText("dragged text", CheckDrag), {}},
    {"expect window", ReadWindow, {}},
    {"expect call", ReadCall, {}},
    {"expect monitor-requests", ReadMonitorRequests, {}},
    {"expect offline",
     ExpectYesNo("offline", [](Session& s) { return s.client->IsOfflineSelected(); }),
     {}},
    {"expect menu-selected", ReadMenuSelected, {}},
    {"expect error", ReadError, {}},
    {"expect client-failure", WithText("text of the failure", CheckClientFailure), {}},
    {"expect clicktocall", {}, "clicktocall property"},
    {"expect clicktocall running",
     ExpectYesNo("running", [](Session& s) { return s.world->AppRunning(); }),
     {}},
    {"expect clicktocall connected",
     ExpectYesNo("connected", [](Session& s) { return s.world->AppConnected(); }),
     {}},
    {"expect clicktocall edn", ExpectText([](Session& s) { return s.world->AppEdn(); }), {}},
    {"expect clicktocall connectivity",
     ExpectInt16("connectivity mode", [](Session& s) { return s.world->AppConnectivity(); }),
     {}},
};

}  // namespace

std::span<const WordRow> ExpectationWords() {
    return kExpectations;
}

}  // namespace qor::sim
