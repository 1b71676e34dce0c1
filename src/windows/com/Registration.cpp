#include "windows/com/Registration.h"

#include <oleauto.h>

#include <string>

#include "windows/com/ComPtr.h"
#include "windows/com/Module.h"
#include "windows/com/Owners.h"
#include "windows/com/Text.h"

// mingw-w64's oleauto.h lacks these two although its import library has them.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* lib, OLECHAR* path, OLECHAR* helpDir);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libId, WORD major, WORD minor, LCID lcid,
                                        SYSKIND syskind);
}

namespace qor::com {

namespace {

LSTATUS OpenRoot(RegistrationScope scope, UniqueHkey& root) {
    if (scope == RegistrationScope::Machine) {
        root.Reset(HKEY_CLASSES_ROOT);
        return ERROR_SUCCESS;
    }
    return RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, root.Put(), nullptr);
}

// Creates root\path and sets one string value (empty name = the default value).
LSTATUS SetString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& value) {
    UniqueHkey key;
    LSTATUS status =
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Deletes a key with everything below it; a key that is not there is fine.
LSTATUS DeleteTree(HKEY root, const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(root, path.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        RegDeleteKeyW(root, path.c_str());  // RegDeleteTree leaves the key itself on old systems
        return ERROR_SUCCESS;
    }
    return status;
}

struct LibraryInfo {
    ComPtr<ITypeLib> lib;
    TLIBATTR attr{};
};

HRESULT LoadOwnLibrary(LibraryInfo& info) {
    const std::wstring path = Module::Path();
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, info.lib.Put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = info.lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    info.attr = *attr;
    info.lib->ReleaseTLibAttr(attr);
    return S_OK;
}

// The libraries the module's own imports, embedded as resources 2, 3, ...: the
// contracts its interfaces refer to. A client that resolves those references
// needs them registered; where the contract's owner registered its own copy we
// leave it alone, and we only ever remove a registration that points at us.
template <class F>
HRESULT ForEachImportedLibrary(F&& visit) {
    const std::wstring path = Module::Path();
    for (int index = 2;; ++index) {
        const std::wstring resource = path + L"\\" + std::to_wstring(index);
        LibraryInfo info;
        if (FAILED(LoadTypeLibEx(resource.c_str(), REGKIND_NONE, info.lib.Put()))) return S_OK;
        TLIBATTR* attr = nullptr;
        if (FAILED(info.lib->GetLibAttr(&attr))) return S_OK;
        info.attr = *attr;
        info.lib->ReleaseTLibAttr(attr);
        if (HRESULT hr = visit(info, resource); FAILED(hr)) return hr;
    }
}

std::wstring RegisteredPath(const TLIBATTR& a) {
    Bstr path;
    if (FAILED(QueryPathOfRegTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, path.Put())))
        return {};
    return path.Wide();
}

HRESULT RegisterImportedLibraries(RegistrationScope scope) {
    return ForEachImportedLibrary([&](LibraryInfo& info, std::wstring resource) {
        if (!RegisteredPath(info.attr).empty()) return S_OK;
        return scope == RegistrationScope::Machine
                   ? RegisterTypeLib(info.lib.Get(), resource.data(), nullptr)
                   : RegisterTypeLibForUser(info.lib.Get(), resource.data(), nullptr);
    });
}

HRESULT UnregisterImportedLibraries(RegistrationScope scope) {
    return ForEachImportedLibrary([&](LibraryInfo& info, const std::wstring& resource) {
        const auto& a = info.attr;
        if (lstrcmpiW(RegisteredPath(a).c_str(), resource.c_str()) != 0) return S_OK;
        return scope == RegistrationScope::Machine
                   ? UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind)
                   : UnRegisterTypeLibForUser(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid,
                                              a.syskind);
    });
}

}  // namespace

HRESULT RegisterServer(std::span<const ClassRegistration> classes, RegistrationScope scope,
                       bool withTypeLib) noexcept {
    try {
        UniqueHkey root;
        LSTATUS status = OpenRoot(scope, root);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        const std::wstring path = Module::Path();

        LibraryInfo library;
        if (withTypeLib) {
            HRESULT hr = LoadOwnLibrary(library);
            if (FAILED(hr)) return hr;
        }
        const std::wstring libId = withTypeLib ? GuidText(library.attr.guid) : L"";

        for (const auto& c : classes) {
            const std::wstring clsidKey = L"CLSID\\" + GuidText(*c.clsid);
            const std::wstring clsidText = GuidText(*c.clsid);
            status = SetString(root.Get(), clsidKey, nullptr, c.description);
            if (status == ERROR_SUCCESS)
                status = SetString(root.Get(), clsidKey + L"\\InprocServer32", nullptr, path);
            if (status == ERROR_SUCCESS)
                status = SetString(root.Get(), clsidKey + L"\\InprocServer32", L"ThreadingModel",
                                   c.threadingModel);
            if (status == ERROR_SUCCESS)
                status = SetString(root.Get(), clsidKey + L"\\ProgID", nullptr, c.progId);
            if (status == ERROR_SUCCESS && withTypeLib)
                status = SetString(root.Get(), clsidKey + L"\\TypeLib", nullptr, libId);
            if (status == ERROR_SUCCESS)
                status = SetString(root.Get(), c.progId, nullptr, c.description);
            if (status == ERROR_SUCCESS)
                status =
                    SetString(root.Get(), std::wstring(c.progId) + L"\\CLSID", nullptr, clsidText);
            if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        }

        if (withTypeLib) {
            std::wstring mutablePath = path;
            const HRESULT hr =
                scope == RegistrationScope::Machine
                    ? RegisterTypeLib(library.lib.Get(), mutablePath.data(), nullptr)
                    : RegisterTypeLibForUser(library.lib.Get(), mutablePath.data(), nullptr);
            if (FAILED(hr)) return hr;
            return RegisterImportedLibraries(scope);
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterServer(std::span<const ClassRegistration> classes, RegistrationScope scope,
                         bool withTypeLib) noexcept {
    try {
        UniqueHkey root;
        LSTATUS status = OpenRoot(scope, root);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);

        HRESULT result = S_OK;
        for (const auto& c : classes) {
            status = DeleteTree(root.Get(), L"CLSID\\" + GuidText(*c.clsid));
            if (status == ERROR_SUCCESS) status = DeleteTree(root.Get(), c.progId);
            if (status != ERROR_SUCCESS) result = HRESULT_FROM_WIN32(status);
        }

        if (withTypeLib) {
            LibraryInfo library;
            HRESULT hr = LoadOwnLibrary(library);
            if (SUCCEEDED(hr)) {
                const auto& a = library.attr;
                // A library that is not registered is what we want: nothing to do
                // (the unregistration functions call that an error).
                Bstr registeredPath;
                if (SUCCEEDED(QueryPathOfRegTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid,
                                                    registeredPath.Put()))) {
                    hr = scope == RegistrationScope::Machine
                             ? UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid,
                                                 a.syskind)
                             : UnRegisterTypeLibForUser(a.guid, a.wMajorVerNum, a.wMinorVerNum,
                                                        a.lcid, a.syskind);
                }
            }
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
            hr = UnregisterImportedLibraries(scope);
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

RegistrationScope ScopeFromCommandLine(const wchar_t* commandLine) noexcept {
    if (commandLine && lstrcmpiW(commandLine, L"user") == 0) return RegistrationScope::User;
    return RegistrationScope::Machine;
}

}  // namespace qor::com
