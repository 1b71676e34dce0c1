#include "windows/com/Module.h"

namespace qor::com {

namespace {
HMODULE gModule = nullptr;
LONG gLocks = 0;
}  // namespace

void Module::SetHandle(HMODULE module) noexcept {
    gModule = module;
}

HMODULE Module::Handle() noexcept {
    if (!gModule) {
        // Not set by a DllMain (an executable linking the toolkit): use the module
        // that holds this code.
        GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&gModule), &gModule);
    }
    return gModule;
}

std::wstring Module::Path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(Handle(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void Module::Lock() noexcept {
    InterlockedIncrement(&gLocks);
}
void Module::Unlock() noexcept {
    InterlockedDecrement(&gLocks);
}
LONG Module::LockCount() noexcept {
    return gLocks;
}

}  // namespace qor::com
