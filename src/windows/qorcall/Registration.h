#pragma once
// qorcall.exe's registration as the handler of tel: and callto: links, per user
// (HKCU) or for the machine (HKLM), from the table an installer writes too
// (deploy/LinkRegistration.h).

#include <windows.h>

#include <string>
#include <vector>

#include "deploy/LinkRegistration.h"

namespace qor::win::links {

// Exit codes of /register and /unregister, beside the link handler's 0 to 2.
enum class RegistrationOutcome : int {
    kDone = 0,
    kSchemeKeptByAnotherProgram = 3,  // registered, but a scheme still opens another program
    kRegistryFailed = 4,
    kUnknownSwitch = 5,
};

struct RegistrationResult {
    RegistrationOutcome outcome = RegistrationOutcome::kDone;
    std::vector<std::wstring> notes;  // one line per scheme left alone or change that failed
};

// Writes the table under `root`. A scheme whose command opens another program is
// left to it: the user can still choose this program in the default-apps settings.
RegistrationResult Register(HKEY root, const std::wstring& exePath);

// Removes what Register wrote for this program: values whose data is still ours,
// a scheme's values only while its command still opens this program, then the
// keys of the table left empty. Another program's handler stays as it is.
RegistrationResult Unregister(HKEY root, const std::wstring& exePath);

}  // namespace qor::win::links
