// qorIcon.dll with the real outside parts in Wine's real notification area: a
// click on the icon reaches the client, the tooltip reaches the shell, and a
// missing part fails the way the component promises. Each suite runs in its own
// prefix, registered as its name says (see e2e.sh).

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../TestSupport.h"
#include "DebugOutput.h"
#include "windows/com/Automation.h"
#include "qorIcon.h"

using namespace qortest;

namespace {

std::vector<HWND> ShellIcons() {
    std::vector<HWND> icons;
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    for (HWND child = nullptr;
         tray && (child = FindWindowExW(tray, child, L"__winex11_tray_icon", nullptr));)
        icons.push_back(child);
    return icons;
}

// The shell's icon that is not among `before`, waiting up to `ms` for it.
HWND NewShellIcon(const std::vector<HWND>& before, int ms) {
    for (int waited = 0; waited <= ms; waited += 100) {
        for (HWND icon : ShellIcons())
            if (std::find(before.begin(), before.end(), icon) == before.end()) return icon;
        Pump(100);
    }
    return nullptr;
}

// The tooltip text the shell keeps for an icon. The tooltip lives in the shell's
// process, so the question and the answer travel through its memory.
std::wstring ShellToolTip(HWND icon) {
    DWORD pid = 0;
    GetWindowThreadProcessId(icon, &pid);
    qor::com::UniqueHandle process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!process) return {};
    auto* remote = static_cast<BYTE*>(
        VirtualAllocEx(process.Get(), nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::wstring found;
    for (HWND tip = nullptr;
         found.empty() && (tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(tip, &owner);
        if (owner != pid) continue;
        TTTOOLINFOW info{};
        info.cbSize = sizeof info;
        info.hwnd = icon;
        info.uId = reinterpret_cast<UINT_PTR>(icon);
        info.lpszText = reinterpret_cast<LPWSTR>(remote + 1024);
        wchar_t text[512] = {};
        WriteProcessMemory(process.Get(), remote, &info, sizeof info, nullptr);
        WriteProcessMemory(process.Get(), remote + 1024, text, sizeof text, nullptr);
        DWORD_PTR unused = 0;
        SendMessageTimeoutW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(remote),
                            SMTO_ABORTIFHUNG, 2000, &unused);
        ReadProcessMemory(process.Get(), remote + 1024, text, sizeof text - 2, nullptr);
        found = text;
    }
    VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
    return found;
}

void PostClick(HWND icon, UINT down, UINT up) {
    PostMessageW(icon, down, 0, MAKELPARAM(8, 8));
    PostMessageW(icon, up, 0, MAKELPARAM(8, 8));
}

ComPtr<_Launcher> CreateLauncher() {
    ComPtr<_Launcher> launcher;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_Launcher, nullptr, CLSCTX_INPROC_SERVER, IID__Launcher,
                                     launcher.PutVoid()));
    return launcher;
}

bool Registered(const wchar_t* progId) {
    CLSID clsid{};
    return SUCCEEDED(CLSIDFromProgID(progId, &clsid));
}

HRESULT ForwardIconId(_Launcher* launcher, const wchar_t* value) {
    qor::com::Bstr name(L"ForwardIconID");
    qor::com::Variant arg, result;
    V_VT(arg.Put()) = VT_BSTR;
    V_BSTR(arg.Get()) = SysAllocString(value);
    return launcher->ExecuteCommand(name.Get(), *arg.Get(), result.Put());
}

// What the popup menu showed while it was open, seen from a timer that the
// menu's own message loop runs; the timer then closes the menu.
struct MenuWatch {
    static inline bool seen = false;
    static inline std::vector<std::wstring> items;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (!popup || !IsWindowVisible(popup)) return;
        if (!seen) {
            seen = true;
            auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
            for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
                wchar_t text[128] = {};
                GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
                if (text[0]) items.push_back(text);
            }
        }
        EndMenu();  // again on the next tick, should the menu still be open
    }
};

class Tray : public testing::Test {
  protected:
    void SetUp() override {
        before = ShellIcons();
        launcher = CreateLauncher();
        ASSERT_TRUE(launcher);
        ASSERT_EQ(S_OK, launcher->GetMenuEvent(menuEvent.Put()));
        ASSERT_EQ(S_OK, Advise(menuEvent.Get(), DIID___MenuEvent, sink, &cookie));
        ASSERT_EQ(S_OK, launcher->Start());
        icon = NewShellIcon(before, 5000);
        ASSERT_TRUE(icon) << "no icon of ours in the shell's tray";
    }
    void TearDown() override {
        sink->onEvent = nullptr;
        if (cookie) Unadvise(menuEvent.Get(), DIID___MenuEvent, cookie);
        sink->Release();
    }
    std::vector<HWND> before;
    ComPtr<_Launcher> launcher;
    ComPtr<_MenuEvent> menuEvent;
    RecordingSink* sink = new RecordingSink(DIID___MenuEvent);
    DWORD cookie = 0;
    HWND icon = nullptr;
};

