#include "windows/com/ServerDiagnosis.h"

#include <cstdio>
#include <vector>

#include "windows/com/Owners.h"
#include "windows/com/Text.h"

namespace qor::com {

namespace {

constexpr bool k64Bit = sizeof(void*) == 8;
constexpr const char* kOurBits = k64Bit ? "64-bit" : "32-bit";
constexpr const char* kOtherBits = k64Bit ? "32-bit" : "64-bit";
constexpr const char* kOurPackage = k64Bit ? "x64" : "x86";
// The registry of programs of the other bitness, as far as it differs from ours.
constexpr REGSAM kOtherView = k64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

bool KeyExists(const std::wstring& path, REGSAM view) {
    UniqueHkey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.Put()) ==
           ERROR_SUCCESS;
}

std::wstring DefaultValue(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    // A REG_EXPAND_SZ value comes back expanded, as REG_SZ.
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS)
        return {};
    return buffer;
}

// The machine a module is built for (IMAGE_FILE_MACHINE_*), 0 when unreadable.
WORD MachineOf(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file || file.Get() == INVALID_HANDLE_VALUE) {
        file.Release();  // INVALID_HANDLE_VALUE is not ours to close
        return 0;
    }
    std::vector<BYTE> head(4096);
    DWORD read = 0;
    if (!ReadFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr) ||
        read < 0x40 || head[0] != 'M' || head[1] != 'Z')
        return 0;
    const DWORD pe = *reinterpret_cast<const DWORD*>(&head[0x3C]);
    if (pe + 6 > read || head[pe] != 'P' || head[pe + 1] != 'E') return 0;
    return *reinterpret_cast<const WORD*>(&head[pe + 4]);
}

std::string SystemMessage(HRESULT hr) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"";
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    return message.empty() ? code : std::string(code) + ": " + Narrow(message);
}

}  // namespace

std::string WhyCannotCreate(const wchar_t* progId, HRESULT hr) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) {
        if (KeyExists(std::wstring(progId) + L"\\CLSID", kOtherView))
            return std::string("is registered for ") + kOtherBits + " programs only; this " +
                   kOurBits + " program needs the " + kOurPackage + " package";
        return "is not registered";
    }
    const std::wstring server = DefaultValue(L"CLSID\\" + GuidText(clsid) + L"\\InprocServer32");
    if (server.empty()) {
        if (KeyExists(L"CLSID\\" + GuidText(clsid) + L"\\InprocServer32", kOtherView))
            return std::string("is registered for ") + kOtherBits + " programs only; this " +
                   kOurBits + " program needs the " + kOurPackage + " package";
        return "is registered without a server file";
    }
    wchar_t found[MAX_PATH * 2] = {};
    if (!SearchPathW(nullptr, server.c_str(), nullptr, MAX_PATH * 2, found, nullptr))
        return "is registered, but its file " + Narrow(server) + " is missing";
    const WORD machine = MachineOf(found);
    const WORD ours = k64Bit ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    if (machine != 0 && machine != ours)
        return "is registered with " + Narrow(found) + ", a file for " +
               (machine == IMAGE_FILE_MACHINE_I386 ? "32-bit" : "other") + " programs; this " +
               kOurBits + " program needs the " + kOurPackage + " package";
    return "cannot be created (" + SystemMessage(hr) + ")";
}

}  // namespace qor::com
