#pragma once
// Live configuration changes: the tray form's window is subclassed so that the
// client's message 0x446 reloads the mouse settings at once.

#include <cstdint>

#include "core/contracts/Platform.h"

namespace qor {
class frmMain;
}

namespace qor::config {

// lParam flags of the configuration-change message.
inline constexpr std::intptr_t kLeftClickChange = 1;
inline constexpr std::intptr_t kDialActiveChange = 2;
inline constexpr std::intptr_t kDialPressChange = 4;

void Hook(frmMain& form);
void Unhook();
std::intptr_t WindowProc(WindowHandle hWnd, std::uint32_t uMsg, std::uintptr_t wParam,
                         std::intptr_t lParam);
// Reloads the flagged settings group(s) into the tray form and its icon item.
void ConfigChanged(std::uintptr_t& wParam, std::intptr_t& lParam);

}  // namespace qor::config
