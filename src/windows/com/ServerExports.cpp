#include "windows/com/ServerExports.h"

#include <vector>

#include "windows/com/Module.h"
#include "windows/com/TypeLib.h"

namespace qor::com {

namespace {

HRESULT ForRegistrations(std::span<const ServedClass> classes, bool install) noexcept {
    try {
        std::vector<ClassRegistration> registrations;
        registrations.reserve(classes.size());
        for (const auto& served : classes) registrations.push_back(served.registration);
        return install ? RegisterServer(registrations, RegistrationScope::Machine, true)
                       : UnregisterServer(registrations, RegistrationScope::Machine, true);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

BOOL OnDllMain(HINSTANCE instance, DWORD reason) noexcept {
    if (reason == DLL_PROCESS_ATTACH) {
        Module::SetHandle(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT GetServedClassObject(std::span<const ServedClass> classes, REFCLSID clsid, REFIID riid,
                             void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& served : classes)
        if (IsEqualCLSID(clsid, *served.registration.clsid))
            return served.factory->QueryInterface(riid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadServer() noexcept {
    if (Module::LockCount() != 0) return S_FALSE;
    TypeLib::Clear();
    return S_OK;
}

HRESULT RegisterServedClasses(std::span<const ServedClass> classes) noexcept {
    return ForRegistrations(classes, true);
}

HRESULT UnregisterServedClasses(std::span<const ServedClass> classes) noexcept {
    return ForRegistrations(classes, false);
}

}  // namespace qor::com
