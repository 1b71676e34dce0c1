// Exports of qoricons.dll. Nothing may unwind into the loader or the COM runtime: every
// helper called here is noexcept and reports failure as an HRESULT.

#include <windows.h>

#include <array>

#include "qoricons.h"
#include "windows/com/ClassFactory.h"
#include "windows/com/Module.h"
#include "windows/com/Registration.h"
#include "windows/com/TypeLib.h"
#include "windows/icons/IconLibraryObjects.h"

namespace {
qor::com::ClassFactory gIconsFactory(qor::icons::CreateIcons);
qor::com::ClassFactory gStringTableFactory(qor::icons::CreateStringTable);

const std::array<qor::com::ClassRegistration, 2> kClasses = {{
    {&CLSID_Icons, L"QORIcons.Icons", L"Tray icon library"},
    {&CLSID_StringTable, L"QORIcons.StringTable", L"Display texts of caption literals"},
}};
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
    if (IsEqualCLSID(clsid, CLSID_Icons)) return gIconsFactory.QueryInterface(riid, out);
    if (IsEqualCLSID(clsid, CLSID_StringTable))
        return gStringTableFactory.QueryInterface(riid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
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
