#pragma once
// The scripting object that web pages create to place a call through the client and
// to ask about it. It never touches the tray: it finds the client by its main window
// title, reads the client's settings and starts the client program with a
// "qorphone://" request. Every public member is safe to call from a script: no
// failure leaves it, each one is written to the debugger output instead.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/common/Error.h"
#include "core/contracts/Platform.h"
#include "core/settings/CRegSettings.h"

namespace qor {

// How the client reaches the PBX.
enum ConnectivityMode : std::int16_t {
    ConnectivityModeUnknown = 0,
    ConnectivityModeDirectTRZ = 1,  // the client talks to the PBX directly
    ConnectivityModeGVH = 2,        // through the communication server
};

// Title of the client's main window; its presence means the client runs.
inline constexpr const char* kClientWindowTitle = "M-Norvane Dialwise";
// The client program, inside the installation folder.
inline constexpr const char* kClientProgram = "qorphone.exe";

// What CallEdn and the tel:/callto: link handler share, so that both start the
// client the same way.
// Points `reg` at the machine settings of the client's installation and reads the
// installation folder ("Path"; empty when missing).
std::string ReadClientInstallPath(CRegSettings& reg);
// Starts the client program from that folder, minimized, with a request to call
// `edn` showing the names; without a number (after NULs and surrounding spaces are
// removed) the client is only started. Throws QorError when the start fails.
void StartClient(IPlatform& platform, const std::string& installPath, const std::string& edn,
                 const std::string& firstName = "", const std::string& lastName = "");

class ClickToCall {
  public:
    // Class_Initialize: reads the installation folder from the machine settings and
    // then points the settings reader at the client's user settings.
    explicit ClickToCall(IPlatform& platform) noexcept;
    // Class_Terminate.
    ~ClickToCall();
    ClickToCall(const ClickToCall&) = delete;
    ClickToCall& operator=(const ClickToCall&) = delete;

    // Takes its texts and does nothing with them; the answer is always empty.
    std::string ExecuteCommand(const std::string& strCommand,
                               const std::string& strParams) noexcept;
    // Starts the client with a request to call EDN, showing the remote person's
    // names. The client program is started every time, running or not.
    void CallEdn(const std::string& EDN, const std::string& FirstName = "",
                 const std::string& LastName = "") noexcept;
    // Always ConnectivityModeUnknown: nothing tells the component the mode.
    std::int16_t AppConnectivity() noexcept;
    // The extension number the client monitors ("CSLogin"); the client need not run.
    std::string AppEdn() noexcept;
    // True when the client runs and its "CSConnectionState" is anything but "0".
    bool AppConnected() noexcept;
    // True when the client's main window exists.
    bool AppRunning() noexcept;

  private:
    bool AnotherInstance() noexcept;
    // The uniform error line, on the debugger output only.
    void LocalLogError(std::string_view label, const ErrorInfo& error, std::string extra) noexcept;
    // Runs body; a failure is reported under label and ends the member there.
    template <typename Body>
    void Guarded(std::string_view label, Body&& body) noexcept;
    CRegSettings& Reg();

    IPlatform& platform_;
    std::unique_ptr<CRegSettings> reg_;
    std::string sInstallPath_;
    bool bAppRunning_ = false;
    bool bAppConnected_ = false;
    std::string sAppEdn_;
    std::int16_t iConnectivity_ = ConnectivityModeUnknown;
};

}  // namespace qor
