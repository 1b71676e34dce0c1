// trayicon.ocx serves the tray icon control.

#include "trayicon.h"
#include "windows/com/ServerExports.h"
#include "windows/trayicon/TrayIconControl.h"

namespace {
qor::com::ServedClass gClasses[] = {
    {&CLSID_TrayIcon, qor::com::ClassFactory(qor::tray::CreateTrayIcon)}};
}  // namespace

const qor::com::Server& qor::com::ThisServer() noexcept {
    static const Server server{gClasses};
    return server;
}
