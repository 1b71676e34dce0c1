#pragma once
// A COM class with a dual interface whose IDispatch half is served from the
// module's type library: names, dispatch ids, argument coercion and by-reference
// arguments are all ITypeInfo's work, so the IDL stays the single source of truth.
// It also answers ISupportErrorInfo for its dual interface, so the error info set
// by Guard reaches clients that call through the vtable.
//
//   class Foo : public DispatchObject<Foo, IFoo, IConnectionPointContainer> { ... };

#include <oaidl.h>
#include <ocidl.h>

#include "windows/com/ComPtr.h"
#include "windows/com/Errors.h"
#include "windows/com/Object.h"
#include "windows/com/TypeLib.h"

namespace qor::com {

template <class Derived, class Dual, class... Others>
class DispatchObject : public ComObject<Derived, Dual, ISupportErrorInfo, Others...> {
    using Base = ComObject<Derived, Dual, ISupportErrorInfo, Others...>;

  public:
    void* Cast(REFIID riid) noexcept {
        if (IsEqualIID(riid, IID_IDispatch)) return static_cast<Dual*>(this);
        return Base::Cast(riid);
    }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return Guard(__uuidof(Dual), L"",
                     [&] { return TypeLib::Info(__uuidof(Dual)).CopyTo(info); });
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        return Guard(__uuidof(Dual), L"", [&] {
            return TypeLib::Info(__uuidof(Dual))->GetIDsOfNames(names, count, ids);
        });
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        HRESULT hr = Guard(__uuidof(Dual), L"", [&] { info = TypeLib::Info(__uuidof(Dual)); });
        if (FAILED(hr)) return hr;
        // Nothing is thrown below: ITypeInfo::Invoke calls our guarded vtable methods.
        return info->Invoke(static_cast<Dual*>(this), id, flags, params, result, excep, argErr);
    }

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return IsEqualIID(riid, __uuidof(Dual)) ? S_OK : S_FALSE;
    }
};

// The coclass type info, for IProvideClassInfo::GetClassInfo.
inline HRESULT ClassInfoOf(REFCLSID clsid, ITypeInfo** info) noexcept {
    if (!info) return E_POINTER;
    *info = nullptr;
    return Guard(__uuidof(IProvideClassInfo), L"",
                 [&] { return TypeLib::Info(clsid).CopyTo(info); });
}

}  // namespace qor::com
