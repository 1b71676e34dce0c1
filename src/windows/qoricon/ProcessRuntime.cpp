#include "windows/qoricon/ProcessRuntime.h"

#include "windows/com/Module.h"
#include "windows/platform/Win32Platform.h"
#include "windows/qoricon/OutsideComponents.h"

namespace qor::win {

namespace {
// Heap objects on purpose: they are ended by EndProcessRuntime on a COM thread, never
// by static destructors while the loader lock is held.
Win32Platform* gPlatform = nullptr;
ComOutsideComponents* gComponents = nullptr;
Runtime* gRuntime = nullptr;
// Script hosts may ask for class objects on several threads at once.
SRWLOCK gLock = SRWLOCK_INIT;
}  // namespace

Runtime& ProcessRuntime() {
    AcquireSRWLockExclusive(&gLock);
    struct Unlock {
        ~Unlock() { ReleaseSRWLockExclusive(&gLock); }
    } unlock;
    if (!gRuntime) {
        if (!gPlatform) gPlatform = new Win32Platform(com::Module::Handle());
        if (!gComponents) gComponents = new ComOutsideComponents();
        gRuntime = new Runtime(*gPlatform, *gComponents);
    }
    return *gRuntime;
}

Win32Platform& ProcessPlatform() {
    ProcessRuntime();
    return *gPlatform;
}

bool ProcessRuntimeBusy() noexcept {
    return gRuntime && gRuntime->FormLoaded();
}

void EndProcessRuntime() noexcept {
    try {
        delete gRuntime;
    } catch (...) {
        // Ending the runtime releases outside objects; a failure there leaves
        // nothing for us to undo.
    }
    gRuntime = nullptr;
    delete gComponents;
    gComponents = nullptr;
    delete gPlatform;
    gPlatform = nullptr;
}

}  // namespace qor::win
