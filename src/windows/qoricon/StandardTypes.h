#pragma once
// The standard OLE type library, read ahead of the form's first need of it.

namespace qor::win {

// Starts reading the library on a worker thread, once per process.
void ReadStandardTypesAhead() noexcept;
// Waits for the worker and lets go of the library (before the DLL unloads).
void ReleaseStandardTypes() noexcept;

}  // namespace qor::win
