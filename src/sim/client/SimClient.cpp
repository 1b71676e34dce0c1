#include "sim/client/SimClient.h"

#include "core/common/Error.h"

namespace qor::sim {

std::string ClientEvent::Describe() const {
    std::string text = name + "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) text += ", ";
        text += "\"" + args[i] + "\"";
    }
    return text + ")";
}

SimClient::SimClient(Runtime& runtime, NativePlatform& platform, PhoneSystem& phone)
    : runtime_(runtime), platform_(platform), phone_(phone) {
    // The client learns of a forwarding from its own view of the switch and tells
    // the tray with a "Forward:" tooltip, as the real client does.
    phone_.onForwardingChanged = [this](const std::string& destination) {
        if (!launcher_) return;
        SetTooltip(destination.empty() ? "Forward:" : "Forward:Forwarded to " + destination);
    };
}

SimClient::~SimClient() {
    phone_.onForwardingChanged = nullptr;
    subscription_.Reset();
}

Launcher& SimClient::RequireLauncher(const char* what) {
    if (!launcher_)
        throw ClientError(std::string("the client cannot ") + what +
                          ": it has not created the Launcher ('client create')");
    return *launcher_;
}

void SimClient::CreateLauncher() {
    if (launcher_) throw ClientError("the client has created the Launcher already");
    launcher_ = std::make_unique<Launcher>(runtime_);
    menuEvent_ = launcher_->GetMenuEvent();
    if (!menuEvent_) throw ClientError("GetMenuEvent gave no MenuEvent object");
    subscription_ = menuEvent_->Subscribe(*this);
}

void SimClient::AddSession(const std::string& appName, const std::string& key, std::int32_t mode,
                           std::vector<std::string> menus) {
    auto& launcher = RequireLauncher("add a session");
    auto session = phone_.OpenSession(key, appName, std::move(menus));
    sessions_.push_back(session);
    dialer::SessionPtr myNum = session;
    std::string name = appName;
    launcher.addSession(myNum, mode, name);
    if (mode == dialer::kConnectModeMain) launcher.qorDialSession(myNum);
}

void SimClient::Start() {
    RequireLauncher("start").Start();
}

void SimClient::SetTooltip(const std::string& message) {
    std::string text = message;
    RequireLauncher("set a tooltip").SetTooltip(text);
}

void SimClient::ExecuteCommand(const std::string& name, const Variant& args) {
    RequireLauncher("execute a command").ExecuteCommand(name, args);
}

bool SimClient::IsOfflineSelected() {
    return RequireLauncher("ask for offline").IsOfflineSelected();
}

void SimClient::Release() {
    RequireLauncher("release the Launcher");
    subscription_.Reset();
    menuEvent_.reset();
    launcher_.reset();
}

// ---- Handlers

std::string SimClient::CallText(const dialer::CallPtr& call) {
    return call ? call->RemoteAddress()->Text() : std::string("nothing");
}

SimCallPtr SimClient::AsSimCall(const dialer::CallPtr& call) {
    return std::dynamic_pointer_cast<SimCall>(call);
}

void SimClient::Record(std::string name, std::vector<std::string> args) {
    events.push_back({std::move(name), std::move(args)});
    if (onEvent) onEvent(events.back());
}

void SimClient::Try(const std::string& what, const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        failures.push_back(what + ": " + e.what());
    }
}

void SimClient::Answer(dialer::CallPtr& currentCall) {
    Record("Answer", {CallText(currentCall)});
    Try("Answer", [&] { phone_.Answer(AsSimCall(currentCall)); });
}

void SimClient::Reconnect(dialer::CallPtr& currentCall) {
    Record("Reconnect", {CallText(currentCall)});
    Try("Reconnect", [&] { phone_.Retrieve(AsSimCall(currentCall)); });
}

void SimClient::Clear(dialer::CallPtr& currentCall) {
    Record("Clear", {CallText(currentCall)});
    Try("Clear", [&] { phone_.Clear(AsSimCall(currentCall)); });
}

void SimClient::CancelConsultation(dialer::CallPtr& currentCall) {
    Record("CancelConsultation", {CallText(currentCall)});
    Try("CancelConsultation", [&] { phone_.CancelConsultation(AsSimCall(currentCall)); });
}

void SimClient::CloseApp(dialer::SessionPtr& myNum) {
    Record("CloseApp", {myNum ? myNum->SessionKey() : "nothing"});
}

void SimClient::Maximize(dialer::SessionPtr& myNum) {
    Record("Maximize", {myNum ? myNum->SessionKey() : "nothing"});
    if (!platform_.FindWindowByTitle(kClientWindow)) platform_.AddTopLevelWindow(kClientWindow);
}

void SimClient::Configuration() {
    Record("Configuration", {});
}

void SimClient::MakeCall(std::string& callee) {
    Record("MakeCall", {callee});
    // An empty request opens the client's dial box in the real client: no call.
    if (!callee.empty()) Try("MakeCall", [&] { phone_.PlaceCall(callee); });
}

void SimClient::MakeCall2(dialer::CallsPtr& myCalls, std::string& strToDial) {
    std::string owner = "nothing";
    for (const auto& ext : phone_.Extensions().extensions)
        if (myCalls && ext->calls == myCalls) owner = ext->number;
    Record("MakeCall2", {owner, strToDial});
    if (!strToDial.empty()) Try("MakeCall2", [&] { phone_.PlaceCall(strToDial); });
}

}  // namespace qor::sim
