#pragma once
// The exports of a server DLL that serves plain classes: DllMain only records the
// module handle, DllGetClassObject hands out the listed factories, DllCanUnloadNow
// waits for the last object or lock, and registration covers the classes, their
// ProgIDs and the embedded type library. Every function is noexcept.

#include <windows.h>

#include <span>

#include "windows/com/ClassFactory.h"
#include "windows/com/Registration.h"

namespace qor::com {

struct ServedClass {
    ClassRegistration registration;
    ClassFactory* factory;
};

BOOL OnDllMain(HINSTANCE instance, DWORD reason) noexcept;
HRESULT GetServedClassObject(std::span<const ServedClass> classes, REFCLSID clsid, REFIID riid,
                             void** out) noexcept;
HRESULT CanUnloadServer() noexcept;
HRESULT RegisterServedClasses(std::span<const ServedClass> classes) noexcept;
HRESULT UnregisterServedClasses(std::span<const ServedClass> classes) noexcept;

}  // namespace qor::com
