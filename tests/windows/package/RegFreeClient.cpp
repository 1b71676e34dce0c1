// A client that carries qorIcon in its own folder with no registration at all:
// its application manifest names the modules' side-by-side assemblies. It creates
// the classes by CLSID and by ProgID, starts the tray and looks for the icon.
// Prints one line per check and "RESULT ok" when all passed.

#include <windows.h>

#include <cstdio>

#include "qorIcon.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what, HRESULT hr = S_OK) {
    std::printf("%s %s (0x%08lX)\n", ok ? "ok  " : "FAIL", what, static_cast<unsigned long>(hr));
    if (!ok) ++failures;
}

int ShellIcons() {
    int count = 0;
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    for (HWND child = nullptr;
         tray && (child = FindWindowExW(tray, child, L"__winex11_tray_icon", nullptr));)
        ++count;
    return count;
}

void Pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(20);
    }
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    {
        // The activation context answers a ProgID with an alias of the class's
        // CLSID, which creation then resolves: check the pair, not the GUID.
        CLSID clsid{};
        HRESULT hr = CLSIDFromProgID(L"qorIcon.ClickToCall", &clsid);
        Check(SUCCEEDED(hr), "ProgID known from the manifest", hr);
        IDispatch* clickToCall = nullptr;
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&clickToCall));
        Check(SUCCEEDED(hr), "ClickToCall created by ProgID", hr);
        if (clickToCall) clickToCall->Release();

        const int before = ShellIcons();
        _Launcher* launcher = nullptr;
        hr = CoCreateInstance(CLSID_Launcher, nullptr, CLSCTX_INPROC_SERVER, IID__Launcher,
                              reinterpret_cast<void**>(&launcher));
        // Creating the Launcher loads the tray form, which creates the tray icon
        // control, the icon library and the rest by ProgID: the manifests serve them.
        Check(SUCCEEDED(hr), "Launcher created (the parts by ProgID inside it)", hr);
        if (launcher) {
            for (int i = 0; i < 30 && ShellIcons() <= before; ++i) Pump(100);
            Check(ShellIcons() == before + 1, "the icon is in the tray");
            launcher->Release();
        }
    }
    CoUninitialize();
    std::printf("RESULT %s\n", failures == 0 ? "ok" : "failed");
    return failures == 0 ? 0 : 1;
}
