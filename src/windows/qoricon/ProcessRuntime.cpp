#include "windows/qoricon/ProcessRuntime.h"

#include "windows/com/Module.h"
#include "windows/platform/Win32Platform.h"
#include "windows/qoricon/OutsideComponents.h"
#include "windows/qoricon/StandardTypes.h"

namespace qor::win {

namespace {
// Heap objects on purpose: no static destructor may release COM objects while the
// loader lock is held.
Win32Platform* gPlatform = nullptr;
ComOutsideComponents* gComponents = nullptr;
Runtime* gRuntime = nullptr;
// Script hosts may ask for class objects on several threads at once.
SRWLOCK gLock = SRWLOCK_INIT;
}  // namespace

Runtime& ProcessRuntime() {
    com::ExclusiveLock lock(gLock);
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

void PrepareUnload() noexcept {
    // The runtime is never deleted: its globals and the form object hold the
    // client's objects (sessions handed to addSession, for one), and by the time COM
    // asks us to unload, their owner may be gone, a script engine for instance.
    // Releasing them then crashes the host; keeping them costs a little memory.
    // Nothing of ours runs after the form's unload (no window, timer, hook or
    // event sink is left), so the DLL may still be unloaded safely.
    if (gPlatform) gPlatform->ReleaseWindowClass();
    ReleaseStandardTypes();
}

}  // namespace qor::win
