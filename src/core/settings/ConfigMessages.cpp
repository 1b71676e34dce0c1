#include "core/settings/ConfigMessages.h"

#include "core/common/Convert.h"
#include "core/common/VersionInfo.h"
#include "core/host/Runtime.h"
#include "core/settings/CRegSettings.h"
#include "core/tray/FormSupport.h"
#include "core/tray/frmMain.h"

namespace qor::config {

namespace {
// One tray form per process, so one hooked window.
WindowHandle HookedWindow = 0;
std::uintptr_t PrevWndProc = 0;
}  // namespace

void Hook(frmMain& form) {
    Runtime* runtime = Runtime::Current();
    if (!runtime) Raise(err::kObjectNotSet);
    HookedWindow = form.hWnd();
    PrevWndProc = runtime->Platform().SubclassWindow(HookedWindow, &WindowProc);
}

void Unhook() {
    if (HookedWindow == 0 || PrevWndProc == 0) return;
    if (Runtime* runtime = Runtime::Current())
        runtime->Platform().RestoreWindowProc(HookedWindow, PrevWndProc);
    HookedWindow = 0;
    PrevWndProc = 0;
}

std::intptr_t WindowProc(WindowHandle hWnd, std::uint32_t uMsg, std::uintptr_t wParam,
                         std::intptr_t lParam) {
    Runtime* runtime = Runtime::Current();
    if (!runtime) return 0;
    if (uMsg == kMsgConfigChanged && (static_cast<std::uint32_t>(wParam) & 0xFF000000u) == 0) {
        try {
            ConfigChanged(wParam, lParam);
        } catch (...) {
            // A settings text that does not convert must not escape into the
            // system's message dispatch; the message still goes on below.
            runtime->Errors().LogError("QorIcon config.ConfigChanged", CurrentError());
        }
    }
    return runtime->Platform().CallPreviousWindowProc(PrevWndProc, hWnd, uMsg, wParam, lParam);
}

void ConfigChanged(std::uintptr_t& /*wParam*/, std::intptr_t& lParam) {
    Runtime& runtime = Required(Runtime::Current());
    frmMain& form = runtime.Form();
    CRegSettings settings(runtime.Platform());
    settings.Company(kCompanyName);
    settings.AppName("5521\\QORDial");

    if (lParam & kLeftClickChange) {
        bool actDial = TextToBool(settings.GetSetting("Settings", "LButtonDial", "True"));
        form.SetLButton(actDial);
    }
    if (lParam & (kDialActiveChange | kDialPressChange)) {
        ITrayIconItem& item = Required(form.TrayItem());
        item.SetShortCutActive(
            TextToBool(settings.GetSetting("Settings", "RButtonActive", "False")));
        item.SetShortCut(TextToInt16(settings.GetSetting("Settings", "RButtonShortCut", "1")));
        std::string dial = "#01109#Dial";
        item.SetDialCaption(form.TranslateCaption(dial));
        bool active = item.ShortCutActive();
        std::int16_t shortCut = item.ShortCut();
        form.SetShortCut(active, shortCut);
    }
}

}  // namespace qor::config
