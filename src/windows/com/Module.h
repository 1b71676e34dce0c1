#pragma once
// What a COM server DLL knows about itself: its module handle (recorded by
// DllMain and nothing else) and the count of live objects and server locks that
// DllCanUnloadNow answers from.

#include <windows.h>

#include <string>

namespace qor::com {

class Module {
  public:
    static void SetHandle(HMODULE module) noexcept;
    static HMODULE Handle() noexcept;
    // Full path of the DLL, as LoadLibrary found it.
    static std::wstring Path();

    static void Lock() noexcept;
    static void Unlock() noexcept;
    static LONG LockCount() noexcept;
};

// Counts an object for DllCanUnloadNow for as long as it lives.
class ModuleLock {
  public:
    ModuleLock() noexcept { Module::Lock(); }
    ModuleLock(const ModuleLock&) noexcept { Module::Lock(); }
    ModuleLock& operator=(const ModuleLock&) noexcept = default;
    ~ModuleLock() { Module::Unlock(); }
};

}  // namespace qor::com
