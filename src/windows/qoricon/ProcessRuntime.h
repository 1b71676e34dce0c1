#pragma once
// The component inside this process: one qor::Runtime on the Win32 platform port
// and the COM outside components, created on the first class-object request and
// kept for the life of the process.

#include "core/host/Runtime.h"

namespace qor::win {

class Win32Platform;

// Creates the runtime on first use; throws when it cannot be made.
Runtime& ProcessRuntime();
Win32Platform& ProcessPlatform();
// Whether the tray form is loaded (its window lives): the DLL must stay.
bool ProcessRuntimeBusy() noexcept;
// DllCanUnloadNow said yes: lets go of what the system holds for us (the window
// class). The runtime itself stays; see ProcessRuntime.cpp.
void PrepareUnload() noexcept;

}  // namespace qor::win
