// Exports of qorlog.dll. Nothing may unwind into the loader or the COM runtime: every
// helper called here is noexcept and reports failure as an HRESULT.

#include <windows.h>

#include <array>

#include "qorlog.h"
#include "windows/com/ServerExports.h"
#include "windows/logger/LoggerObject.h"

namespace {
qor::com::ClassFactory gFactory(qor::logging::CreateLogger);

const std::array<qor::com::ServedClass, 1> kClasses = {
    {{{&CLSID_Logger, L"QORLog.Logger", L"Log writer"}, &gFactory}}};
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
