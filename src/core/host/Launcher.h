#pragma once
// The client's entry class: creating it loads the tray form, releasing it unloads
// the form, and every member forwards to one operation of the form.

#include <cstdint>
#include <string>

#include "core/common/Variant.h"
#include "core/contracts/Dialer.h"
#include "core/host/MenuEvent.h"

namespace qor {

class Runtime;

class Launcher {
  public:
    // Loads the form (unless it is loaded already); a failure of the load is the
    // failure of the creation.
    explicit Launcher(Runtime& runtime);
    // Unloads the shared form; unloading a form that is not loaded does nothing.
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    const dialer::SessionPtr& qorDialSession() const { return qorDialSession_; }
    void qorDialSession(const dialer::SessionPtr& session) { qorDialSession_ = session; }

    MenuEventPtr GetMenuEvent();
    void addSession(dialer::SessionPtr& myNum, std::int32_t& appConnectMode,
                    std::string& theAppName);
    void SetTooltip(std::string& message);
    void Start();
    bool IsOfflineSelected();
    // "ForwardIconID" (exact) with a number sets the forward icon; anything else does
    // nothing. Failures are reported, never returned; the result is always Empty.
    Variant ExecuteCommand(const std::string& funcName, const Variant& args);

  private:
    Runtime& runtime_;
    dialer::SessionPtr qorDialSession_;
};

}  // namespace qor
