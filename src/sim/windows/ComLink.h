#pragma once
// The simulated client's way into the real qorIcon.dll: the Launcher created by
// its ProgID, the MenuEvent's events heard through its connection point, and the
// client's sessions handed over as the exported simulated objects. What the DLL
// returns as an error is thrown as qor::QorError with its number and description.
//
// The caller initialises COM (an apartment thread) before using it.

#include <windows.h>

#include <cstdint>
#include <string>

#include "qorIcon.h"
#include "sim/client/ComponentLink.h"
#include "windows/com/ComPtr.h"
#include "windows/com/EventSink.h"

namespace qor::sim::win {

class ComLink final : public IComponentLink {
  public:
    ComLink() = default;
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;
    ~ComLink() override;

    void CreateLauncher(IMenuEvents& handler) override;
    void AddSession(const dialer::SessionPtr& session, std::int32_t mode,
                    const std::string& appName) override;
    void Start() override;
    void SetTooltip(const std::string& message) override;
    void ExecuteCommand(const std::string& name, const Variant& args) override;
    bool IsOfflineSelected() override;
    void Release() override;
    bool HasLauncher() const override { return static_cast<bool>(launcher_); }

  private:
    _Launcher& Require() const;

    com::ComPtr<_Launcher> launcher_;
    com::ComPtr<_MenuEvent> menuEvent_;
    com::Connection events_;
};

}  // namespace qor::sim::win
