// qorIcon.dll serves its three classes; the component's runtime exists from the
// first class-object request on, and the module stays while the tray form (and
// its window) is loaded.

#include "windows/com/ServerExports.h"
#include "windows/qoricon/Objects.h"
#include "windows/qoricon/ProcessRuntime.h"

namespace {
qor::com::ServedClass gClasses[] = {
    {&CLSID_Launcher, qor::com::ClassFactory(&qor::win::CreateLauncher)},
    {&CLSID_MenuEvent, qor::com::ClassFactory(&qor::win::CreateMenuEvent)},
    {&CLSID_ClickToCall, qor::com::ClassFactory(&qor::win::CreateClickToCall)},
};
}  // namespace

const qor::com::Server& qor::com::ThisServer() noexcept {
    static const Server server{
        gClasses,
        win::kSource,
        {[] { win::ProcessRuntime(); }, &win::ProcessRuntimeBusy, &win::PrepareUnload}};
    return server;
}
