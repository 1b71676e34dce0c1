// Reading the actions of a scenario: what the world, the client, the phone system
// and the user do. Each phrase has its row in the table at the end.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/common/Variant.h"
#include "core/contracts/Platform.h"
#include "sim/scenario/ScriptWords.h"

namespace qor::sim {

namespace {

// A bound that keeps a typing slip from running for hours.
constexpr int kMaxTicks = 10000;
// The system's limits on the names in a registry path.
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;

const std::map<std::string, std::int16_t> kButtons{{"left", 1}, {"right", 2}, {"middle", 4}};
const std::map<std::string, std::int16_t> kModifiers{
    {"none", 0}, {"shift", 1}, {"ctrl", 2}, {"ctrl+shift", 3}};

SimCallPtr CurrentCall(Session& s, const char* what) {
    auto call = s.phone.CurrentCall();
    if (!call) s.Impossible(std::string("cannot ") + what + ": the extension has no current call");
    return call;
}

// A happening of the extension's current call, which must exist.
Reader OnCurrentCall(const char* what, void (PhoneSystem::*happen)(const SimCallPtr&)) {
    return Alone([what, happen](Session& s) { (s.phone.*happen)(CurrentCall(s, what)); });
}

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

// ---- The world

Action ReadReg(Args& a) {
    const auto key = RegistryKey(a);
    const RegKey root = key.first;
    const std::string path = key.second;
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

void CloseWindow(Session& s, const std::string& title) {
    if (!s.world->CloseWindow(title)) s.Impossible("no window titled " + Quote(title) + " is open");
}

// ---- The client

Action ReadAddSession(Args& a) {
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
    return [name, key, mode, menus](Session& s) { s.client->AddSession(name, key, mode, menus); };
}

Action ReadForwardIcon(Args& a) {
    const auto id = a.Number<std::int32_t>("icon id");
    a.End();
    return [id](Session& s) { s.client->ExecuteCommand("ForwardIconID", Variant(id)); };
}

Action ReadCommand(Args& a) {
    const auto name = a.Next("command name");
    const auto arg = a.Next("command argument");
    a.End();
    return [name, arg](Session& s) { s.client->ExecuteCommand(name, Variant(arg)); };
}

// client on EVENT sets nothing | sets "text" | keeps
Action ReadClientOn(Args& a) {
    struct Arguments {
        bool object, text;
    };
    static const std::map<std::string, Arguments> kEvents = {
        {"Answer", {true, false}},   {"Reconnect", {true, false}},
        {"Clear", {true, false}},    {"CancelConsultation", {true, false}},
        {"CloseApp", {true, false}}, {"Maximize", {true, false}},
        {"MakeCall", {false, true}}, {"MakeCall2", {true, true}}};
    const auto event = a.Word("event name");
    const auto known = kEvents.find(event);
    if (known == kEvents.end()) {
        std::string names;
        for (const auto& [name, _] : kEvents) names += (names.empty() ? "" : ", ") + name;
        a.Error("no by-reference argument in event '" + event + "' (known: " + names + ")");
    }
    if (a.Accept("keeps")) {
        a.End();
        return [event](Session& s) { s.client->rewrites.erase(event); };
    }
    if (!a.Accept("sets")) a.Error("expected 'sets' or 'keeps' after the event name");
    HandlerRewrite rewrite;
    if (a.Accept("nothing")) {
        if (!known->second.object) a.Error("'" + event + "' has no object argument to set");
        rewrite.objectToNothing = true;
    } else {
        if (!known->second.text) a.Error("'" + event + "' has no text argument to set");
        rewrite.text = a.Next("text the handler sets");
    }
    a.End();
    return [event, rewrite](Session& s) { s.client->rewrites[event] = rewrite; };
}

// ---- The phone system

Action ReadExtension(Args& a) {
    const auto number = a.Next("extension number");
    const auto line = a.More() ? a.Next("line name") : number;
    a.End();
    return [number, line](Session& s) { s.phone.AddExtension(number, line); };
}

Action ReadLink(Args& a) {
    const bool up = a.OneOf<bool>("link state", {{"up", true}, {"down", false}});
    a.End();
    return [up](Session& s) { s.phone.linkUp = up; };
}

Action ReadCallEvent(Args& a) {
    const auto name = a.Word("call event name");
    const std::int32_t property = a.More() ? a.Number<std::int32_t>("property code") : 0;
    a.End();
    return [name, property](Session& s) { s.phone.RaiseCallEvent(name, property); };
}

Action ReadForward(Args& a) {
    const auto target = a.Accept("off") ? std::string() : a.Next("forwarding destination");
    a.End();
    return [target](Session& s) { s.phone.SetForwarding(target); };
}

// "App Infos" and "Voice Messages": a text, or 'off' for none.
Reader CustomText(const char* property) {
    return [property](Args& a) -> Action {
        const auto text = a.Accept("off") ? std::string() : a.Next("text (or 'off')");
        a.End();
        return [property, text](Session& s) { s.phone.SetCustomProperty(property, text); };
    };
}

Action ReadBlinking(Args& a) {
    const bool on = a.YesNo("blinking (on or off)");
    a.End();
    return [on](Session& s) { s.phone.SetCustomProperty("Blinking", on ? "1" : ""); };
}

Action ReadConnection(Args& a) {
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

Action ReadCapabilities(Args& a) {
    const auto caps = a.Number<std::int32_t>("capabilities");
    a.End();
    return [caps](Session& s) { s.phone.SetCapabilities(caps); };
}

// ---- The user

// "tray press" and "tray release": a button and maybe modifiers.
Reader ButtonGesture(bool press) {
    return [press](Args& a) -> Action {
        const auto button = a.OneOf("button", kButtons);
        const auto shift = a.More() ? a.OneOf("modifier", kModifiers) : std::int16_t{0};
        a.End();
        return [press, button, shift](Session& s) {
            if (press) {
                Tray(s).TrayPress(button, shift);
            } else {
                Tray(s).TrayRelease(button, shift);
            }
        };
    };
}

Action ReadClick(Args& a) {
    const auto button = a.More() ? a.OneOf("button", kButtons) : std::int16_t{1};
    a.End();
    return [button](Session& s) { Tray(s).TrayClick(button); };
}

Action ReadShortDial(Args& a) {
    const auto shift = a.More() ? a.OneOf("modifier", kModifiers) : std::int16_t{1};
    a.End();
    return [shift](Session& s) { Tray(s).TrayShortDial(shift); };
}

// A right press pops the menu up; it is modal, so the choice is made while it is
// open and the item's handler runs before the press handler returns.
void ChooseFromPopup(Session& s, const std::string& choice) {
    const auto outcome = Tray(s).RightClickPopup(choice);
    if (!outcome.shown) s.Impossible("the right press did not open the popup menu");
    if (!choice.empty() && !outcome.found) s.Impossible(choice + " is not shown in the popup menu");
}

Action ReadChoose(Args& a) {
    const auto choice = a.Word("menu item");
    a.End();
    return [choice](Session& s) { ChooseFromPopup(s, choice); };
}

Action ReadTick(Args& a) {
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

Action ReadCallEdn(Args& a) {
    const auto edn = a.Next("number");
    const auto first = a.More() ? a.Next("first name") : "";
    const auto last = a.More() ? a.Next("last name") : "";
    a.End();
    return [edn, first, last](Session& s) { s.world->CallEdn(edn, first, last); };
}

const WordRow kActions[] = {
    {"reg", ReadReg, {}},
    {"clipboard", ReadClipboard, {}},
    {"window", {}, "window action"},
    {"window open",
     WithText("window title", [](Session& s, const std::string& t) { s.world->OpenWindow(t); }),
     {}},
    {"window close", WithText("window title", CloseWindow), {}},
    {"program",
     WithText("program path", [](Session& s, const std::string& p) { s.world->AddProgram(p); }),
     {}},

    {"client", {}, "client action"},
    {"client create", Alone([](Session& s) { s.client->CreateLauncher(); }), {}},
    {"client add-session", ReadAddSession, {}},
    {"client start", Alone([](Session& s) { s.client->Start(); }), {}},
    {"client tooltip",
     WithText("tooltip text", [](Session& s, const std::string& t) { s.client->SetTooltip(t); }),
     {}},
    {"client forward-icon", ReadForwardIcon, {}},
    {"client command", ReadCommand, {}},
    {"client release", Alone([](Session& s) { s.client->Release(); }), {}},
    {"client on", ReadClientOn, {}},

    {"phone", {}, "phone happening"},
    {"phone extension", ReadExtension, {}},
    {"phone second-entry",
     WithText("entry id",
              [](Session& s, const std::string& id) { s.phone.Extensions().secondEntryId = id; }),
     {}},
    {"phone link", ReadLink, {}},
    {"phone incoming",
     WithText("caller number", [](Session& s, const std::string& n) { s.phone.IncomingCall(n); }),
     {}},
    {"phone remote-answers", Alone([](Session& s) { s.phone.FarEndAnswers(); }), {}},
    {"phone pickup", OnCurrentCall("pick up", &PhoneSystem::Answer), {}},
    {"phone hold", OnCurrentCall("hold", &PhoneSystem::Hold), {}},
    {"phone retrieve", OnCurrentCall("retrieve", &PhoneSystem::Retrieve), {}},
    {"phone clear", OnCurrentCall("clear", &PhoneSystem::Clear), {}},
    {"phone withdraw", OnCurrentCall("withdraw", &PhoneSystem::Withdraw), {}},
    {"phone consult",
     WithText("consulted number", [](Session& s, const std::string& n) { s.phone.Consult(n); }),
     {}},
    {"phone event", ReadCallEvent, {}},
    {"phone forward", ReadForward, {}},
    {"phone info", CustomText("App Infos"), {}},
    {"phone voicemail", CustomText("Voice Messages"), {}},
    {"phone blinking", ReadBlinking, {}},
    {"phone connection", ReadConnection, {}},
    {"phone capabilities", ReadCapabilities, {}},
    {"phone monitoring", {}, "monitoring change"},
    {"phone monitoring starts", Alone([](Session& s) { s.phone.MonitoringStarts(); }), {}},
    {"phone monitoring stops", Alone([](Session& s) { s.phone.MonitoringStops(); }), {}},

    {"tray", {}, "tray gesture"},
    {"tray move", Alone([](Session& s) { Tray(s).TrayMove(); }), {}},
    {"tray leave", Alone([](Session& s) { Tray(s).TrayLeave(); }), {}},
    {"tray press", ButtonGesture(true), {}},
    {"tray release", ButtonGesture(false), {}},
    {"tray click", ReadClick, {}},
    {"tray double-click", Alone([](Session& s) { Tray(s).TrayDoubleClick(); }), {}},
    {"tray short-dial", ReadShortDial, {}},
    {"tray drag", Alone([](Session& s) { Tray(s).TrayDrag(); }), {}},

    {"menu", {}, "menu action"},
    {"menu open", Alone([](Session& s) { ChooseFromPopup(s, {}); }), {}},
    {"menu choose", ReadChoose, {}},
    {"tick", ReadTick, {}},
    {"config-changed", ReadConfigChanged, {}},

    {"clicktocall", {}, "clicktocall action"},
    {"clicktocall new", Alone([](Session& s) { s.world->NewClickToCall(); }), {}},
    {"clicktocall call", ReadCallEdn, {}},
    {"say", WithText("text to say", [](Session& s, const std::string& t) { s.Say(t); }), {}},
};

}  // namespace

std::span<const WordRow> ActionWords() {
    return kActions;
}

}  // namespace qor::sim
