// Measurements of qorIcon.dll under Wine (not a test: numbers for the performance
// notes). Modes:
//   idle <seconds>     holds a started Launcher and only pumps messages; the harness
//                      counts the process's wake-ups meanwhile. Also "baseline"
//                      (nothing), "timer100" (a 100 ms timer of its own) and
//                      "idle-after-dblclick" (after a double click on the icon)
//   startup <runs>     time from CoCreateInstance(Launcher) to its icon in the
//                      notification area, beside a bare Shell_NotifyIcon program
//   cycles <count>     create/release cycles of Launcher; handles, GUI objects,
//                      windows and memory before and after
// Results are "name value" lines on stdout.

#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "qorIcon.h"
#include "windows/com/ComPtr.h"

using qor::com::ComPtr;

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void Pump(DWORD ms) {
    const double end = Now() + ms;
    while (Now() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(std::max(1.0, end - Now())),
                                  QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

// Icons in Wine's stand-alone tray: one child window per icon.
int TrayIconCount() {
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    int count = 0;
    for (HWND child = FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr); child;
         child = FindWindowExW(tray, child, L"__winex11_tray_icon", nullptr))
        ++count;
    return count;
}

double WaitForIcons(int expected, double start) {
    while (TrayIconCount() < expected) {
        if (Now() - start > 10000) return -1;
        Pump(1);
    }
    return Now() - start;
}

int WindowsOfThisProcess() {
    struct Ctx {
        DWORD pid;
        int count;
    } ctx{GetCurrentProcessId(), 0};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == c->pid) ++c->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.count;
}

ComPtr<_Launcher> CreateLauncher() {
    ComPtr<_Launcher> launcher;
    CoCreateInstance(CLSID_Launcher, nullptr, CLSCTX_INPROC_SERVER, IID__Launcher,
                     launcher.PutVoid());
    return launcher;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

// A plain program's icon: a window and one Shell_NotifyIcon call.
class PlainIcon {
  public:
    explicit PlainIcon(UINT id) {
        window_ = CreateWindowExW(0, L"STATIC", L"plain", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
        data_.cbSize = sizeof data_;
        data_.hWnd = window_;
        data_.uID = id;
        data_.uFlags = NIF_ICON | NIF_TIP;
        data_.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        lstrcpyW(data_.szTip, L"plain");
        Shell_NotifyIconW(NIM_ADD, &data_);
    }
    ~PlainIcon() {
        Shell_NotifyIconW(NIM_DELETE, &data_);
        DestroyWindow(window_);
    }

  private:
    HWND window_;
    NOTIFYICONDATAW data_{};
};

enum class IdleKind { Baseline, Timer100, Launcher, LauncherAfterDoubleClick };

int Idle(int seconds, IdleKind kind) {
    ComPtr<_Launcher> launcher;
    // A 100 ms timer of our own shows what a ticking timer costs: the scale for
    // the numbers of the other kinds.
    if (kind == IdleKind::Timer100) SetTimer(nullptr, 0, 100, nullptr);
    if (kind == IdleKind::Launcher || kind == IdleKind::LauncherAfterDoubleClick) {
        PlainIcon keeper(100);
        const int base = TrayIconCount();
        launcher = CreateLauncher();
        if (!launcher || FAILED(launcher->Start())) {
            std::printf("error launcher\n");
            return 1;
        }
        if (kind == IdleKind::LauncherAfterDoubleClick) {
            // A double click asks for a deferred action: the form's timer runs
            // until the action is done, then should let the thread sleep again.
            WaitForIcons(base + 1, Now());
            HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
            HWND ours = nullptr;
            for (HWND child = FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr); child;
                 child = FindWindowExW(tray, child, L"__winex11_tray_icon", nullptr))
                ours = child;  // the newest icon is the component's
            for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
                PostMessageW(ours, message, 0, MAKELPARAM(8, 8));
            Pump(2000);
        }
    }
    Pump(1000);  // let the start-up settle
    std::printf("ready\n");
    std::fflush(stdout);
    Pump(DWORD(seconds) * 1000);
    std::printf("done\n");
    return 0;
}

int Startup(int runs) {
    PlainIcon keeper(100);  // removing the last icon would stall for seconds
    Pump(500);
    const int base = TrayIconCount();
    std::vector<double> component, plain;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        {
            ComPtr<_Launcher> launcher = CreateLauncher();
            if (!launcher) return 1;
            component.push_back(WaitForIcons(base + 1, start));
        }
        Pump(200);
        start = Now();
        {
            PlainIcon icon(200 + UINT(i));
            plain.push_back(WaitForIcons(base + 1, start));
        }
        Pump(200);
    }
    std::printf("startup_component_median_ms %.1f\n", Median(component));
    std::printf("startup_plain_median_ms %.1f\n", Median(plain));
    std::printf("startup_runs %d\n", runs);
    return 0;
}

