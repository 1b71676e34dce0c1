#pragma once
// Self-registration of an in-process server: its classes (CLSID, InprocServer32,
// ThreadingModel, ProgID, TypeLib) and its embedded type library, machine-wide
// (HKEY_CLASSES_ROOT) or for the current user (HKCU\Software\Classes).
// Unregistration removes exactly what registration wrote, so `regsvr32 /u` leaves
// nothing behind.

#include <windows.h>

#include <span>

namespace qor::com {

struct ClassRegistration {
    const CLSID* clsid;
    const wchar_t* progId;       // "Library.Class"
    const wchar_t* description;  // default value of the CLSID key
    const wchar_t* threadingModel = L"Apartment";
};

enum class RegistrationScope { Machine, User };

// `withTypeLib`: also register the type library embedded in the module (the
// interfaces then marshal through the automation marshaler).
HRESULT RegisterServer(std::span<const ClassRegistration> classes, RegistrationScope scope,
                       bool withTypeLib) noexcept;
HRESULT UnregisterServer(std::span<const ClassRegistration> classes, RegistrationScope scope,
                         bool withTypeLib) noexcept;

// DllInstall's command line: "user" (any letter case) selects per-user registration.
RegistrationScope ScopeFromCommandLine(const wchar_t* commandLine) noexcept;

}  // namespace qor::com
