#include "sim/scenario/Script.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <sstream>

#include "core/contracts/Platform.h"
#include "core/contracts/TrayIcon.h"
#include "sim/scenario/Session.h"

namespace qor::sim {

std::vector<Token> Tokenize(const std::string& line, const std::string& file, int lineNo) {
    // The real world's texts end at a NUL: what followed would be lost there.
    if (line.find('\0') != std::string::npos)
        throw ScriptError(file, lineNo, "a NUL character in the line");
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token t{"", true};
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    t.text += line[i + 1];
                    i += 2;
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    t.text += line[i++];
                }
            }
            if (!closed) throw ScriptError(file, lineNo, "a text in quotes is not closed");
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                line[i] != '#')
                throw ScriptError(file, lineNo, "a text in quotes is joined to what follows it");
            tokens.push_back(std::move(t));
        } else {
            Token t;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '"')
                t.text += line[i++];
            if (i < line.size() && line[i] == '"')
                throw ScriptError(file, lineNo, "a text in quotes is joined to the word before it");
            tokens.push_back(std::move(t));
        }
    }
    return tokens;
}

namespace {

// A whole number: decimal with an optional minus sign, or hexadecimal after "0x".
// Values too large for any range come back as kHuge.
constexpr std::int64_t kHuge = std::int64_t{1} << 40;
std::optional<std::int64_t> ParseNumber(const std::string& text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    int base = 10;
    if (!negative && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    if (i >= text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = std::min(value * base + digit, kHuge);
    }
    return negative ? -value : value;
}

// The words of one line, read left to right; every complaint names file and line.
class Args {
  public:
    Args(std::vector<Token> tokens, std::string file, int line)
        : tokens_(std::move(tokens)), file_(std::move(file)), line_(line) {}

    bool More() const { return pos_ < tokens_.size(); }
    [[noreturn]] void Error(const std::string& message) const {
        throw ScriptError(file_, line_, message);
    }
    std::string Next(const std::string& what) {
        if (!More()) Error("missing " + what);
        return tokens_[pos_++].text;
    }
    std::string Word(const std::string& what) {
        if (!More()) Error("missing " + what);
        if (tokens_[pos_].quoted) Error("expected " + what + ", not a text in quotes");
        return tokens_[pos_++].text;
    }
    bool Accept(const std::string& word) {
        if (More() && !tokens_[pos_].quoted && tokens_[pos_].text == word) {
            ++pos_;
            return true;
        }
        return false;
    }
    // A number within [min, max]; anything else stops the scenario, as a value
    // cut to fit would test something other than what the line says.
    template <class T>
    T Number(const std::string& what, T min = std::numeric_limits<T>::min(),
             T max = std::numeric_limits<T>::max()) {
        const auto text = Word(what);
        const auto value = ParseNumber(text);
        if (!value) Error("expected a number for " + what + ", not '" + text + "'");
        if (*value < static_cast<std::int64_t>(min) || *value > static_cast<std::int64_t>(max))
            Error(what + " " + text + " is out of range (" + std::to_string(min) + " to " +
                  std::to_string(max) + ")");
        return static_cast<T>(*value);
    }
    bool YesNo(const std::string& what) {
        const auto word = Word(what);
        if (word == "yes" || word == "on" || word == "true") return true;
        if (word == "no" || word == "off" || word == "false") return false;
        Error("expected yes or no for " + what + ", not '" + word + "'");
    }
    template <class T>
    T OneOf(const std::string& what, const std::map<std::string, T>& choices) {
        const auto word = Word(what);
        const auto it = choices.find(word);
        if (it != choices.end()) return it->second;
        std::string known;
        for (const auto& [name, _] : choices) known += (known.empty() ? "" : ", ") + name;
        Error("unknown " + what + " '" + word + "' (known: " + known + ")");
    }
    void End() {
        if (More()) Error("unexpected '" + tokens_[pos_].text + "' at the end of the line");
    }

  private:
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::string file_;
    int line_;
};

using Action = std::function<void(Session&)>;

constexpr int kMaxTicks = 10000;

const std::map<std::string, std::int16_t> kButtons{{"left", 1}, {"right", 2}, {"middle", 4}};
const std::map<std::string, std::int16_t> kModifiers{
    {"none", 0}, {"shift", 1}, {"ctrl", 2}, {"ctrl+shift", 3}};
const std::map<std::string, std::int32_t> kStates{
    {"NotAvailable", 0}, {"NotConnected", 1}, {"Ringing", 2}, {"OnHold", 3}, {"Calling", 4},
    {"Talking", 5},      {"Cleared", 6},      {"Waiting", 7}, {"Hidden", 8}, {"Idle", 9}};
// A tray state by its name when it has one.
std::string StateName(std::int32_t state) {
    for (const auto& [name, value] : kStates)
        if (value == state) return name;
    return std::to_string(state);
}
const std::map<std::string, std::int32_t> kCallStates{
    {"ringing", 1}, {"alerting", 2}, {"connected", 3}, {"held", 4}, {"gone", -1}};

std::string Quote(const std::string& text) {
    return "\"" + text + "\"";
}
std::string YesNoText(bool value) {
    return value ? "yes" : "no";
}

World& Tray(Session& s) {
    if (!s.world->HasTray()) s.Impossible("there is no tray icon yet ('client create' shows it)");
    return *s.world;
}

TrayView Item(Session& s) {
    return Tray(s).Tray();
}

FormView Form(Session& s) {
    if (!s.world->HasForm())
        s.Impossible("the tray form does not exist yet ('client create' loads it)");
    return s.world->Form();
}

const MenuEntryView* FindItem(const FormView& form, const std::string& name) {
    for (const auto& item : form.items)
        if (item.name == name) return &item;
    return nullptr;
}

SimCallPtr CurrentCall(Session& s, const char* what) {
    auto call = s.phone.CurrentCall();
    if (!call) s.Impossible(std::string("cannot ") + what + ": the extension has no current call");
    return call;
}

// The system's limits on the names in a registry path.
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;

// Splits "HKCU\Software\..." into its root and the path below it, which must name
// a key: names of at most 255 characters, one backslash between them.
std::pair<RegKey, std::string> RegistryKey(Args& a) {
    const auto text = a.Next("registry key");
    const auto slash = text.find('\\');
    const auto rootName = text.substr(0, slash);
    static const std::map<std::string, RegKey> roots{{"HKCU", reg::kCurrentUser},
                                                     {"HKEY_CURRENT_USER", reg::kCurrentUser},
                                                     {"HKLM", reg::kLocalMachine},
                                                     {"HKEY_LOCAL_MACHINE", reg::kLocalMachine}};
    const auto it = roots.find(rootName);
    if (it == roots.end() || slash == std::string::npos)
        a.Error("a registry key starts with HKCU\\ or HKLM\\, not '" + text + "'");
    const auto path = text.substr(slash + 1);
    std::size_t start = 0;
    for (;;) {
        const auto end = std::min(path.find('\\', start), path.size());
        if (end == start)
            a.Error("registry key '" + text + "' has an empty name in it (a backslash too many)");
        if (end - start > kMaxKeyName)
            a.Error("registry key '" + text + "' has a name longer than 255 characters");
        if (end == path.size()) break;
        start = end + 1;
    }
    return {it->second, path};
}

// ---- Actions

Action ReadReg(Args& a) {
    auto [root, path] = RegistryKey(a);
    const auto name = a.Next("value name");
    if (name.size() > kMaxValueName)
        a.Error("a registry value name is at most 16383 characters long");
    if (a.Accept("delete")) {
        a.End();
        return [root, path, name](Session& s) { s.world->DeleteRegistryValue(root, path, name); };
    }
    if (!a.Accept("=")) a.Error("expected '=' or 'delete' after the value name");
    if (a.Accept("dword")) {
        const auto value = a.Number<std::uint32_t>("dword value");
        a.End();
        return [root, path, name, value](Session& s) {
            s.world->SetRegistryDword(root, path, name, value);
        };
    }
    const auto value = a.Next("value text");
    a.End();
    return [root, path, name, value](Session& s) {
        s.world->SetRegistryString(root, path, name, value);
    };
}

Action ReadClipboard(Args& a) {
    if (a.Accept("empty")) {
        a.End();
        return [](Session& s) { s.world->ClearClipboard(); };
    }
    const auto text = a.Next("clipboard text (or 'empty')");
    a.End();
    return [text](Session& s) { s.world->SetClipboard(text); };
}

Action ReadWindow(Args& a) {
    const bool open = a.OneOf<bool>("window action", {{"open", true}, {"close", false}});
    const auto title = a.Next("window title");
    a.End();
    return [open, title](Session& s) {
        if (open) {
            s.world->OpenWindow(title);
        } else if (!s.world->CloseWindow(title)) {
            s.Impossible("no window titled " + Quote(title) + " is open");
        }
    };
}

Action ReadClient(Args& a) {
    const auto what = a.Word("client action");
    if (what == "create") {
        a.End();
        return [](Session& s) { s.client->CreateLauncher(); };
    }
    if (what == "add-session") {
        const auto name = a.Next("application name");
        std::string key = name;
        std::int32_t mode = 2;
        std::vector<std::string> menus;
        while (a.More()) {
            if (a.Accept("mode")) {
                mode = a.Number<std::int32_t>("connect mode");
            } else if (a.Accept("key")) {
                key = a.Next("session key");
            } else if (a.Accept("menus")) {
                while (a.More()) menus.push_back(a.Next("menu entry"));
            } else {
                a.Error("expected mode, key or menus, not '" + a.Next("") + "'");
            }
        }
        return
            [name, key, mode, menus](Session& s) { s.client->AddSession(name, key, mode, menus); };
    }
    if (what == "start") {
        a.End();
        return [](Session& s) { s.client->Start(); };
    }
    if (what == "tooltip") {
        const auto text = a.Next("tooltip text");
        a.End();
        return [text](Session& s) { s.client->SetTooltip(text); };
    }
    if (what == "forward-icon") {
        const auto id = a.Number<std::int32_t>("icon id");
        a.End();
        return [id](Session& s) { s.client->ExecuteCommand("ForwardIconID", Variant(id)); };
    }
    if (what == "command") {
        const auto name = a.Next("command name");
        const auto arg = a.Next("command argument");
        a.End();
        return [name, arg](Session& s) { s.client->ExecuteCommand(name, Variant(arg)); };
    }
    if (what == "release") {
        a.End();
        return [](Session& s) { s.client->Release(); };
    }
    a.Error("unknown client action '" + what +
            "' (known: create, add-session, start, tooltip, forward-icon, command, release)");
}

Action ReadPhone(Args& a) {
    const auto what = a.Word("phone happening");
    if (what == "extension") {
        const auto number = a.Next("extension number");
        const auto line = a.More() ? a.Next("line name") : number;
        a.End();
        return [number, line](Session& s) { s.phone.AddExtension(number, line); };
    }
    if (what == "second-entry") {
        const auto entry = a.Next("entry id");
        a.End();
        return [entry](Session& s) { s.phone.Extensions().secondEntryId = entry; };
    }
    if (what == "link") {
        const bool up = a.OneOf<bool>("link state", {{"up", true}, {"down", false}});
        a.End();
        return [up](Session& s) { s.phone.linkUp = up; };
    }
    if (what == "incoming") {
        const auto caller = a.Next("caller number");
        a.End();
        return [caller](Session& s) { s.phone.IncomingCall(caller); };
    }
    if (what == "remote-answers") {
        a.End();
        return [](Session& s) { s.phone.FarEndAnswers(); };
    }
    if (what == "pickup") {
        a.End();
        return [](Session& s) { s.phone.Answer(CurrentCall(s, "pick up")); };
    }
    if (what == "hold") {
        a.End();
        return [](Session& s) { s.phone.Hold(CurrentCall(s, "hold")); };
    }
    if (what == "retrieve") {
        a.End();
        return [](Session& s) { s.phone.Retrieve(CurrentCall(s, "retrieve")); };
    }
    if (what == "clear") {
        a.End();
        return [](Session& s) { s.phone.Clear(CurrentCall(s, "clear")); };
    }
    if (what == "withdraw") {
        a.End();
        return [](Session& s) { s.phone.Withdraw(CurrentCall(s, "withdraw")); };
    }
    if (what == "consult") {
        const auto number = a.Next("consulted number");
        a.End();
        return [number](Session& s) { s.phone.Consult(number); };
    }
    if (what == "event") {
        const auto name = a.Word("call event name");
        const std::int32_t property = a.More() ? a.Number<std::int32_t>("property code") : 0;
        a.End();
        return [name, property](Session& s) { s.phone.RaiseCallEvent(name, property); };
    }
    if (what == "forward") {
        const auto target = a.Accept("off") ? std::string() : a.Next("forwarding destination");
        a.End();
        return [target](Session& s) { s.phone.SetForwarding(target); };
    }
    if (what == "info" || what == "voicemail") {
        const auto name = what == "info" ? "App Infos" : "Voice Messages";
        const auto text = a.Accept("off") ? std::string() : a.Next("text (or 'off')");
        a.End();
        return [name, text](Session& s) { s.phone.SetCustomProperty(name, text); };
    }
    if (what == "blinking") {
        const bool on = a.YesNo("blinking (on or off)");
        a.End();
        return [on](Session& s) { s.phone.SetCustomProperty("Blinking", on ? "1" : ""); };
    }
    if (what == "connection") {
        std::int32_t state;
        if (a.Accept("up")) {
            state = 1;
        } else if (a.Accept("down")) {
            state = 0;
        } else {
            state = a.Number<std::int32_t>("connection state (up, down or a number)");
        }
        a.End();
        return [state](Session& s) { s.phone.SetConnectionState(state); };
    }
    if (what == "capabilities") {
        const auto caps = a.Number<std::int32_t>("capabilities");
        a.End();
        return [caps](Session& s) { s.phone.SetCapabilities(caps); };
    }
    if (what == "monitoring") {
        const bool starts =
            a.OneOf<bool>("monitoring change", {{"starts", true}, {"stops", false}});
        a.End();
        return [starts](Session& s) {
            if (starts) {
                s.phone.MonitoringStarts();
            } else {
                s.phone.MonitoringStops();
            }
        };
    }
    a.Error("unknown phone happening '" + what +
            "' (known: extension, second-entry, link, incoming, remote-answers, pickup, hold, "
            "retrieve, clear, withdraw, consult, event, forward, info, voicemail, blinking, "
            "connection, "
            "capabilities, monitoring)");
}

Action ReadTray(Args& a) {
    const auto what = a.Word("tray gesture");
    if (what == "move") {
        a.End();
        return [](Session& s) { Tray(s).TrayMove(); };
    }
    if (what == "leave") {
        a.End();
        return [](Session& s) { Tray(s).TrayLeave(); };
    }
    if (what == "press" || what == "release") {
        const auto button = a.OneOf("button", kButtons);
        const auto shift = a.More() ? a.OneOf("modifier", kModifiers) : std::int16_t{0};
        a.End();
        const bool press = what == "press";
        return [press, button, shift](Session& s) {
            if (press) {
                Tray(s).TrayPress(button, shift);
            } else {
                Tray(s).TrayRelease(button, shift);
            }
        };
    }
    if (what == "click") {
        const auto button = a.More() ? a.OneOf("button", kButtons) : std::int16_t{1};
        a.End();
        return [button](Session& s) { Tray(s).TrayClick(button); };
    }
    if (what == "double-click") {
        a.End();
        return [](Session& s) { Tray(s).TrayDoubleClick(); };
    }
    if (what == "short-dial") {
        const auto shift = a.More() ? a.OneOf("modifier", kModifiers) : std::int16_t{1};
        a.End();
        return [shift](Session& s) { Tray(s).TrayShortDial(shift); };
    }
    if (what == "drag") {
        a.End();
        return [](Session& s) { Tray(s).TrayDrag(); };
    }
    a.Error("unknown tray gesture '" + what +
            "' (known: move, leave, press, release, click, double-click, short-dial, drag)");
}

Action ReadMenu(Args& a) {
    const auto what = a.Word("menu action (open or choose)");
    std::string choice;
    if (what == "choose") {
        choice = a.Word("menu item");
    } else if (what != "open") {
        a.Error("unknown menu action '" + what + "' (known: open, choose)");
    }
    a.End();
    // A right press pops the menu up; it is modal, so the choice is made while it
    // is open and the item's handler runs before the press handler returns.
    return [choice](Session& s) {
        const auto outcome = Tray(s).RightClickPopup(choice);
        if (!outcome.shown) s.Impossible("the right press did not open the popup menu");
        if (!choice.empty() && !outcome.found)
            s.Impossible(choice + " is not shown in the popup menu");
    };
}

Action ReadTick(Args& a) {
    // A bound that keeps a typing slip from running for hours.
    const auto count = a.More() ? a.Number<int>("tick count", 1, kMaxTicks) : 1;
    a.End();
    return [count](Session& s) {
        for (int i = 0; i < count; ++i) {
            // No running timer: nothing happens, as with a disabled timer.
            s.world->Tick();
            s.pump.Pump();
        }
    };
}

Action ReadConfigChanged(Args& a) {
    // The client's flags are 32-bit masks.
    const auto lParam = a.Number<std::uint32_t>("flags");
    std::uint32_t wParam = 0;
    if (a.Accept("wparam")) wParam = a.Number<std::uint32_t>("wparam");
    a.End();
    return [lParam, wParam](Session& s) {
        Form(s);
        s.world->SendConfigChanged(static_cast<std::uintptr_t>(wParam),
                                   static_cast<std::intptr_t>(lParam));
    };
}

Action ReadClickToCall(Args& a) {
    const auto what = a.Word("clicktocall action (new or call)");
    if (what == "new") {
        a.End();
        return [](Session& s) { s.world->NewClickToCall(); };
    }
    if (what == "call") {
        const auto edn = a.Next("number");
        const auto first = a.More() ? a.Next("first name") : "";
        const auto last = a.More() ? a.Next("last name") : "";
        a.End();
        return [edn, first, last](Session& s) { s.world->CallEdn(edn, first, last); };
    }
    a.Error("unknown clicktocall action '" + what + "' (known: new, call)");
}

// ---- Expectations

template <class T>
void Check(Session& s, const T& expected, const T& actual, std::string expectedText,
           std::string actualText) {
    if (!(expected == actual)) s.Fail(expectedText, actualText);
}

void CheckText(Session& s, const std::string& expected, const std::string& actual) {
    Check(s, expected, actual, Quote(expected), Quote(actual));
}

void CheckBool(Session& s, bool expected, bool actual) {
    Check(s, expected, actual, YesNoText(expected), YesNoText(actual));
}

Action ReadIconExpectation(Args& a, bool blink) {
    const auto expected = a.Accept("none")
                              ? std::string("none")
                              : std::to_string(a.Number<std::int16_t>("icon id (or none)"));
    a.End();
    return [expected, blink](Session& s) {
        const auto item = Item(s);
        const auto& actual = blink ? item.blinkIcon : item.icon;
        Check(s, expected, actual, expected, actual);
    };
}

Action ReadMenuExpectation(Args& a) {
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

Action ReadEventExpectation(Args& a) {
    ClientEvent expected;
    expected.name = a.Word("event name");
    while (a.More()) expected.args.push_back(a.Next("argument"));
    return [expected](Session& s) {
        const auto& events = s.client->events;
        if (s.eventsSeen >= events.size()) {
            s.Fail(expected.Describe(), "no further event");
            return;
        }
        const auto& actual = events[s.eventsSeen++];
        if (actual.name != expected.name || actual.args != expected.args)
            s.Fail(expected.Describe(), actual.Describe());
    };
}

// Finds the next recorded line containing `text` and consumes everything up to it.
Action ReadLineExpectation(Args& a, bool log) {
    const auto text = a.Next("text to find");
    a.End();
    return [text, log](Session& s) {
        std::vector<std::string> lines;
        if (log) {
            lines = s.world->Recorded().logLines;
        } else {
            lines = s.world->Recorded().debugLines;
        }
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
    };
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

// "expect no events|messages|beeps|processes|drags": nothing further was recorded.
Action ReadNothingExpectation(Args& a) {
    const auto what = a.OneOf<Recording>("recording", {{"events", Recording::Events},
                                                       {"messages", Recording::Messages},
                                                       {"beeps", Recording::Beeps},
                                                       {"processes", Recording::Processes},
                                                       {"drags", Recording::Drags}});
    a.End();
    return [what](Session& s) {
        const auto left = Unconsumed(s, what);
        if (!left.empty())
            s.Fail("nothing further",
                   std::to_string(left.size()) + " more, the first: " + left.front());
    };
}

Action ReadExpect(Args& a) {
    const auto what = a.Word("what to expect");
    if (what == "state") {
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
    if (what == "icon") return ReadIconExpectation(a, false);
    if (what == "blink-icon") return ReadIconExpectation(a, true);
    if (what == "blinking" || what == "visible" || what == "shortcut-active") {
        const bool expected = a.YesNo(what);
        a.End();
        return [what, expected](Session& s) {
            const auto item = Item(s);
            CheckBool(s, expected,
                      what == "blinking"  ? item.blinking
                      : what == "visible" ? item.visible
                                          : item.shortCutActive);
        };
    }
    if (what == "tooltip" || what == "dial-caption") {
        const auto expected = a.Next("text");
        a.End();
        return [what, expected](Session& s) {
            const auto item = Item(s);
            CheckText(s, expected, what == "tooltip" ? item.toolTip : item.dialCaption);
        };
    }
    if (what == "shortcut") {
        const auto expected = a.Number<std::int16_t>("short-cut modifiers");
        a.End();
        return [expected](Session& s) {
            const auto actual = Item(s).shortCut;
            Check(s, expected, actual, std::to_string(expected), std::to_string(actual));
        };
    }
    if (what == "menu") return ReadMenuExpectation(a);
    if (what == "default") {
        const auto expected = a.Word("menu item (or none)");
        a.End();
        return [expected](Session& s) {
            const auto actual = Form(s).defaultItem;
            Check(s, expected, actual, expected, actual);
        };
    }
    if (what == "popup") {
        std::vector<std::string> expected;
        while (a.More()) expected.push_back(a.Word("menu item"));
        if (expected.empty())
            a.Error("missing the items of the popup (the default one marked with *)");
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
            auto join = [](const std::vector<std::string>& v) {
                std::string out;
                for (const auto& x : v) out += (out.empty() ? "" : " ") + x;
                return out;
            };
            Check(s, expected, actual, join(expected), join(actual));
        };
    }
    if (what == "event") return ReadEventExpectation(a);
    if (what == "no") return ReadNothingExpectation(a);
    if (what == "message") {
        const auto expected = a.Next("message text");
        a.End();
        return [expected](Session& s) {
            const auto boxes = s.world->Recorded().messageBoxes;
            if (s.messagesSeen >= boxes.size()) {
                s.Fail(Quote(expected), "no further message box");
                return;
            }
            CheckText(s, expected, boxes[s.messagesSeen++]);
        };
    }
    if (what == "beep") {
        a.End();
        return [](Session& s) {
            if (s.beepsSeen >= s.world->Recorded().beeps) {
                s.Fail("a beep", "no further beep");
                return;
            }
            ++s.beepsSeen;
        };
    }
    if (what == "process") {
        const auto expected = a.Next("command line");
        a.End();
        return [expected](Session& s) {
            const auto processes = s.world->Recorded().processes;
            if (s.processesSeen >= processes.size()) {
                s.Fail(expected, "no further process started");
                return;
            }
            const auto& actual = processes[s.processesSeen++];
            Check(s, expected, actual.commandLine, expected, actual.commandLine);
            if (actual.showMode != kShowMinimized)
                s.Fail("show mode 2 (minimized)", "show mode " + std::to_string(actual.showMode));
        };
    }
    if (what == "debug") return ReadLineExpectation(a, false);
    if (what == "log") return ReadLineExpectation(a, true);
    if (what == "foreground") {
        a.End();
        return [](Session& s) {
            Form(s);
            const auto calls = s.world->Recorded().formForegroundCalls;
            const bool found = calls > s.foregroundSeen;
            s.foregroundSeen = calls;
            if (!found) s.Fail("the tray form's window brought to the foreground", "it was not");
        };
    }
    if (what == "drag") {
        const auto expected = a.Next("dragged text");
        a.End();
        return [expected](Session& s) {
            Item(s);
            const auto drags = s.world->Recorded().drags;
            if (s.dragsSeen >= drags.size()) {
                s.Fail("a drag of " + Quote(expected), "no further drag");
                return;
            }
            const auto& d = drags[s.dragsSeen++];
            CheckText(s, expected, d.text);
            if (d.format != kClipboardFormatText || d.allowedEffects != kDropEffectCopyOrMove)
                s.Fail("plain text (format 1), effects 3", "format " + std::to_string(d.format) +
                                                               ", effects " +
                                                               std::to_string(d.allowedEffects));
        };
    }
    if (what == "window") {
        const auto title = a.Next("window title");
        const bool open = a.OneOf<bool>("window state", {{"open", true}, {"closed", false}});
        a.End();
        return [title, open](Session& s) { CheckBool(s, open, s.world->WindowOpen(title)); };
    }
    if (what == "call") {
        const auto remote = a.Next("remote number");
        const auto expected = a.OneOf("call state", kCallStates);
        a.End();
        return [remote, expected](Session& s) {
            auto call = s.phone.CallWith(remote);
            const auto actual = call ? call->state : -1;
            auto name = [](std::int32_t st) {
                return st < 0 ? std::string("gone") : CallStateName(st);
            };
            Check(s, expected, actual, name(expected), name(actual));
        };
    }
    if (what == "monitor-requests") {
        const auto number = a.Next("extension number");
        const auto expected = a.Number<int>("request count", 0);
        a.End();
        return [number, expected](Session& s) {
            const auto actual = s.phone.Extension(number)->monitorRequests;
            Check(s, expected, actual, std::to_string(expected), std::to_string(actual));
        };
    }
    if (what == "offline") {
        const bool expected = a.YesNo("offline");
        a.End();
        return [expected](Session& s) { CheckBool(s, expected, s.client->IsOfflineSelected()); };
    }
    if (what == "menu-selected") {
        const auto key = a.Next("session key");
        const auto entry = a.Next("menu entry");
        a.End();
        return [key, entry](Session& s) {
            auto session = s.phone.Session(key);
            if (!session) s.Impossible("there is no session with key " + key);
            auto& seen = s.menuSelectionsSeen[key];
            if (seen >= session->menusSelected.size()) {
                s.Fail(Quote(entry) + " sent to " + key, "no further menu choice");
                return;
            }
            CheckText(s, entry, session->menusSelected[seen++]);
        };
    }
    if (what == "error") {
        const auto number = a.Number<std::int32_t>("error number");
        a.End();
        return [number](Session& s) {
            if (s.errorsSeen >= s.componentErrors.size()) {
                s.Fail("error " + std::to_string(number), "no further component error");
                return;
            }
            const auto& actual = s.componentErrors[s.errorsSeen++];
            if (actual.rfind("error " + std::to_string(number) + " ", 0) != 0)
                s.Fail("error " + std::to_string(number), actual);
        };
    }
    if (what == "client-failure") {
        const auto text = a.Next("text of the failure");
        a.End();
        return [text](Session& s) {
            const auto& failures = s.client->failures;
            if (s.failuresSeen >= failures.size()) {
                s.Fail("a client failure containing " + Quote(text), "none");
                return;
            }
            const auto& actual = failures[s.failuresSeen++];
            if (actual.find(text) == std::string::npos)
                s.Fail("a client failure containing " + Quote(text), actual);
        };
    }
    if (what == "clicktocall") {
        const auto property = a.Word("clicktocall property");
        if (property == "running" || property == "connected") {
            const bool expected = a.YesNo(property);
            a.End();
            return [property, expected](Session& s) {
                auto& w = *s.world;
                CheckBool(s, expected, property == "running" ? w.AppRunning() : w.AppConnected());
            };
        }
        if (property == "edn") {
            const auto expected = a.Next("extension number");
            a.End();
            return [expected](Session& s) { CheckText(s, expected, s.world->AppEdn()); };
        }
        if (property == "connectivity") {
            const auto expected = a.Number<std::int16_t>("connectivity mode");
            a.End();
            return [expected](Session& s) {
                const auto actual = s.world->AppConnectivity();
                Check(s, expected, actual, std::to_string(expected), std::to_string(actual));
            };
        }
        a.Error("unknown clicktocall property '" + property +
                "' (known: running, connected, edn, connectivity)");
    }
    a.Error("unknown expectation '" + what +
            "' (known: state, icon, blink-icon, blinking, tooltip, visible, shortcut, "
            "shortcut-active, dial-caption, menu, default, popup, event, no, message, beep, "
            "process, debug, log, foreground, drag, window, call, monitor-requests, offline, "
            "menu-selected, error, "
            "client-failure, clicktocall)");
}

}  // namespace

std::vector<Step> ReadScript(const std::string& text, const std::string& file) {
    std::vector<Step> steps;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        auto tokens = Tokenize(raw, file, lineNo);
        if (tokens.empty()) continue;
        std::string written;
        for (const auto& t : tokens) {
            if (!written.empty()) written += ' ';
            written += t.quoted ? Quote(t.text) : t.text;
        }
        if (tokens[0].quoted)
            throw ScriptError(file, lineNo, "a line starts with a word, not a text in quotes");
        const auto verb = tokens[0].text;
        tokens.erase(tokens.begin());
        Args a(std::move(tokens), file, lineNo);
        Step step{file, lineNo, written, verb == "expect", nullptr};
        if (verb == "reg")
            step.run = ReadReg(a);
        else if (verb == "clipboard")
            step.run = ReadClipboard(a);
        else if (verb == "window")
            step.run = ReadWindow(a);
        else if (verb == "program") {
            const auto path = a.Next("program path");
            a.End();
            step.run = [path](Session& s) { s.world->AddProgram(path); };
        } else if (verb == "client")
            step.run = ReadClient(a);
        else if (verb == "phone")
            step.run = ReadPhone(a);
        else if (verb == "tray")
            step.run = ReadTray(a);
        else if (verb == "menu")
            step.run = ReadMenu(a);
        else if (verb == "tick")
            step.run = ReadTick(a);
        else if (verb == "config-changed")
            step.run = ReadConfigChanged(a);
        else if (verb == "clicktocall")
            step.run = ReadClickToCall(a);
        else if (verb == "say") {
            const auto said = a.Next("text to say");
            a.End();
            step.run = [said](Session& s) { s.Say(said); };
        } else if (verb == "expect")
            step.run = ReadExpect(a);
        else {
            throw ScriptError(
                file, lineNo,
                "unknown word '" + verb +
                    "' (a line starts with reg, clipboard, window, program, client, "
                    "phone, tray, menu, tick, config-changed, clicktocall, say or expect)");
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

}  // namespace qor::sim
