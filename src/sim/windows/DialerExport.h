#pragma once
// The simulated phone objects served to the real qorIcon.dll as the client's
// dialer objects: automation objects whose members the DLL reaches by name, as
// QorDial.idl names them, and whose events it hears through their connection
// points. Each automation object holds its core object and listens to it; an event
// the core object raises goes out to the advised sinks with by-reference
// arguments, and what a sink leaves there comes back to the core's variables.
//
// The simulator runs on one apartment thread; none of this is thread-safe.

#include <windows.h>

#include <oaidl.h>

#include "core/common/Variant.h"
#include "core/contracts/Dialer.h"
#include "windows/com/ComPtr.h"
#include "windows/com/Owners.h"

namespace qor::sim::win {

// A new reference to the automation object serving `object` (the same one while
// it lives); null for null.
com::ComPtr<IDispatch> ExportSession(const dialer::SessionPtr& object);
com::ComPtr<IDispatch> ExportCalls(const dialer::CallsPtr& object);
com::ComPtr<IDispatch> ExportCall(const dialer::CallPtr& object);

// The core object an exported automation object serves; null when `object` is not
// one of ours (or serves another kind of object).
dialer::CallPtr CallBehind(IDispatch* object);
dialer::SessionPtr SessionBehind(IDispatch* object);
dialer::CallsPtr CallsBehind(IDispatch* object);

// Values between the core and automation, for our own objects: a core object goes
// out as its exported automation object and an exported one comes back as the core
// object it serves. Anything else converts as the DLL converts it.
com::Variant ExportValue(const Variant& value);
Variant ImportValue(const VARIANT& value);

}  // namespace qor::sim::win
