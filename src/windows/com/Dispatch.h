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

#include <vector>

#include "windows/com/ComPtr.h"
#include "windows/com/Errors.h"
#include "windows/com/Object.h"
#include "windows/com/TypeLib.h"

namespace qor::com {

// The arguments to hand ITypeInfo::Invoke for member `id` called as `flags`.
// Fails with DISP_E_BADPARAMCOUNT (too many) or DISP_E_PARAMNOTOPTIONAL (a
// required one missing): Invoke must never see a wrong count, some automation
// libraries read past the caller's arguments and crash the host. A VARIANT
// reference (how VBScript passes a variable) to a typed by-reference parameter
// becomes a reference to the value in it, so the callee changes that variable.
HRESULT PrepareArguments(ITypeInfo* info, DISPID id, WORD flags, const DISPPARAMS& params,
                         std::vector<VARIANTARG>& args) noexcept;

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
        if (!params) return E_INVALIDARG;
        std::vector<VARIANTARG> args;
        hr = PrepareArguments(info.Get(), id, flags, *params, args);
        if (FAILED(hr)) return hr;
        DISPPARAMS prepared = *params;
        prepared.rgvarg = args.empty() ? nullptr : args.data();
        // Nothing is thrown below: ITypeInfo::Invoke calls our guarded vtable methods.
        return info->Invoke(static_cast<Dual*>(this), id, flags, &prepared, result, excep,
                            argErr);
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
