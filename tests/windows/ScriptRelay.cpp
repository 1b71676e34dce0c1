// QorTest.Relay, a test server for script clients: Wine's script host cannot
// connect a script to an object's events, so Listen(source, handler) does it and
// calls handler.Heard(dispid, arguments...) for every event (a script function
// handler itself, when it has no Heard), with the arguments exactly as the source
// raised them. NewCall() gives a dialer call
// served through QorDial's type library, for the script to hand to the tray.

#include <windows.h>

#include <dispex.h>

#include <vector>

#include "TestSupport.h"
#include "windows/com/Automation.h"
#include "windows/com/EventSink.h"
#include "windows/com/Object.h"
#include "windows/com/ClassFactory.h"
#include "windows/com/Module.h"
#include "windows/com/Owners.h"
#include "windows/com/Text.h"

namespace {

using qor::com::ComPtr;

// {6E0B4C51-7A39-4D5E-9C11-5C2F0E8D4B21}
const CLSID kRelayClsid = {0x6e0b4c51, 0x7a39, 0x4d5e, {0x9c, 0x11, 0x5c, 0x2f, 0x0e, 0x8d, 0x4b, 0x21}};

class Relay final : public qor::com::ComObject<Relay, IDispatch> {
  public:
    void* Cast(REFIID riid) noexcept { return ComObject::Cast(riid); }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1) return DISP_E_UNKNOWNNAME;
        ids[0] = lstrcmpiW(names[0], L"Listen") == 0    ? 1
                 : lstrcmpiW(names[0], L"NewCall") == 0 ? 2
                                                        : DISPID_UNKNOWN;
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        if (id == 2) {
            if (!result) return E_POINTER;
            VariantInit(result);
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = qortest::MakeTest<qortest::TestCall>().Detach();
            return S_OK;
        }
        if (id != 1) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
        ComPtr<IDispatch> source = qor::com::DispatchOf(params->rgvarg[1]);
        ComPtr<IDispatch> handler = qor::com::DispatchOf(params->rgvarg[0]);
        if (!source || !handler) return E_INVALIDARG;
        return qor::com::Guard(IID_IDispatch, L"", [&] {
            connections_.push_back(qor::com::Connection::Connect(
                source.Get(), IID_NULL, [handler](DISPID event, qor::com::EventArgs& args) {
                    // The script function gets the event's id, then its arguments
                    // as they are (last first in DISPPARAMS, the id last of all).
                    std::vector<VARIANT> forwarded;
                    for (UINT i = args.Count(); i > 0; --i) forwarded.push_back(args[i - 1]);
                    VARIANT eventId;
                    VariantInit(&eventId);
                    V_VT(&eventId) = VT_I4;
                    V_I4(&eventId) = event;
                    forwarded.push_back(eventId);
                    DISPPARAMS call{forwarded.data(), nullptr,
                                    static_cast<UINT>(forwarded.size()), 0};
                    qor::com::Variant ignored;
                    // Script objects answer names through IDispatchEx (Wine's
                    // VBScript objects only there).
                    if (auto ex = handler.As<IDispatchEx>()) {
                        qor::com::Bstr name(L"Heard");
                        DISPID heard = DISPID_VALUE;
                        if (FAILED(ex->GetDispID(name.Get(), fdexNameCaseInsensitive, &heard)))
                            heard = DISPID_VALUE;
                        ex->InvokeEx(heard, 0, DISPATCH_METHOD, &call, ignored.Put(), nullptr,
                                     nullptr);
                        return;
                    }
                    handler->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &call,
                                    ignored.Put(), nullptr, nullptr);
                }));
        });
    }

  private:
    std::vector<qor::com::Connection> connections_;
};

qor::com::ClassFactory gRelayFactory(qor::com::CreateWithNew<Relay>);

// Its registration, written by hand: a test server with no type library of its own.
LSTATUS SetKey(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    qor::com::UniqueHkey key;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                     nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring ClsidKey() {
    return L"CLSID\\" + qor::com::GuidText(kRelayClsid);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) qor::com::Module::SetHandle(instance);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kRelayClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return gRelayFactory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() {
    return qor::com::Module::LockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    const std::wstring clsid = qor::com::GuidText(kRelayClsid);
    for (LSTATUS status :
         {SetKey(ClsidKey(), nullptr, L"Script event relay"),
          SetKey(ClsidKey() + L"\\InprocServer32", nullptr, qor::com::Module::Path()),
          SetKey(ClsidKey() + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
          SetKey(L"QorTest.Relay\\CLSID", nullptr, clsid)})
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    return S_OK;
}

STDAPI DllUnregisterServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClsidKey().c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, ClsidKey().c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"QorTest.Relay");
    RegDeleteKeyW(HKEY_CLASSES_ROOT, L"QorTest.Relay");
    return S_OK;
}