TEST_F(Tray, LeftClickAsksToMaximizeRightClickOpensTheMenu) {
    // Open-window mode: the click asks the client to show its main session. Added
    // after Start, the session is never asked for its extensions.
    auto session = new PropertyBag();
    session->Set(L"SessionKey", L"main");
    // The stand-in answers by name only: it goes in late-bound, as a script passes it.
    qor::com::Variant args[] = {qor::com::MakeDispatch(session), qor::com::MakeI4(1),
                                qor::com::MakeText("Phone")};
    VARIANT raw[] = {*args[0].Get(), *args[1].Get(), *args[2].Get()};
    ASSERT_NO_THROW(qor::com::InvokeByName(launcher.Get(), L"addSession", DISPATCH_METHOD, raw));
    bool ownSession = false;
    sink->onEvent = [&](DISPID, DISPPARAMS& params) {
        ownSession = qor::com::SameObject(qor::com::DispatchOf(params.rgvarg[0]).Get(), session);
    };

    // The request comes after the double-click time, on the form's next timer tick.
    PostClick(icon, WM_LBUTTONDOWN, WM_LBUTTONUP);
    for (int i = 0; i < 30 && sink->events.empty(); ++i) Pump(100);
    Pump(300);
    ASSERT_EQ(1u, sink->events.size());
    EXPECT_EQ(6, sink->events[0].id);  // Maximize
    EXPECT_TRUE(ownSession);

    sink->events.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, &MenuWatch::Tick);
    PostClick(icon, WM_RBUTTONDOWN, WM_RBUTTONUP);
    Pump(1500);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(MenuWatch::seen);
    const auto& items = MenuWatch::items;
    EXPECT_NE(items.end(), std::find(items.begin(), items.end(), L"E&xit"));
    // Closing the menu chose nothing: the client hears nothing, the icon stays.
    EXPECT_FALSE(IsWindowVisible(FindWindowW(L"#32768", nullptr)));
    EXPECT_TRUE(sink->events.empty());
    EXPECT_EQ(before.size() + 1, ShellIcons().size());
    session->Release();
}

TEST_F(Tray, TooltipReachesTheShell) {
    qor::com::Bstr text(L"hello from the test");
    BSTR raw = text.Get();
    ASSERT_EQ(S_OK, launcher->SetTooltip(&raw));
    Pump(200);
    EXPECT_EQ(L"hello from the test", ShellToolTip(icon));
}

TEST_F(Tray, ReportedErrorsGoToTheLogFile) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"e2e-log";
    CreateDirectoryW(folder.c_str(), nullptr);
    SetEnvironmentVariableW(L"LOCALAPPDATA", folder.c_str());
    DebugOutput output;
    EXPECT_EQ(S_OK, ForwardIconId(launcher.Get(), L"x"));
    std::ifstream file((folder + L"\\Norvane\\5521\\qorIcon.log").c_str());
    std::stringstream log;
    log << file.rdbuf();
    EXPECT_NE(std::string::npos, log.str().find("QorIcon Launcher.ExecuteCommand"));
    EXPECT_NE(std::string::npos, log.str().find("Type mismatch"));
    EXPECT_EQ(std::string::npos, output.Text().find("mLogErrorEntlib")) << output.Text();
}

TEST(WithoutIcons, LauncherLoadsWithNoTrayIcon) {
    ASSERT_FALSE(Registered(L"QORIcons.Icons"));
    const auto before = ShellIcons();
    ASSERT_FALSE(before.empty()) << "the keeper icon is missing: is the tray there?";
    auto launcher = CreateLauncher();
    ASSERT_TRUE(launcher);
    EXPECT_EQ(S_OK, launcher->Start());
    // The icon would have been added during the creation; a moment more for a late one.
    EXPECT_EQ(nullptr, NewShellIcon(before, 1000));
}

TEST(WithoutLogger, ReportsGoToTheDebuggerOutput) {
    ASSERT_FALSE(Registered(L"QORLog.Logger"));
    DebugOutput output;
    auto launcher = CreateLauncher();
    ASSERT_TRUE(launcher);
    EXPECT_NE(std::string::npos, output.Text().find("mLogErrorEntlib.LogErrorInit - "));
    EXPECT_EQ(std::string::npos, output.Text().find("mLogErrorEntlib.LogError - "));
    // An argument that is no number is reported; the command itself returns normally.
    EXPECT_EQ(S_OK, ForwardIconId(launcher.Get(), L"x"));
    EXPECT_NE(std::string::npos, output.Text().find("mLogErrorEntlib.LogError - "))
        << output.Text();
}

}  // namespace
