#include "windows/com/Automation.h"

#include <vector>

#include "core/common/Error.h"
#include "windows/com/Errors.h"
#include "windows/com/ServerDiagnosis.h"
#include "windows/com/Text.h"

namespace qor::com {

namespace {

[[noreturn]] void RaiseFromCall(HRESULT hr, EXCEPINFO& excep, const std::wstring& what) {
    // Deferred fill-in: some servers describe the error only on request.
    if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
    Bstr description(excep.bstrDescription), source(excep.bstrSource), help(excep.bstrHelpFile);
    std::int32_t number;
    if (hr == DISP_E_EXCEPTION) {
        number = excep.scode ? ErrorNumberFromHResult(excep.scode) : excep.wCode;
    } else {
        number = ErrorNumberFromHResult(hr);
    }
    std::string text = Narrow(description.Wide());
    if (text.empty()) {
        char buffer[128];
        wsprintfA(
            buffer, "%s failed (0x%08lX)", Narrow(what).c_str(),
            static_cast<unsigned long>(hr == DISP_E_EXCEPTION && excep.scode ? excep.scode : hr));
        text = buffer;
    }
    throw qor::QorError(number, std::move(text), Narrow(source.Wide()));
}

VARIANT Copied(const VARIANT& value) {
    VARIANT result;
    VariantInit(&result);
    ThrowIfFailed(VariantCopyInd(&result, const_cast<VARIANT*>(&value)), "VariantCopyInd");
    return result;
}

Variant Converted(const VARIANT& value, VARTYPE type) {
    Variant result;
    const HRESULT hr = VariantChangeType(result.Put(), const_cast<VARIANT*>(&value), 0, type);
    if (FAILED(hr)) {
        throw qor::QorError(hr == DISP_E_OVERFLOW ? qor::err::kOverflow : qor::err::kTypeMismatch,
                            hr == DISP_E_OVERFLOW ? "Overflow" : "Type mismatch");
    }
    return result;
}

const VARIANT& Followed(const VARIANT& value) {
    // VARIANT references (what script engines and our events pass) hold the value one
    // level down; typed references are handled by VariantChangeType itself.
    if (V_VT(&value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&value))
        return *V_VARIANTREF(&value);
    return value;
}

}  // namespace

DISPID IdOfName(IDispatch* object, const wchar_t* name) {
    if (!object)
        throw qor::QorError(qor::err::kObjectNotSet,
                            "Object variable or With block variable not set");
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        throw qor::QorError(
            qor::err::kNoSuchMember,
            "Object doesn't support this property or method (" + Narrow(name) + ")");
    return id;
}

Variant InvokeById(IDispatch* object, DISPID id, WORD flags, std::span<VARIANT> args) {
    if (!object)
        throw qor::QorError(qor::err::kObjectNotSet,
                            "Object variable or With block variable not set");
    std::vector<VARIANTARG> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    Variant result;
    EXCEPINFO excep{};
    UINT argErr = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      result.Put(), &excep, &argErr);
    if (FAILED(hr)) {
        wchar_t what[32];
        wsprintfW(what, L"member %ld", static_cast<long>(id));
        RaiseFromCall(hr, excep, what);
    }
    return result;
}

DISPID NamedDispatch::IdOf(const wchar_t* name) {
    for (const auto& [known, id] : ids_)
        if (known == name) return id;
    const DISPID id = IdOfName(object_.Get(), name);
    ids_.emplace_back(name, id);
    return id;
}

Variant InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, std::span<VARIANT> args) {
    return InvokeById(object, IdOfName(object, name), flags, args);
}

void PutById(IDispatch* object, DISPID id, VARIANT value, bool byReference) {
    InvokeById(object, id, byReference ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT,
               std::span<VARIANT>(&value, 1));
}

void PutByName(IDispatch* object, const wchar_t* name, VARIANT value, bool byReference) {
    PutById(object, IdOfName(object, name), value, byReference);
}

Variant MakeText(std::string_view text) {
    Variant v;
    V_VT(v.Put()) = VT_BSTR;
    V_BSTR(v.Get()) = AllocBstr(text);
    return v;
}

Variant MakeI2(std::int16_t value) {
    Variant v;
    V_VT(v.Put()) = VT_I2;
    V_I2(v.Get()) = value;
    return v;
}

Variant MakeI4(std::int32_t value) {
    Variant v;
    V_VT(v.Put()) = VT_I4;
    V_I4(v.Get()) = value;
    return v;
}

Variant MakeBool(bool value) {
    Variant v;
    V_VT(v.Put()) = VT_BOOL;
    V_BOOL(v.Get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant MakeDispatch(IDispatch* object) {
    Variant v;
    V_VT(v.Put()) = VT_DISPATCH;
    V_DISPATCH(v.Get()) = object;
    if (object) object->AddRef();
    return v;
}

VARIANT RefTo(VARIANT* target) noexcept {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target;
    return v;
}

VARIANT RefTo(BSTR* target) noexcept {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&v) = target;
    return v;
}

VARIANT RefTo(IDispatch** target) noexcept {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&v) = target;
    return v;
}

