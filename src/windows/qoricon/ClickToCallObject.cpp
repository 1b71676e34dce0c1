// ClickToCall: the scripting object; safe for scripting through IObjectSafety,
// whose fixed answers come from basSafeCtl.

#include <objsafe.h>

#include "core/clicktocall/ClickToCall.h"
#include "core/clicktocall/SafeCtl.h"
#include "windows/com/ClassFactory.h"
#include "windows/com/Dispatch.h"
#include "windows/com/Text.h"
#include "windows/platform/Win32Platform.h"
#include "windows/qoricon/Objects.h"
#include "windows/qoricon/ProcessRuntime.h"

// mingw-w64's objsafe.h declares the interface without its __uuidof.
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0,
                0x64)

namespace qor::win {

namespace {

class ClickToCallObject final
    : public com::DispatchObject<ClickToCallObject, _ClickToCall, IObjectSafety> {
  public:
    ClickToCallObject() : core_(ProcessPlatform()) {}

    STDMETHODIMP ExecuteCommand(BSTR strCommand, BSTR strParams, BSTR* result) override {
        return Run([&] {
            if (!result) return E_POINTER;
            *result = com::AllocBstr(
                core_.ExecuteCommand(com::FromBstr(strCommand), com::FromBstr(strParams)));
            return S_OK;
        });
    }
    STDMETHODIMP CallEdn(BSTR EDN, BSTR FirstName, BSTR LastName) override {
        return Run([&] {
            core_.CallEdn(com::FromBstr(EDN), com::FromBstr(FirstName), com::FromBstr(LastName));
        });
    }
    STDMETHODIMP get_AppConnectivity(::ConnectivityMode* mode) override {
        return Run([&] {
            if (!mode) return E_POINTER;
            *mode = static_cast<::ConnectivityMode>(core_.AppConnectivity());
            return S_OK;
        });
    }
    STDMETHODIMP get_AppEdn(BSTR* edn) override {
        return Run([&] {
            if (!edn) return E_POINTER;
            *edn = com::AllocBstr(core_.AppEdn());
            return S_OK;
        });
    }
    STDMETHODIMP get_AppConnected(VARIANT_BOOL* connected) override {
        return Run([&] {
            if (!connected) return E_POINTER;
            *connected = core_.AppConnected() ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        });
    }
    STDMETHODIMP get_AppRunning(VARIANT_BOOL* running) override {
        return Run([&] {
            if (!running) return E_POINTER;
            *running = core_.AppRunning() ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        });
    }

    // IObjectSafety: the interface id goes to basSafeCtl by address, as the
    // automation caller handed it to us.
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override {
        if (!supported || !enabled) return E_POINTER;
        std::uint32_t s = *supported, e = *enabled;
        const std::int32_t hr = basSafeCtl::GetInterfaceSafetyOptions(&riid, &s, &e);
        *supported = s;
        *enabled = e;
        return hr;
    }
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override {
        return basSafeCtl::SetInterfaceSafetyOptions(&riid, mask, enabled);
    }

  private:
    template <class F>
    HRESULT Run(F&& body) noexcept {
        return com::Guard(IID__ClickToCall, kSource, body);
    }

    ClickToCall core_;
};

}  // namespace

HRESULT CreateClickToCall(REFIID riid, void** out) noexcept {
    return com::CreateWithNew<ClickToCallObject>(riid, out);
}

}  // namespace qor::win
