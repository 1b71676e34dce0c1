// The DLL's exports: class objects, unloading, (un)registration. DllMain only
// records the module handle; every export ends in one catch-all.

#include <windows.h>

#include "windows/com/ClassFactory.h"
#include "windows/com/Errors.h"
#include "windows/com/Module.h"
#include "windows/com/Registration.h"
#include "windows/com/TypeLib.h"
#include "windows/qoricon/Objects.h"
#include "windows/qoricon/ProcessRuntime.h"

using namespace qor;

namespace {

com::ClassFactory gLauncherFactory(&win::CreateLauncher);
com::ClassFactory gMenuEventFactory(&win::CreateMenuEvent);
com::ClassFactory gClickToCallFactory(&win::CreateClickToCall);

const com::ClassRegistration kClasses[] = {
    {&CLSID_Launcher, L"qorIcon.Launcher", L"qorIcon.Launcher"},
    {&CLSID_MenuEvent, L"qorIcon.MenuEvent", L"qorIcon.MenuEvent"},
    {&CLSID_ClickToCall, L"qorIcon.ClickToCall", L"qorIcon.ClickToCall"},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        com::Module::SetHandle(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return com::Guard(riid, win::kSource, [&]() -> HRESULT {
        com::ClassFactory* factory = nullptr;
        if (IsEqualCLSID(clsid, CLSID_Launcher)) factory = &gLauncherFactory;
        if (IsEqualCLSID(clsid, CLSID_MenuEvent)) factory = &gMenuEventFactory;
        if (IsEqualCLSID(clsid, CLSID_ClickToCall)) factory = &gClickToCallFactory;
        if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
        // The component's runtime exists from the first class-object request on.
        win::ProcessRuntime();
        return factory->QueryInterface(riid, out);
    });
}

STDAPI DllCanUnloadNow() {
    try {
        // Objects alive, server locks, or the tray form (and its window) still
        // loaded: the code must stay.
        if (com::Module::LockCount() > 0 || win::ProcessRuntimeBusy()) return S_FALSE;
        win::PrepareUnload();
        com::TypeLib::Clear();
        return S_OK;
    } catch (...) {
        return S_FALSE;
    }
}

STDAPI DllRegisterServer() {
    return com::RegisterServer(kClasses, com::RegistrationScope::Machine, true);
}

STDAPI DllUnregisterServer() {
    return com::UnregisterServer(kClasses, com::RegistrationScope::Machine, true);
}

// regsvr32 /n /i:user registers for the current user only (HKCU\Software\Classes).
STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
    const auto scope = com::ScopeFromCommandLine(commandLine);
    return install ? com::RegisterServer(kClasses, scope, true)
                   : com::UnregisterServer(kClasses, scope, true);
}
