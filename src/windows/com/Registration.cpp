#include "windows/com/Registration.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "deploy/TypeLibFile.h"
#include "windows/com/Module.h"
#include "windows/com/Owners.h"
#include "windows/com/Text.h"

namespace qor::com {

namespace {

using deploy::RegistryValue;

// A stdcall callback on 32-bit: a lambda does not convert to it there.
BOOL CALLBACK CollectNumber(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<int>*>(list)->push_back(
            static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// The module's TYPELIB resources as the file holds them: the same reader the
// build uses on the shipped binaries, so both derive the same plan.
std::vector<deploy::EmbeddedTypeLib> EmbeddedLibraries() {
    std::vector<int> numbers;
    EnumResourceNamesW(Module::Handle(), L"TYPELIB", &CollectNumber,
                       reinterpret_cast<LONG_PTR>(&numbers));
    std::sort(numbers.begin(), numbers.end());
    std::vector<deploy::EmbeddedTypeLib> libraries;
    for (int number : numbers) {
        HRSRC found = FindResourceW(Module::Handle(), MAKEINTRESOURCEW(number), L"TYPELIB");
        HGLOBAL loaded = found ? LoadResource(Module::Handle(), found) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (!data) throw std::runtime_error("TYPELIB resource cannot be loaded");
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        libraries.push_back(
            {number, deploy::ReadTypeLib({bytes, SizeofResource(Module::Handle(), found)})});
    }
    return libraries;
}

LSTATUS OpenRoot(RegistrationScope scope, UniqueHkey& root) {
    if (scope == RegistrationScope::Machine) {
        root.Reset(HKEY_CLASSES_ROOT);
        return ERROR_SUCCESS;
    }
    return RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, root.Put(), nullptr);
}

LSTATUS Write(HKEY root, const RegistryValue& v) {
    UniqueHkey key;
    LSTATUS status = RegCreateKeyExW(root, FromUtf8(v.key).c_str(), 0, nullptr, 0, KEY_WRITE,
                                     nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring name = FromUtf8(v.name);
    const std::wstring data = FromUtf8(v.data);
    return RegSetValueExW(key.Get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

bool ReadDefault(HKEY root, const std::string& key, std::wstring& value) {
    wchar_t buffer[2048] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(root, FromUtf8(key).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return false;
    value = buffer;
    return true;
}

// Deletes the value, then every key on its path that is left with nothing in it,
// up to the classes root (a per-user CLSID key may have been created for us).
void Remove(HKEY root, const RegistryValue& v) {
    std::wstring key = FromUtf8(v.key);
    {
        UniqueHkey opened;
        if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, opened.Put()) != ERROR_SUCCESS)
            return;  // nothing there: already gone
        const std::wstring name = FromUtf8(v.name);
        RegDeleteValueW(opened.Get(), name.empty() ? nullptr : name.c_str());
    }
    while (!key.empty()) {
        DWORD subkeys = 1, values = 1;
        {
            UniqueHkey opened;
            if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Put()) != ERROR_SUCCESS ||
                RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                 nullptr, &values, nullptr, nullptr, nullptr,
                                 nullptr) != ERROR_SUCCESS)
                return;
        }
        if (subkeys != 0 || values != 0 || RegDeleteKeyW(root, key.c_str()) != ERROR_SUCCESS)
            return;
        const auto slash = key.rfind(L'\\');
        key = slash == std::wstring::npos ? std::wstring() : key.substr(0, slash);
    }
}

bool PointsAt(HKEY root, const deploy::LibraryPlan& lib, bool whenAbsent) {
    std::wstring registered;
    if (!ReadDefault(root, lib.pathKey, registered)) return whenAbsent;
    return lstrcmpiW(registered.c_str(), FromUtf8(lib.path).c_str()) == 0;
}

// A library that is not ours is written where no one has registered it (as the
// user sees the classes, and in the scope written to) or where it points at us,
// and removed only where it still points at us.
bool MayRegister(const deploy::LibraryPlan& lib, HKEY root) {
    return lib.own || (PointsAt(HKEY_CLASSES_ROOT, lib, true) && PointsAt(root, lib, true));
}
bool MayUnregister(const deploy::LibraryPlan& lib, HKEY root) {
    return lib.own || PointsAt(root, lib, false);
}

HRESULT FromStatus(LSTATUS status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace

deploy::ServerPlan PlanOwnRegistration() {
    const std::wstring path = Module::Path();
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    return deploy::PlanServer(EmbeddedLibraries(), {Utf8(path), Utf8(folder)});
}

HRESULT RegisterServer(std::span<const CLSID* const> served, RegistrationScope scope) noexcept {
    try {
        const deploy::ServerPlan plan = PlanOwnRegistration();
        std::vector<std::string> factories;
        for (const CLSID* clsid : served) factories.push_back(Utf8(GuidText(*clsid)));
        std::vector<std::string> planned;
        for (const auto& c : plan.classes) planned.push_back(c.clsid);
        std::sort(factories.begin(), factories.end());
        std::sort(planned.begin(), planned.end());
        if (factories != planned) return E_UNEXPECTED;

        UniqueHkey root;
        LSTATUS status = OpenRoot(scope, root);
        for (const auto& v : plan.classValues)
            if (status == ERROR_SUCCESS) status = Write(root.Get(), v);
        for (const auto& lib : plan.libraries) {
            if (!MayRegister(lib, root.Get())) continue;
            for (const auto& v : lib.values)
                if (status == ERROR_SUCCESS) status = Write(root.Get(), v);
        }
        return FromStatus(status);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
    try {
        const deploy::ServerPlan plan = PlanOwnRegistration();
        UniqueHkey root;
        const LSTATUS status = OpenRoot(scope, root);
        if (status != ERROR_SUCCESS) return FromStatus(status);
        for (const auto& v : plan.classValues) Remove(root.Get(), v);
        for (const auto& lib : plan.libraries) {
            if (!MayUnregister(lib, root.Get())) continue;
            // The path last: until then the library still reads as ours.
            for (auto v = lib.values.rbegin(); v != lib.values.rend(); ++v) Remove(root.Get(), *v);
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

RegistrationScope ScopeFromCommandLine(const wchar_t* commandLine) noexcept {
    if (commandLine && lstrcmpiW(commandLine, L"user") == 0) return RegistrationScope::User;
    return RegistrationScope::Machine;
}

}  // namespace qor::com