struct Counts {
    long handles;  // -1 when the system cannot tell
    DWORD gdi, user;
    int windows;
    long rssKb;
};

// Wine answers GetProcessHandleCount and GetGuiResources with 0; the system handle
// table (as Process Explorer reads it) does list our handles.
long HandleCount() {
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    LONG status;
    while ((status = query(16 /* SystemHandleInformation */, buffer.data(), ULONG(buffer.size()),
                           &needed)) == LONG(0xC0000004) /* STATUS_INFO_LENGTH_MISMATCH */)
        buffer.resize(buffer.size() * 2);
    if (status < 0) return -1;
    const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    long ours = 0;
    for (ULONG i = 0; i < count; ++i)
        if (entries[i].ownerPid == GetCurrentProcessId()) ++ours;
    return ours;
}

// Resident memory from the host's view of this process (Wine maps Z: to /).
long ResidentKb() {
    HANDLE file = CreateFileA("Z:\\proc\\self\\status", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    char text[4096] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    const char* line = strstr(text, "VmRSS:");
    return line ? std::atol(line + 6) : -1;
}

Counts Snapshot() {
    Counts c{};
    c.handles = HandleCount();
    c.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    c.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    c.windows = WindowsOfThisProcess();
    c.rssKb = ResidentKb();
    return c;
}

int Cycles(int count) {
    PlainIcon keeper(100);
    // One cycle first: one-time costs (loaded DLLs, caches) are not leaks.
    CreateLauncher();
    Pump(200);
    const Counts before = Snapshot();
    const double start = Now();
    for (int i = 0; i < count; ++i) {
        ComPtr<_Launcher> launcher = CreateLauncher();
        if (!launcher) {
            std::printf("error cycle %d\n", i);
            return 1;
        }
        Pump(0);
    }
    const double elapsed = Now() - start;
    Pump(500);
    const Counts after = Snapshot();
    std::printf("cycles %d\n", count);
    std::printf("cycle_mean_ms %.2f\n", elapsed / count);
    std::printf("handles_before %ld\nhandles_after %ld\n", before.handles, after.handles);
    std::printf("gdi_before %lu\ngdi_after %lu\n", before.gdi, after.gdi);
    std::printf("user_before %lu\nuser_after %lu\n", before.user, after.user);
    std::printf("windows_before %d\nwindows_after %d\n", before.windows, after.windows);
    std::printf("rss_kb_before %ld\nrss_kb_after %ld\n", before.rssKb, after.rssKb);
    // No object of ours and no tray form left: the DLL agrees to be unloaded.
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"qorIcon.dll"), "DllCanUnloadNow")));
    std::printf("dll_can_unload_now %s\n", canUnload && canUnload() == S_OK ? "S_OK" : "S_FALSE");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    const int n = std::atoi(argv[2]);
    int rc = 2;
    if (!lstrcmpA(argv[1], "baseline")) rc = Idle(n, IdleKind::Baseline);
    if (!lstrcmpA(argv[1], "timer100")) rc = Idle(n, IdleKind::Timer100);
    if (!lstrcmpA(argv[1], "idle")) rc = Idle(n, IdleKind::Launcher);
    if (!lstrcmpA(argv[1], "idle-after-dblclick")) rc = Idle(n, IdleKind::LauncherAfterDoubleClick);
    if (!lstrcmpA(argv[1], "startup")) rc = Startup(n);
    if (!lstrcmpA(argv[1], "cycles")) rc = Cycles(n);
    std::fflush(stdout);
    CoUninitialize();
    return rc;
}
