#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shellapi.h>

namespace qortest {

STDMETHODIMP RecordingSink::QueryInterface(REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, iid_)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) RecordingSink::Release() {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP RecordingSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) {
    Event event{id, {}, {}};
    for (UINT i = params->cArgs; i > 0; --i) {
        event.args.push_back(TextOf(params->rgvarg[i - 1]));
        event.types.push_back(V_VT(&params->rgvarg[i - 1]));
    }
    events.push_back(event);
    if (onEvent) onEvent(id, *params);
    return S_OK;
}

void PropertyBag::Set(const std::wstring& name, const std::wstring& text) {
    properties_.emplace_back(name, text);
}

STDMETHODIMP PropertyBag::QueryInterface(REFIID riid, void** out) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PropertyBag::Release() {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP PropertyBag::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (std::size_t p = 0; p < properties_.size(); ++p)
            if (lstrcmpiW(properties_[p].first.c_str(), names[i]) == 0) ids[i] = DISPID(p + 1);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP PropertyBag::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                 EXCEPINFO*, UINT*) {
    if (id < 1 || id > DISPID(properties_.size())) return DISP_E_MEMBERNOTFOUND;
    if (result) {
        VariantInit(result);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(properties_[id - 1].second.c_str());
    }
    return S_OK;
}

std::wstring TextOf(const VARIANT& value) {
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
        const VARIANT* inner = &value;
        if (V_VT(inner) == (VT_BYREF | VT_VARIANT)) inner = V_VARIANTREF(inner);
        if (V_VT(inner) == VT_DISPATCH) return V_DISPATCH(inner) ? L"<object>" : L"<nothing>";
        if (V_VT(inner) == (VT_BYREF | VT_DISPATCH))
            return *V_DISPATCHREF(inner) ? L"<object>" : L"<nothing>";
        return L"<?>";
    }
    std::wstring result(V_BSTR(&text) ? V_BSTR(&text) : L"");
    VariantClear(&text);
    return result;
}

std::wstring LastErrorDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info) return L"";
    qor::com::Bstr description;
    info->GetDescription(description.Put());
    return description.Wide();
}

HRESULT Advise(IUnknown* source, REFIID iid, IUnknown* sink, DWORD* cookie) {
    auto container = ComPtr<IUnknown>(source).As<IConnectionPointContainer>();
    if (!container) return E_NOINTERFACE;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container->FindConnectionPoint(iid, point.Put());
    return FAILED(hr) ? hr : point->Advise(sink, cookie);
}

HRESULT Unadvise(IUnknown* source, REFIID iid, DWORD cookie) {
    auto container = ComPtr<IUnknown>(source).As<IConnectionPointContainer>();
    if (!container) return E_NOINTERFACE;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container->FindConnectionPoint(iid, point.Put());
    return FAILED(hr) ? hr : point->Unadvise(cookie);
}

void Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace qortest

// Removing the last icon of Wine's stand-alone tray stalls for seconds: the tests
// keep one icon of their own for the whole run.
namespace {
class TrayKeeper {
  public:
    TrayKeeper() {
        window_ = CreateWindowExW(0, L"STATIC", L"keeper", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
        data_.cbSize = sizeof data_;
        data_.hWnd = window_;
        data_.uID = 1;
        data_.uFlags = NIF_ICON | NIF_TIP;
        data_.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        lstrcpyW(data_.szTip, L"test keeper");
        Shell_NotifyIconW(NIM_ADD, &data_);
    }
    ~TrayKeeper() {
        Shell_NotifyIconW(NIM_DELETE, &data_);
        DestroyWindow(window_);
    }

  private:
    HWND window_;
    NOTIFYICONDATAW data_{};
};
}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int result;
    {
        TrayKeeper keeper;
        result = RUN_ALL_TESTS();
    }
    CoUninitialize();
    return result;
}
