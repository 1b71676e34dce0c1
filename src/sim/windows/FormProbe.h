#pragma once
// Reads the tray form of the component loaded in this process through its
// read-only diagnostic export, QorIconDescribeForm: the runner links its own copy
// of the core, so the DLL's form is only reachable through the DLL itself.

#include <windows.h>

#include "sim/scenario/World.h"

namespace qor::sim::win {

// False when the DLL has no such export or no form is loaded; `out` is then left
// as it was.
bool ReadFormProbe(HMODULE qorIconDll, FormView& out);

}  // namespace qor::sim::win
