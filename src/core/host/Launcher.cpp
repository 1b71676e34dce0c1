#include "core/host/Launcher.h"

#include "core/common/Error.h"
#include "core/host/Runtime.h"
#include "core/tray/frmMain.h"

namespace qor {

Launcher::Launcher(Runtime& runtime) : runtime_(runtime) {
    runtime_.Form().Load();
}

Launcher::~Launcher() {
    try {
        if (runtime_.FormExists()) runtime_.Form().Unload();
    } catch (...) {
        // Releasing never fails for the client; the unload has nothing left to undo.
    }
}

MenuEventPtr Launcher::GetMenuEvent() {
    return runtime_.Form().GetMenuEvent();
}

void Launcher::addSession(dialer::SessionPtr& myNum, std::int32_t& appConnectMode,
                          std::string& theAppName) {
    runtime_.Form().addQorDialSession(myNum, appConnectMode, theAppName);
}

void Launcher::SetTooltip(std::string& message) {
    // The form gets a private copy: the client's variable is never touched.
    std::string copy = message;
    runtime_.Form().SetTooltip(copy);
}

void Launcher::Start() {
    runtime_.Form().SetCurrentCall();
}

bool Launcher::IsOfflineSelected() {
    return runtime_.Form().OfflineSelected();
}

Variant Launcher::ExecuteCommand(const std::string& funcName, const Variant& args) {
    try {
        if (funcName == "ForwardIconID") runtime_.Form().SetForwardIconID(args.ToInt16());
    } catch (...) {
        runtime_.Errors().LogError("QorIcon Launcher.ExecuteCommand", CurrentError());
    }
    return {};
}

}  // namespace qor
