#pragma once
// The simulated telephony client: it drives the component the way the real client
// does (create the Launcher, subscribe to the MenuEvent, hand over its sessions,
// Start, push tooltips and the forward icon, release) and performs the call
// control that the tray's events ask for on the simulated phone system.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/host/MenuEvent.h"
#include "sim/client/ComponentLink.h"
#include "sim/dialer/SimDialer.h"

namespace qor::sim {

// Title of the client's main window (what Maximize brings up).
inline constexpr const char* kClientWindow = "M-Norvane Dialwise";

// One event the tray raised to the client, with its arguments as text: a call is
// its remote party, a session its key, a calls collection its extension number.
struct ClientEvent {
    std::string name;
    std::vector<std::string> args;
    std::string Describe() const;
};

// An impossible request to the client (starting before creating the Launcher...).
class ClientError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What the client's handler of one event does instead of performing the request:
// it changes its by-reference arguments (an object argument to nothing, a text to
// `text`), as a client may to tell the tray something.
struct HandlerRewrite {
    bool objectToNothing = false;
    std::optional<std::string> text;
};

class SimClient : public IMenuEvents {
  public:
    // `showWindow` brings up the client's main window (what Maximize asks for).
    SimClient(IComponentLink& link, PhoneSystem& phone, std::function<void()> showWindow);
    ~SimClient() override;

    // --- What the client does to the component.
    void CreateLauncher();  // create, GetMenuEvent, subscribe
    void AddSession(const std::string& appName, const std::string& key, std::int32_t mode,
                    std::vector<std::string> menus);
    void Start();
    void SetTooltip(const std::string& message);
    void ExecuteCommand(const std::string& name, const Variant& args);
    bool IsOfflineSelected();
    void Release();
    bool HasLauncher() const { return link_.HasLauncher(); }

    // --- IMenuEvents: the client's handlers.
    void Answer(dialer::CallPtr& currentCall) override;
    void Reconnect(dialer::CallPtr& currentCall) override;
    void Clear(dialer::CallPtr& currentCall) override;
    void CancelConsultation(dialer::CallPtr& currentCall) override;
    void CloseApp(dialer::SessionPtr& myNum) override;
    void Maximize(dialer::SessionPtr& myNum) override;
    void Configuration() override;
    void MakeCall(std::string& callee) override;
    void MakeCall2(dialer::CallsPtr& myCalls, std::string& strToDial) override;

    // Handlers that only change their arguments, by event name; the others perform
    // the request.
    std::map<std::string, HandlerRewrite> rewrites;

    std::vector<ClientEvent> events;
    // What the client could not do for an event (a real client fails softly: it
    // never throws back into the tray).
    std::vector<std::string> failures;
    std::function<void(const ClientEvent&)> onEvent;

  private:
    IComponentLink& RequireLauncher(const char* what);
    void Record(std::string name, std::vector<std::string> args);
    // The rewrite for `name`, when its handler has one.
    const HandlerRewrite* RewriteOf(const std::string& name) const;
    template <class Ptr>
    bool Rewrote(const std::string& name, Ptr& object);
    void Try(const std::string& what, const std::function<void()>& action);
    static std::string CallText(const dialer::CallPtr& call);
    static SimCallPtr AsSimCall(const dialer::CallPtr& call);

    IComponentLink& link_;
    PhoneSystem& phone_;
    std::function<void()> showWindow_;
    std::vector<SimSessionPtr> sessions_;
};

}  // namespace qor::sim
