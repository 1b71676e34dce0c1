#pragma once
// The component inside this process: one qor::Runtime on the Win32 platform port
// and the COM outside components, created on the first class-object request and
// torn down only when the DLL agrees to be unloaded.

#include "core/host/Runtime.h"

namespace qor::win {

class Win32Platform;

// Creates the runtime on first use; throws when it cannot be made.
Runtime& ProcessRuntime();
Win32Platform& ProcessPlatform();
// Whether the tray form is loaded (its window lives): the DLL must stay.
bool ProcessRuntimeBusy() noexcept;
// Ends the runtime (DllCanUnloadNow said yes); a later request makes a new one.
void EndProcessRuntime() noexcept;

}  // namespace qor::win