VARIANT RefTo(std::int16_t* target) noexcept {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_I2;
    V_I2REF(&v) = target;
    return v;
}

VARIANT RefTo(std::int32_t* target) noexcept {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_I4;
    V_I4REF(&v) = reinterpret_cast<LONG*>(target);
    return v;
}

std::string TextOf(const VARIANT& value) {
    const VARIANT& v = Followed(value);
    if (V_VT(&v) == VT_BSTR) return FromBstr(V_BSTR(&v));
    if (V_VT(&v) == VT_EMPTY) return {};
    if (V_VT(&v) == VT_BOOL || V_VT(&v) == (VT_BYREF | VT_BOOL)) {
        const VARIANT_BOOL b = V_VT(&v) == VT_BOOL ? V_BOOL(&v) : *V_BOOLREF(&v);
        return b ? "True" : "False";
    }
    Variant text = Converted(v, VT_BSTR);
    return FromBstr(V_BSTR(text.Get()));
}

std::int16_t Int16Of(const VARIANT& value) {
    return V_I2(Converted(Followed(value), VT_I2).Get());
}
std::int32_t Int32Of(const VARIANT& value) {
    return V_I4(Converted(Followed(value), VT_I4).Get());
}
float FloatOf(const VARIANT& value) {
    return V_R4(Converted(Followed(value), VT_R4).Get());
}
bool BoolOf(const VARIANT& value) {
    return V_BOOL(Converted(Followed(value), VT_BOOL).Get()) != VARIANT_FALSE;
}

ComPtr<IDispatch> DispatchOf(const VARIANT& value) {
    const VARIANT& v = Followed(value);
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL:
            return nullptr;
        case VT_DISPATCH:
            return ComPtr<IDispatch>(V_DISPATCH(&v));
        case VT_BYREF | VT_DISPATCH:
            return V_DISPATCHREF(&v) ? ComPtr<IDispatch>(*V_DISPATCHREF(&v)) : nullptr;
        case VT_UNKNOWN:
            return V_UNKNOWN(&v) ? ComPtr<IUnknown>(V_UNKNOWN(&v)).As<IDispatch>() : nullptr;
        default:
            throw qor::QorError(qor::err::kObjectRequired, "Object required");
    }
}

void WriteBack(VARIANT& argument, const VARIANT& value) {
    if (!(V_VT(&argument) & VT_BYREF)) return;
    if (V_VT(&argument) == (VT_BYREF | VT_VARIANT)) {
        VARIANT copy = Copied(value);
        VariantClear(V_VARIANTREF(&argument));
        *V_VARIANTREF(&argument) = copy;
        return;
    }
    const VARTYPE target = V_VT(&argument) & ~VT_BYREF;
    Variant converted = Converted(value, target);
    switch (target) {
        case VT_I2:
            *V_I2REF(&argument) = V_I2(converted.Get());
            break;
        case VT_I4:
            *V_I4REF(&argument) = V_I4(converted.Get());
            break;
        case VT_R4:
            *V_R4REF(&argument) = V_R4(converted.Get());
            break;
        case VT_R8:
            *V_R8REF(&argument) = V_R8(converted.Get());
            break;
        case VT_BOOL:
            *V_BOOLREF(&argument) = V_BOOL(converted.Get());
            break;
        case VT_BSTR:
            SysFreeString(*V_BSTRREF(&argument));
            *V_BSTRREF(&argument) = V_BSTR(converted.Get());
            V_VT(converted.Get()) = VT_EMPTY;  // ownership moved into the argument
            break;
        case VT_DISPATCH:
            if (*V_DISPATCHREF(&argument)) (*V_DISPATCHREF(&argument))->Release();
            *V_DISPATCHREF(&argument) = V_DISPATCH(converted.Get());
            V_VT(converted.Get()) = VT_EMPTY;
            break;
        default:
            throw qor::QorError(qor::err::kTypeMismatch, "Type mismatch");
    }
}

void Assign(VARIANT& target, const VARIANT& value) {
    if (V_VT(&target) & VT_BYREF) {
        WriteBack(target, value);
        return;
    }
    VARIANT copy = Copied(value);
    VariantClear(&target);
    target = copy;
}

ComPtr<IDispatch> CreateByProgId(const wchar_t* progId, const char* what) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, object.PutVoid());
    if (SUCCEEDED(hr)) return object;
    if (!what)
        throw qor::QorError(qor::err::kCannotCreateObject,
                            "ActiveX component can't create object (" + Narrow(progId) + ")");
    const std::string line =
        std::string(what) + " (" + Narrow(progId) + ") " + WhyCannotCreate(progId, hr);
    OutputDebugStringA((line + "\r\n").c_str());
    throw qor::QorError(qor::err::kCannotCreateObject, line);
}

}  // namespace qor::com
