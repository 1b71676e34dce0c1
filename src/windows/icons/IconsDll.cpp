// qoricons.dll serves the icon library and its string class.

#include "qoricons.h"
#include "windows/com/ServerExports.h"
#include "windows/icons/IconLibraryObjects.h"

namespace {
qor::com::ServedClass gClasses[] = {
    {&CLSID_Icons, qor::com::ClassFactory(qor::icons::CreateIcons)},
    {&CLSID_StringTable, qor::com::ClassFactory(qor::icons::CreateStringTable)},
};
}  // namespace

const qor::com::Server& qor::com::ThisServer() noexcept {
    static const Server server{gClasses};
    return server;
}
