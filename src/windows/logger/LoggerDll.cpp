// qorlog.dll serves the logging component.

#include "qorlog.h"
#include "windows/com/ServerExports.h"
#include "windows/logger/LoggerObject.h"

namespace {
qor::com::ServedClass gClasses[] = {
    {&CLSID_Logger, qor::com::ClassFactory(qor::logging::CreateLogger)}};
}  // namespace

const qor::com::Server& qor::com::ThisServer() noexcept {
    static const Server server{gClasses};
    return server;
}
