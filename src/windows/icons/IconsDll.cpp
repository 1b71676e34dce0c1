// Exports of qoricons.dll. Nothing may unwind into the loader or the COM runtime: every
// helper called here is noexcept and reports failure as an HRESULT.

#include <windows.h>

#include <array>

#include "qoricons.h"
#include "windows/com/ServerExports.h"
#include "windows/icons/IconLibraryObjects.h"

namespace {
qor::com::ClassFactory gIconsFactory(qor::icons::CreateIcons);
qor::com::ClassFactory gStringTableFactory(qor::icons::CreateStringTable);

const std::array<qor::com::ServedClass, 2> kClasses = {{
    {{&CLSID_Icons, L"QORIcons.Icons", L"Tray icon library"}, &gIconsFactory},
    {{&CLSID_StringTable, L"QORIcons.StringTable", L"Display texts of caption literals"},
     &gStringTableFactory},
}};
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    return qor::com::OnDllMain(instance, reason);
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    return qor::com::GetServedClassObject(kClasses, clsid, riid, out);
}

STDAPI DllCanUnloadNow() {
    return qor::com::CanUnloadServer();
}

STDAPI DllRegisterServer() {
    return qor::com::RegisterServedClasses(kClasses);
}

STDAPI DllUnregisterServer() {
    return qor::com::UnregisterServedClasses(kClasses);
}
