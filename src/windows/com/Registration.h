#pragma once
// Self-registration of an in-process server, by the plan the type libraries it
// embeds dictate (deploy/RegistrationPlan.h): the same values the installer
// writes, machine-wide (HKEY_CLASSES_ROOT) or for the current user
// (HKCU\Software\Classes). Unregistration removes exactly those values and the
// keys they leave empty, so `regsvr32 /u` leaves nothing behind.

#include <windows.h>

#include <span>

#include "deploy/RegistrationPlan.h"

namespace qor::com {

enum class RegistrationScope { Machine, User };

// The module's plan, placed where the module is. Throws when its type libraries
// cannot be read.
deploy::ServerPlan PlanOwnRegistration();

// `served`: the CLSIDs the module has class factories for; registration refuses a
// module whose creatable coclasses and factories differ (a build mistake).
HRESULT RegisterServer(std::span<const CLSID* const> served, RegistrationScope scope) noexcept;
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

// DllInstall's command line: "user" (any letter case) selects per-user registration.
RegistrationScope ScopeFromCommandLine(const wchar_t* commandLine) noexcept;

}  // namespace qor::com
