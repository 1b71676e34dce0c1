// The exports every server DLL shares; its .def file names them.

#include "windows/com/ServerExports.h"

#include <vector>

#include "windows/com/Module.h"
#include "windows/com/Registration.h"
#include "windows/com/TypeLib.h"

using namespace qor::com;

namespace {

HRESULT Register(bool install, RegistrationScope scope) noexcept {
    if (!install) return UnregisterServer(scope);
    try {
        std::vector<const CLSID*> served;
        for (const ServedClass& c : ThisServer().classes) served.push_back(c.clsid);
        return RegisterServer(served, scope);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        Module::SetHandle(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const Server& server = ThisServer();
    return Guard(riid, server.errorSource, [&]() -> HRESULT {
        for (ServedClass& c : server.classes) {
            if (!IsEqualCLSID(clsid, *c.clsid)) continue;
            if (server.hooks.firstClassObject) server.hooks.firstClassObject();
            return c.factory.QueryInterface(riid, out);
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

STDAPI DllCanUnloadNow() {
    const Server& server = ThisServer();
    if (Module::LockCount() > 0 || (server.hooks.busy && server.hooks.busy())) return S_FALSE;
    if (server.hooks.beforeUnload) server.hooks.beforeUnload();
    TypeLib::Clear();
    return S_OK;
}

STDAPI DllRegisterServer() {
    return Register(true, RegistrationScope::Machine);
}

STDAPI DllUnregisterServer() {
    return Register(false, RegistrationScope::Machine);
}

STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
    return Register(install != FALSE, ScopeFromCommandLine(commandLine));
}
