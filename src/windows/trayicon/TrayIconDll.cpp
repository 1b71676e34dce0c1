// Exports of trayicon.ocx. Nothing may unwind into the loader or the COM runtime: every
// helper called here is noexcept and reports failure as an HRESULT.

#include <windows.h>

#include <array>

#include "trayicon.h"
#include "windows/com/ClassFactory.h"
#include "windows/com/Module.h"
#include "windows/com/Registration.h"
#include "windows/com/TypeLib.h"
#include "windows/trayicon/TrayIconControl.h"

namespace {
qor::com::ClassFactory gFactory(qor::tray::CreateTrayIcon);

const std::array<qor::com::ClassRegistration, 1> kClasses = {
    {{&CLSID_TrayIcon, L"TrayIconCtl.TrayIcon", L"Tray icon control"}}};
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        qor::com::Module::SetHandle(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_TrayIcon)) return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() {
    if (qor::com::Module::LockCount() != 0) return S_FALSE;
    qor::com::TypeLib::Clear();
    return S_OK;
}

STDAPI DllRegisterServer() {
    return qor::com::RegisterServer(kClasses, qor::com::RegistrationScope::Machine, true);
}

STDAPI DllUnregisterServer() {
    return qor::com::UnregisterServer(kClasses, qor::com::RegistrationScope::Machine, true);
}
