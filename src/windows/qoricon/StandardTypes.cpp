#include "windows/qoricon/StandardTypes.h"

#include <windows.h>
#include <oleauto.h>

#include <atomic>

#include "windows/com/Owners.h"

namespace qor::win {

namespace {
// The pictures the tray shows are declared with the standard OLE types. The first
// call through the icon library's dispatch interface that hands one over makes
// oleaut32 read that library (about a millisecond under Wine), and that call lies
// on the way to the tray icon. Read on a worker while this thread loads the outside
// parts, the library is in oleaut32's cache by then, where it stays while we hold
// it. A client that has read it already loses nothing but the short-lived thread.
SRWLOCK gLock = SRWLOCK_INIT;
com::UniqueHandle gWorker;                       // under gLock
std::atomic<ITypeLib*> gStandardTypes{nullptr};  // set by the worker

DWORD WINAPI ReadStandardTypes(void*) {
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadTypeLibEx(L"stdole2.tlb", REGKIND_NONE, &lib))) gStandardTypes = lib;
    return 0;
}
}  // namespace

void ReadStandardTypesAhead() noexcept {
    com::ExclusiveLock lock(gLock);
    if (!gWorker) gWorker.Reset(CreateThread(nullptr, 0, ReadStandardTypes, nullptr, 0, nullptr));
}

void ReleaseStandardTypes() noexcept {
    com::ExclusiveLock lock(gLock);
    if (!gWorker) return;
    // The worker runs code of this module: it must be done before the module goes.
    WaitForSingleObject(gWorker.Get(), INFINITE);
    gWorker.Reset();
    if (ITypeLib* lib = gStandardTypes.exchange(nullptr)) lib->Release();
}

}  // namespace qor::win
