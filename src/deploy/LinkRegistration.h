#pragma once
// What registering qorcall.exe as the handler of tel: and callto: links writes,
// below HKCU or HKLM: the scheme keys the shell reads, a ProgID with
// Capabilities\URLAssociations and the RegisteredApplications entry through which
// the program shows in Windows' default-apps settings.
//
// One table for both writers: qorcall.exe (/register, /unregister) and the
// build's generator of the installer, which turns each row into a row of the
// package's own registry table. Plain ASCII, no <windows.h>: the generator runs
// on the build machine.

#include <string>
#include <string_view>

namespace qor::deploy {

struct LinkRegistryValue {
    const char* key;     // below the root
    const char* name;    // empty: the key's default value
    const char* data;    // REG_SZ; kExePlaceholder stands for the program's full path
    const char* scheme;  // the link scheme whose handler this is; null: the program's own
};

inline constexpr std::string_view kExePlaceholder = "{exe}";
inline constexpr const char* kLinkProgId = "Norvane.qorcall";
// How the shell starts the handler: the link whole, as one quoted argument.
inline constexpr const char* kLinkOpenCommand = "\"{exe}\" \"%1\"";
inline constexpr const char* kLinkCapabilities = "Software\\Classes\\Norvane.qorcall\\Capabilities";

// clang-format off
inline constexpr LinkRegistryValue kLinkRegistration[] = {
    {"Software\\Classes\\tel", "", "URL:tel Protocol", "tel"},
    {"Software\\Classes\\tel", "URL Protocol", "", "tel"},
    {"Software\\Classes\\tel\\DefaultIcon", "", "{exe},0", "tel"},
    {"Software\\Classes\\tel\\shell\\open\\command", "", kLinkOpenCommand, "tel"},
    {"Software\\Classes\\callto", "", "URL:callto Protocol", "callto"},
    {"Software\\Classes\\callto", "URL Protocol", "", "callto"},
    {"Software\\Classes\\callto\\DefaultIcon", "", "{exe},0", "callto"},
    {"Software\\Classes\\callto\\shell\\open\\command", "", kLinkOpenCommand, "callto"},
    {"Software\\Classes\\Norvane.qorcall", "", "Telephone link", nullptr},
    {"Software\\Classes\\Norvane.qorcall\\DefaultIcon", "", "{exe},0", nullptr},
    {"Software\\Classes\\Norvane.qorcall\\shell\\open\\command", "", kLinkOpenCommand, nullptr},
    {kLinkCapabilities, "ApplicationName", "Norvane Dialwise", nullptr},
    {kLinkCapabilities, "ApplicationDescription",
     "Calls tel: and callto: links with the Norvane Dialwise telephony client.", nullptr},
    {"Software\\Classes\\Norvane.qorcall\\Capabilities\\URLAssociations", "tel", kLinkProgId, nullptr},
    {"Software\\Classes\\Norvane.qorcall\\Capabilities\\URLAssociations", "callto", kLinkProgId, nullptr},
    {"Software\\RegisteredApplications", "Norvane.qorcall", kLinkCapabilities, nullptr},
};
// clang-format on

// The key whose default value is the command that opens a scheme (or the
// ProgID): the value that says whose handler a scheme is.
inline std::string OpenCommandKey(std::string_view scheme) {
    return "Software\\Classes\\" + std::string(scheme) + "\\shell\\open\\command";
}

// `text` with every kExePlaceholder replaced by `exe`.
inline std::string WithExe(std::string_view text, std::string_view exe) {
    std::string out(text);
    for (auto at = out.find(kExePlaceholder); at != std::string::npos;
         at = out.find(kExePlaceholder, at + exe.size()))
        out.replace(at, kExePlaceholder.size(), exe);
    return out;
}

}  // namespace qor::deploy
