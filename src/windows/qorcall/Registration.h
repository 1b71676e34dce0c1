#pragma once
// qorcall.exe's registration as the handler of tel: and callto: links, per user
// (HKCU) or for the machine (HKLM): the scheme keys the shell reads, a ProgID with
// Capabilities\URLAssociations and the RegisteredApplications entry through which
// the program shows in Windows' default-apps settings.
//
// The data is one table, so that an installer can write the same values from its
// own registry table; "{exe}" in a value stands for the full path of qorcall.exe.

#include <windows.h>

#include <string>
#include <vector>

namespace qor::win::links {

struct RegistryValue {
    const wchar_t* key;     // below the root
    const wchar_t* name;    // empty: the key's default value
    const wchar_t* data;    // REG_SZ; "{exe}" is replaced by the program's path
    const wchar_t* scheme;  // the link scheme whose handler this is; null: the program's own
};

inline constexpr const wchar_t* kProgId = L"Norvane.qorcall";
// How the shell starts the handler: the link whole, as one quoted argument.
inline constexpr const wchar_t* kOpenCommand = L"\"{exe}\" \"%1\"";
inline constexpr const wchar_t* kCapabilities = L"Software\\Classes\\Norvane.qorcall\\Capabilities";

// clang-format off
inline constexpr RegistryValue kRegistration[] = {
    {L"Software\\Classes\\tel", L"", L"URL:tel Protocol", L"tel"},
    {L"Software\\Classes\\tel", L"URL Protocol", L"", L"tel"},
    {L"Software\\Classes\\tel\\DefaultIcon", L"", L"{exe},0", L"tel"},
    {L"Software\\Classes\\tel\\shell\\open\\command", L"", kOpenCommand, L"tel"},
    {L"Software\\Classes\\callto", L"", L"URL:callto Protocol", L"callto"},
    {L"Software\\Classes\\callto", L"URL Protocol", L"", L"callto"},
    {L"Software\\Classes\\callto\\DefaultIcon", L"", L"{exe},0", L"callto"},
    {L"Software\\Classes\\callto\\shell\\open\\command", L"", kOpenCommand, L"callto"},
    {L"Software\\Classes\\Norvane.qorcall", L"", L"Telephone link", nullptr},
    {L"Software\\Classes\\Norvane.qorcall\\DefaultIcon", L"", L"{exe},0", nullptr},
    {L"Software\\Classes\\Norvane.qorcall\\shell\\open\\command", L"", kOpenCommand, nullptr},
    {kCapabilities, L"ApplicationName", L"Norvane Dialwise", nullptr},
    {kCapabilities, L"ApplicationDescription",
     L"Calls tel: and callto: links with the Norvane Dialwise telephony client.", nullptr},
    {L"Software\\Classes\\Norvane.qorcall\\Capabilities\\URLAssociations", L"tel", kProgId, nullptr},
    {L"Software\\Classes\\Norvane.qorcall\\Capabilities\\URLAssociations", L"callto", kProgId, nullptr},
    {L"Software\\RegisteredApplications", L"Norvane.qorcall", kCapabilities, nullptr},
};
// clang-format on

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
