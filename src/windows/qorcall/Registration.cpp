#include "windows/qorcall/Registration.h"

#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <set>

#include "windows/com/Owners.h"
#include "windows/com/Text.h"

namespace qor::win::links {

namespace {

// One view of the registry for both builds: a 32-bit qorcall on 64-bit Windows
// would otherwise write RegisteredApplications into the WOW6432 copy of HKLM,
// where the default-apps settings do not look.
constexpr REGSAM kView = KEY_WOW64_64KEY;

using deploy::kLinkOpenCommand;
using deploy::kLinkRegistration;

std::wstring Text(std::string_view ascii) {
    return com::FromUtf8(ascii);
}

// The table's data for this program: its placeholder becomes the program's path.
std::wstring Expand(const char* data, const std::wstring& exePath) {
    return com::FromUtf8(deploy::WithExe(data, com::Utf8(exePath)));
}

std::wstring CommandKey(std::string_view scheme) {
    return Text(deploy::OpenCommandKey(scheme));
}

// A REG_SZ value; nothing when the key or value is missing or not a string.
std::optional<std::wstring> ReadText(HKEY root, const std::wstring& key, const wchar_t* name) {
    com::UniqueHkey opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | kView, opened.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(opened.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(opened.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(std::wcslen(text.c_str()));
    return text;
}

std::wstring Failure(const wchar_t* what, const std::wstring& key, LSTATUS status) {
    return std::wstring(what) + L" " + key + L" failed (system error " + std::to_wstring(status) +
           L")";
}

// Keys of the table and their parents below Software\Classes or Software, deepest
// first: the ones to remove once nothing is left in them.
std::vector<std::wstring> KeysDeepestFirst() {
    std::set<std::wstring> keys;
    for (const auto& value : kLinkRegistration) {
        std::wstring key = Text(value.key);
        while (key != L"Software" && key != L"Software\\Classes") {
            keys.insert(key);
            key = key.substr(0, key.rfind(L'\\'));
        }
    }
    std::vector<std::wstring> ordered(keys.begin(), keys.end());
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        return std::count(a.begin(), a.end(), L'\\') > std::count(b.begin(), b.end(), L'\\');
    });
    return ordered;
}

bool IsEmptyKey(HKEY root, const std::wstring& key) {
    com::UniqueHkey opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | kView,
                      opened.Put()) != ERROR_SUCCESS)
        return false;
    DWORD subKeys = 0, values = 0;
    return RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                            &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subKeys == 0 && values == 0;
}

// Schemes whose command opens something other than this program (a scheme without
// a command is free to take).
std::set<std::string> SchemesOfOthers(HKEY root, const std::wstring& exePath) {
    std::set<std::string> others;
    for (const auto& value : kLinkRegistration) {
        if (!value.scheme || others.count(value.scheme)) continue;
        const auto command = ReadText(root, CommandKey(value.scheme), L"");
        if (command && *command != Expand(kLinkOpenCommand, exePath)) others.insert(value.scheme);
    }
    return others;
}

void AssociationsChanged() {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace

RegistrationResult Register(HKEY root, const std::wstring& exePath) {
    RegistrationResult result;
    const auto others = SchemesOfOthers(root, exePath);
    for (const auto& scheme : others) {
        result.outcome = RegistrationOutcome::kSchemeKeptByAnotherProgram;
        result.notes.push_back(Text(scheme) + L": left to the program it opens now: " +
                               ReadText(root, CommandKey(scheme), L"").value_or(L""));
    }
    for (const auto& value : kLinkRegistration) {
        if (value.scheme && others.count(value.scheme)) continue;
        const std::wstring keyName = Text(value.key);
        com::UniqueHkey key;
        LSTATUS status = RegCreateKeyExW(root, keyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_SET_VALUE | kView, nullptr, key.Put(), nullptr);
        if (status == ERROR_SUCCESS) {
            const std::wstring data = Expand(value.data, exePath);
            status = RegSetValueExW(key.Get(), Text(value.name).c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(data.c_str()),
                                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        }
        if (status != ERROR_SUCCESS) {
            result.outcome = RegistrationOutcome::kRegistryFailed;
            result.notes.push_back(Failure(L"writing", keyName, status));
            break;
        }
    }
    AssociationsChanged();
    return result;
}

RegistrationResult Unregister(HKEY root, const std::wstring& exePath) {
    RegistrationResult result;
    // Decided before anything is removed: removing our command first would make
    // the rest of the scheme look like another program's.
    const auto others = SchemesOfOthers(root, exePath);
    for (const auto& value : kLinkRegistration) {
        if (value.scheme && others.count(value.scheme)) continue;
        const std::wstring keyName = Text(value.key), name = Text(value.name);
        if (ReadText(root, keyName, name.c_str()) != Expand(value.data, exePath)) continue;
        com::UniqueHkey key;
        LSTATUS status = RegOpenKeyExW(root, keyName.c_str(), 0, KEY_SET_VALUE | kView, key.Put());
        if (status == ERROR_SUCCESS) status = RegDeleteValueW(key.Get(), name.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            result.outcome = RegistrationOutcome::kRegistryFailed;
            result.notes.push_back(Failure(L"removing a value of", keyName, status));
        }
    }
    for (const auto& key : KeysDeepestFirst()) {
        if (!IsEmptyKey(root, key)) continue;
        const LSTATUS status = RegDeleteKeyExW(root, key.c_str(), kView, 0);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            result.outcome = RegistrationOutcome::kRegistryFailed;
            result.notes.push_back(Failure(L"removing", key, status));
        }
    }
    AssociationsChanged();
    return result;
}

}  // namespace qor::win::links
