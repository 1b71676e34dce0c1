// Measurements of qorIcon.dll under Wine (not a test: numbers for the performance
// notes). Modes:
//   idle <seconds>     holds a started Launcher and only pumps messages; the harness
//                      counts the process's wake-ups meanwhile. Also "baseline"
//                      (nothing), "timer100" (a 100 ms timer of its own) and
//                      "idle-after-dblclick" (after a double click on the icon)
//   startup <runs>     time from CoCreateInstance(Launcher) to its icon in the
//                      notification area, beside a bare Shell_NotifyIcon program,
//                      all in one process (the modules stay loaded after the first)
//   first-icon launcher|floor   in a fresh process: time from CoCreateInstance to
//                      the icon, for the Launcher or for the floor server
//                      (qorfloor.dll: a window and one icon, nothing else); the
//                      harness alternates the two and takes the medians
//   stages <qorIcon.dll path>  in a fresh process: what the Launcher's start-up is made of,
//                      step by step through the outside parts as the form uses
//                      them (each server's first creation, the pictures, the icon)
//   load <dll...>      in a fresh process: the time LoadLibrary takes for each
//   keeper <seconds>   keeps an icon of its own in the tray (removing the last icon
//                      stalls for seconds) and only pumps messages
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

struct WindowCount {
    DWORD pid;
    int count;
};

// A named callback: a lambda converts only to the default calling
// convention, which on x86 is not the one EnumWindows calls.
BOOL CALLBACK CountWindowOfProcess(HWND window, LPARAM param) {
    auto* c = reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == c->pid) ++c->count;
    return TRUE;
}

