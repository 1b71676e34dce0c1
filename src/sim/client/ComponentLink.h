#pragma once
// How the simulated client reaches the component: natively the core's Launcher in
// this process, under Wine the real qorIcon.dll through COM. The client's own
// behaviour (what it does for each of the nine events) is the same either way.

#include <cstdint>
#include <string>

#include "core/common/Variant.h"
#include "core/contracts/Dialer.h"
#include "core/host/MenuEvent.h"

namespace qor::sim {

class IComponentLink {
  public:
    virtual ~IComponentLink() = default;

    // Creates the Launcher, takes its MenuEvent object and subscribes `handler`,
    // which then receives the nine events with the client's own objects as
    // arguments (the simulated ones it handed over). Errors the component returns
    // are thrown as qor::QorError with the component's number and description.
    virtual void CreateLauncher(IMenuEvents& handler) = 0;
    // addSession(session, mode, appName); for the main session (connect mode 1)
    // also qorDialSession, as the client does.
    virtual void AddSession(const dialer::SessionPtr& session, std::int32_t mode,
                            const std::string& appName) = 0;
    virtual void Start() = 0;
    virtual void SetTooltip(const std::string& message) = 0;
    virtual void ExecuteCommand(const std::string& name, const Variant& args) = 0;
    virtual bool IsOfflineSelected() = 0;
    // Unsubscribes and lets go of the MenuEvent and the Launcher.
    virtual void Release() = 0;
    virtual bool HasLauncher() const = 0;
};

}  // namespace qor::sim
