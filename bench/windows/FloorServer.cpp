// The floor of the start-up measurement: the least an in-process COM server can do
// to put an icon in the notification area. Creating its one class makes a hidden
// window and adds one icon; releasing the object removes both. Nothing else: no
// type library, no runtime of ours, no outside parts. Measure.cpp times it beside
// the Launcher.

#include <windows.h>

#include <olectl.h>
#include <shellapi.h>

#include <new>

namespace {

// {6B1C8E52-93F4-4B7A-9E21-3D5A0C7F4E18}
constexpr CLSID kFloorClsid = {
    0x6b1c8e52, 0x93f4, 0x4b7a, {0x9e, 0x21, 0x3d, 0x5a, 0x0c, 0x7f, 0x4e, 0x18}};
constexpr wchar_t kClsidKey[] = L"CLSID\\{6B1C8E52-93F4-4B7A-9E21-3D5A0C7F4E18}";
constexpr wchar_t kWindowClass[] = L"QorFloorIconWindow";

HMODULE gModule = nullptr;
LONG gObjects = 0;

class FloorIcon final : public IUnknown {
  public:
    FloorIcon() {
        InterlockedIncrement(&gObjects);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = gModule;
        windowClass.lpszClassName = kWindowClass;
        RegisterClassExW(&windowClass);
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, gModule, nullptr);
        data_.cbSize = sizeof(data_);
        data_.hWnd = window_;
        data_.uID = 1;
        data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data_.uCallbackMessage = WM_APP + 1;
        data_.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
        lstrcpyW(data_.szTip, L"floor");
        Shell_NotifyIconW(NIM_ADD, &data_);
    }
    ~FloorIcon() {
        Shell_NotifyIconW(NIM_DELETE, &data_);
        DestroyWindow(window_);
        InterlockedDecrement(&gObjects);
    }
    FloorIcon(const FloorIcon&) = delete;
    FloorIcon& operator=(const FloorIcon&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = IsEqualIID(riid, IID_IUnknown) ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

  private:
    LONG references_ = 1;
    HWND window_ = nullptr;
    NOTIFYICONDATAW data_{};
};

class Factory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out =
            IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) FloorIcon();
        if (!object) return E_OUTOFMEMORY;
        const HRESULT hr = object->QueryInterface(riid, out);
        object->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

Factory gFactory;

LSTATUS SetText(HKEY key, const wchar_t* name, const wchar_t* text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t)));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kFloorClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() {
    return gObjects == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(gModule, path, MAX_PATH)) return E_FAIL;
    wchar_t subkey[96];
    lstrcpyW(subkey, kClsidKey);
    lstrcatW(subkey, L"\\InprocServer32");
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    const bool ok = SetText(key, nullptr, path) == ERROR_SUCCESS &&
                    SetText(key, L"ThreadingModel", L"Apartment") == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClsidKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
