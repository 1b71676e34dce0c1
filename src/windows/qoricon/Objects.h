#pragma once
// The creatable classes of qorIcon.dll and the identifiers of the library.

#include <windows.h>

#include "core/host/MenuEvent.h"
#include "qorIcon.h"
#include "windows/com/ComPtr.h"

namespace qor::win {

// Class creation functions for the class factories.
HRESULT CreateLauncher(REFIID riid, void** out) noexcept;
HRESULT CreateMenuEvent(REFIID riid, void** out) noexcept;
HRESULT CreateClickToCall(REFIID riid, void** out) noexcept;

// The COM face of a core MenuEvent (the form's myMenuEvent for GetMenuEvent).
com::ComPtr<_MenuEvent> MenuEventFor(const MenuEventPtr& core);

// Source text of the errors our classes report.
inline constexpr wchar_t kSource[] = L"qorIcon";

}  // namespace qor::win
