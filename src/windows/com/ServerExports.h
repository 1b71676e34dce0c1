#pragma once
// The one way a server DLL of ours exports COM: ServerExports.cpp defines DllMain
// (it only records the module handle), DllGetClassObject, DllCanUnloadNow,
// DllRegisterServer, DllUnregisterServer and DllInstall (`regsvr32 /n /i:user`:
// per-user registration) for every module; each module says only which classes
// it serves and, where it needs them, what to do around them (ThisServer).
// Registration follows the module's type libraries (Registration.h). Nothing
// thrown inside leaves an export.

#include <windows.h>

#include <span>

#include "windows/com/ClassFactory.h"

namespace qor::com {

struct ServedClass {
    const CLSID* clsid;
    ClassFactory factory;
};

struct ServerHooks {
    // Before the first class object leaves the module; a throw fails that request.
    void (*firstClassObject)() = nullptr;
    // True while the module must stay loaded although no object or lock is left.
    bool (*busy)() noexcept = nullptr;
    // DllCanUnloadNow is about to say yes.
    void (*beforeUnload)() noexcept = nullptr;
};

struct Server {
    std::span<ServedClass> classes;
    const wchar_t* errorSource = L"";
    ServerHooks hooks{};
};

// Defined once by each server DLL.
const Server& ThisServer() noexcept;

}  // namespace qor::com
