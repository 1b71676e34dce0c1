#include "windows/translator/CaptionTranslatorObject.h"

#include <string>

#include "core/common/Error.h"
#include "windows/com/ClassFactory.h"
#include "windows/com/Module.h"
#include "windows/com/Owners.h"
#include "windows/com/Text.h"
#include "windows/translator/CaptionText.h"

namespace qor::captions {

namespace {
constexpr const wchar_t* kSource = L"QORTranslate";

DISPID MemberId(IDispatch* form, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = form->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        throw QorError(err::kNoSuchMember, "The form has no member " + com::Narrow(name),
                       "QORTranslate");
    return id;
}

// Calls a property of the form; index < 0 means a property without index.
com::Variant GetProperty(IDispatch* form, DISPID id, long index) {
    VARIANTARG arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = index;
    DISPPARAMS params{index >= 0 ? &arg : nullptr, nullptr, index >= 0 ? 1u : 0u, 0};
    com::Variant result;
    com::ThrowIfFailed(form->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                    &params, result.Put(), nullptr, nullptr),
                       "Reading a caption of the form");
    return result;
}

void PutCaption(IDispatch* form, DISPID id, long index, const std::wstring& text) {
    com::Bstr value(text);
    VARIANTARG args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    V_VT(&args[0]) = VT_BSTR;  // the value comes first: arguments are in reverse order
    V_BSTR(&args[0]) = value.Get();
    V_VT(&args[1]) = VT_I4;
    V_I4(&args[1]) = index;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args, &named, 2, 1};
    com::ThrowIfFailed(form->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                    &params, nullptr, nullptr, nullptr),
                       "Setting a caption of the form");
}
}  // namespace

CaptionTranslatorObject::CaptionTranslatorObject() noexcept : language_(LanguageFromSettings()) {}

STDMETHODIMP CaptionTranslatorObject::Translate(BSTR* literal, BSTR* text) {
    if (!literal || !text) return E_POINTER;
    *text = nullptr;
    return com::Guard(__uuidof(ICaptionTranslator), kSource, [&] {
        std::wstring_view caption(*literal ? *literal : L"", SysStringLen(*literal));
        *text = com::Bstr(captions::Translate(com::Module::Handle(), language_, caption)).Release();
    });
}

STDMETHODIMP CaptionTranslatorObject::TranslateForm(IDispatch* form) {
    return com::Guard(__uuidof(ICaptionTranslator), kSource, [&] {
        if (!form) throw QorError(err::kObjectRequired, "Object required", "QORTranslate");
        const DISPID countId = MemberId(form, L"CaptionCount");
        const DISPID captionId = MemberId(form, L"Caption");
        com::Variant count = GetProperty(form, countId, -1);
        com::ThrowIfFailed(VariantChangeType(count.Get(), count.Get(), 0, VT_I4), "CaptionCount");
        for (long i = 0; i < V_I4(count.Get()); ++i) {
            com::Variant caption = GetProperty(form, captionId, i);
            if (FAILED(VariantChangeType(caption.Get(), caption.Get(), 0, VT_BSTR))) continue;
            BSTR raw = V_BSTR(caption.Get());
            std::wstring_view text(raw ? raw : L"", SysStringLen(raw));
            if (!ParseLiteral(text)) continue;  // only literals change
            PutCaption(form, captionId, i,
                       captions::Translate(com::Module::Handle(), language_, text));
        }
    });
}

HRESULT CreateCaptionTranslator(REFIID riid, void** out) noexcept {
    return com::CreateWithNew<CaptionTranslatorObject>(riid, out);
}

}  // namespace qor::captions