int WindowsOfThisProcess() {
    WindowCount ctx{GetCurrentProcessId(), 0};
    EnumWindows(CountWindowOfProcess, reinterpret_cast<LPARAM>(&ctx));
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

// {6B1C8E52-93F4-4B7A-9E21-3D5A0C7F4E18}, served by FloorServer.cpp.
constexpr CLSID kFloorClsid = {
    0x6b1c8e52, 0x93f4, 0x4b7a, {0x9e, 0x21, 0x3d, 0x5a, 0x0c, 0x7f, 0x4e, 0x18}};

// Watches the tray from a thread of its own while the creating thread is busy:
// the moment the shell shows one icon more than `base`.
class IconWatch {
  public:
    explicit IconWatch(int base) : base_(base) {
        thread_ = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~IconWatch() {
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    IconWatch(const IconWatch&) = delete;
    IconWatch& operator=(const IconWatch&) = delete;
    // When the icon came (Now() units), -1 when it did not within `ms`.
    double WaitFor(DWORD ms) {
        WaitForSingleObject(thread_, ms);
        return seen_;
    }

  private:
    static DWORD WINAPI Run(void* self) {
        auto& watch = *static_cast<IconWatch*>(self);
        while (!watch.stop_) {
            if (TrayIconCount() > watch.base_) {
                watch.seen_ = Now();
                return 0;
            }
            Sleep(1);
        }
        return 0;
    }
    int base_;
    volatile bool stop_ = false;
    volatile double seen_ = -1;
    HANDLE thread_ = nullptr;
};

// One creation in a process that has loaded none of the servers yet: what a client
// pays when it starts. Prints the time until the shell shows the icon (watched
// from another thread) and until the creation returns, in milliseconds.
int FirstIcon(const char* which) {
    const bool floor = !lstrcmpA(which, "floor");
    IconWatch watch(TrayIconCount());
    OutputDebugStringA("first-icon: creating\n");  // a mark for WINEDEBUG=+timestamp,+debugstr
    const double start = Now();
    ComPtr<IUnknown> object;
    const HRESULT hr = CoCreateInstance(floor ? kFloorClsid : CLSID_Launcher, nullptr,
                                        CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid());
    const double created = Now() - start;
    OutputDebugStringA("first-icon: created\n");
    if (FAILED(hr)) {
        std::printf("error 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    const double seen = watch.WaitFor(10000);
    const double shown = seen < 0 ? -1 : seen - start;
    std::printf("first_icon_%s_ms %.2f\ncreated_%s_ms %.2f\n", which, shown, which, created);
    object = nullptr;
    Pump(50);
    return shown < 0;
}

// Calls `name` on `object` with the arguments in their natural order.
HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args = nullptr,
                   UINT count = 0, VARIANT* result = nullptr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args, args + count);
    std::reverse(reversed.begin(), reversed.end());
    DISPID put = DISPID_PROPERTYPUT;
    const bool isPut = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{reversed.data(), isPut ? &put : nullptr, count, isPut ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                          nullptr);
}

ComPtr<IDispatch> CreateByName(const wchar_t* progId) {
    CLSID clsid{};
    ComPtr<IDispatch> object;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid());
    return object;
}

// The Launcher's start-up taken apart: the steps the form takes up to its icon,
// each timed on its own, in the order the form takes them.
int Stages(const char* qorIconPath) {
    double mark = Now();
    auto stage = [&mark](const char* name) {
        const double now = Now();
        std::printf("stage_%s_ms %.2f\n", name, now - mark);
        mark = now;
    };
    HMODULE qorIcon = LoadLibraryA(qorIconPath);
    stage("load_qoricon");
    // The control's window is the thread's first, which every client pays, the
    // floor included.
    ComPtr<IDispatch> tray = CreateByName(L"TrayIconCtl.TrayIcon");
    stage("create_tray_control_and_first_window");
    ComPtr<IDispatch> logger = CreateByName(L"QORLog.Logger");
    stage("create_logger");
    ComPtr<IDispatch> icons = CreateByName(L"QORIcons.Icons");
    stage("create_icon_library");
    const short ids[] = {1010,  10021, 10022, 10011, 10051, 10052, 10053, 10031, 10032,
                         10041, 10061, 10071, 1661,  10091, 10101, 10081, 10111, 10112};
    std::vector<VARIANT> pictures(std::size(ids));
    for (size_t i = 0; i < std::size(ids); ++i) {
        short id = ids[i];
        VARIANT arg;
        VariantInit(&arg);
        V_VT(&arg) = VT_BYREF | VT_I2;
        V_I2REF(&arg) = &id;
        VariantInit(&pictures[i]);
        if (icons) CallByName(icons.Get(), L"GetIcon", DISPATCH_METHOD, &arg, 1, &pictures[i]);
        // The first call reads what every later one shares: the icon library's type
        // library and the standard OLE types (which the component reads ahead on a
        // worker thread while it loads its parts; this program does not).
        if (i == 0) stage("get_first_picture");
    }
    stage("get_17_more_pictures");
    VARIANT index, item;
    VariantInit(&index);
    VariantInit(&item);
    V_VT(&index) = VT_I2;
    V_I2(&index) = 1;
    if (tray) CallByName(tray.Get(), L"Item", DISPATCH_PROPERTYGET, &index, 1, &item);
    const int base = TrayIconCount();
    if (V_VT(&item) == VT_DISPATCH && V_DISPATCH(&item)) {
        VARIANT yes;
        VariantInit(&yes);
        V_VT(&yes) = VT_BOOL;
        V_BOOL(&yes) = VARIANT_TRUE;
        CallByName(V_DISPATCH(&item), L"Icon", DISPATCH_PROPERTYPUTREF, &pictures[2], 1);
        stage("put_icon");
        CallByName(V_DISPATCH(&item), L"Visible", DISPATCH_PROPERTYPUT, &yes, 1);
    }
    WaitForIcons(base + 1, Now());
    stage("show_icon");
    // The form makes its own window once the icon is shown.
    HWND form = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                nullptr);
    stage("form_window");
    ComPtr<IDispatch> strings = CreateByName(L"QORIcons.StringTable");
    ComPtr<IDispatch> translator = CreateByName(L"QORTranslate.CaptionTranslator");
    stage("create_translators");
    for (VARIANT& picture : pictures) VariantClear(&picture);
    VariantClear(&item);
    tray = nullptr;
    Pump(50);
    DestroyWindow(form);
    if (qorIcon) FreeLibrary(qorIcon);
    return 0;
}

// Loading modules alone, in the order given: what each costs the process.
int Load(int count, char** paths) {
    for (int i = 0; i < count; ++i) {
        const double start = Now();
        const HMODULE module = LoadLibraryA(paths[i]);
        std::printf("load_ms %s %.3f%s\n", paths[i], Now() - start, module ? "" : " failed");
    }
    return 0;
}

int Keeper(int seconds) {
    PlainIcon keeper(100);
    std::printf("ready\n");
    std::fflush(stdout);
    Pump(DWORD(seconds) * 1000);
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
    if (!lstrcmpA(argv[1], "first-icon")) rc = FirstIcon(argv[2]);
    if (!lstrcmpA(argv[1], "keeper")) rc = Keeper(n);
    if (!lstrcmpA(argv[1], "stages")) rc = Stages(argv[2]);
    if (!lstrcmpA(argv[1], "load")) rc = Load(argc - 2, argv + 2);
    std::fflush(stdout);
    CoUninitialize();
    return rc;
}
