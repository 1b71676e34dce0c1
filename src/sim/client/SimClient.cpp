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

SimClient::SimClient(IComponentLink& link, PhoneSystem& phone, std::function<void()> showWindow)
    : link_(link), phone_(phone), showWindow_(std::move(showWindow)) {
    // The client learns of a forwarding from its own view of the switch and tells
    // the tray with a "Forward:" tooltip, as the real client does.
    phone_.onForwardingChanged = [this](const std::string& destination) {
        if (!link_.HasLauncher()) return;
        SetTooltip(destination.empty() ? "Forward:" : "Forward:Forwarded to " + destination);
    };
}

SimClient::~SimClient() {
    phone_.onForwardingChanged = nullptr;
}

IComponentLink& SimClient::RequireLauncher(const char* what) {
    if (!link_.HasLauncher())
        throw ClientError(std::string("the client cannot ") + what +
                          ": it has not created the Launcher ('client create')");
    return link_;
}

void SimClient::CreateLauncher() {
    if (link_.HasLauncher()) throw ClientError("the client has created the Launcher already");
    link_.CreateLauncher(*this);
}

void SimClient::AddSession(const std::string& appName, const std::string& key, std::int32_t mode,
                           std::vector<std::string> menus) {
    auto& link = RequireLauncher("add a session");
    auto session = phone_.OpenSession(key, appName, std::move(menus));
    sessions_.push_back(session);
    link.AddSession(session, mode, appName);
}

void SimClient::Start() {
    RequireLauncher("start").Start();
}

void SimClient::SetTooltip(const std::string& message) {
    RequireLauncher("set a tooltip").SetTooltip(message);
}

void SimClient::ExecuteCommand(const std::string& name, const Variant& args) {
    RequireLauncher("execute a command").ExecuteCommand(name, args);
}

bool SimClient::IsOfflineSelected() {
    return RequireLauncher("ask for offline").IsOfflineSelected();
}

void SimClient::Release() {
    RequireLauncher("release the Launcher").Release();
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

const HandlerRewrite* SimClient::RewriteOf(const std::string& name) const {
    const auto it = rewrites.find(name);
    return it == rewrites.end() ? nullptr : &it->second;
}

template <class Ptr>
bool SimClient::Rewrote(const std::string& name, Ptr& object) {
    const HandlerRewrite* rewrite = RewriteOf(name);
    if (!rewrite) return false;
    if (rewrite->objectToNothing) object = nullptr;
    return true;
}

void SimClient::Answer(dialer::CallPtr& currentCall) {
    Record("Answer", {CallText(currentCall)});
    if (Rewrote("Answer", currentCall)) return;
    Try("Answer", [&] { phone_.Answer(AsSimCall(currentCall)); });
}

void SimClient::Reconnect(dialer::CallPtr& currentCall) {
    Record("Reconnect", {CallText(currentCall)});
    if (Rewrote("Reconnect", currentCall)) return;
    Try("Reconnect", [&] { phone_.Retrieve(AsSimCall(currentCall)); });
}

void SimClient::Clear(dialer::CallPtr& currentCall) {
    Record("Clear", {CallText(currentCall)});
    if (Rewrote("Clear", currentCall)) return;
    Try("Clear", [&] { phone_.Clear(AsSimCall(currentCall)); });
}

void SimClient::CancelConsultation(dialer::CallPtr& currentCall) {
    Record("CancelConsultation", {CallText(currentCall)});
    if (Rewrote("CancelConsultation", currentCall)) return;
    Try("CancelConsultation", [&] { phone_.CancelConsultation(AsSimCall(currentCall)); });
}

void SimClient::CloseApp(dialer::SessionPtr& myNum) {
    Record("CloseApp", {myNum ? myNum->SessionKey() : "nothing"});
    Rewrote("CloseApp", myNum);
}

void SimClient::Maximize(dialer::SessionPtr& myNum) {
    Record("Maximize", {myNum ? myNum->SessionKey() : "nothing"});
    if (Rewrote("Maximize", myNum)) return;
    if (showWindow_) showWindow_();
}

void SimClient::Configuration() {
    Record("Configuration", {});
}

void SimClient::MakeCall(std::string& callee) {
    Record("MakeCall", {callee});
    if (const HandlerRewrite* rewrite = RewriteOf("MakeCall")) {
        if (rewrite->text) callee = *rewrite->text;
        return;
    }
    // An empty request opens the client's dial box in the real client: no call.
    if (!callee.empty()) Try("MakeCall", [&] { phone_.PlaceCall(callee); });
}

void SimClient::MakeCall2(dialer::CallsPtr& myCalls, std::string& strToDial) {
    std::string owner = "nothing";
    for (const auto& ext : phone_.Extensions().extensions)
        if (myCalls && ext->calls == myCalls) owner = ext->number;
    Record("MakeCall2", {owner, strToDial});
    if (const HandlerRewrite* rewrite = RewriteOf("MakeCall2")) {
        if (rewrite->objectToNothing) myCalls = nullptr;
        if (rewrite->text) strToDial = *rewrite->text;
        return;
    }
    if (!strToDial.empty()) Try("MakeCall2", [&] { phone_.PlaceCall(strToDial); });
}

}  // namespace qor::sim
