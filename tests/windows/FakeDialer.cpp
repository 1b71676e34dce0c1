#include "FakeDialer.h"

#include <memory>

#include "windows/com/Automation.h"
#include "windows/com/Text.h"

namespace qortest {

void FakeObject::Property(const std::wstring& name, const VARIANT& value) {
    auto copy = std::make_shared<qor::com::Variant>();
    VariantCopy(copy->Put(), const_cast<VARIANT*>(&value));
    Method(name, [copy](DISPPARAMS&, VARIANT* result) {
        if (result) VariantCopy(result, copy->Get());
    });
}

void FakeObject::Text(const std::wstring& name, const wchar_t* text) {
    Property(name, *qor::com::MakeText(qor::com::Narrow(text)).Get());
}

void FakeObject::Number(const std::wstring& name, LONG number) {
    Property(name, *qor::com::MakeI4(number).Get());
}

void FakeObject::Object(const std::wstring& name, IDispatch* object) {
    Property(name, *qor::com::MakeDispatch(object).Get());
}

void FakeObject::Method(const std::wstring& name, Member member) {
    members_.emplace_back(name, std::move(member));
}

void FakeObject::Raise(DISPID id, std::vector<qor::com::Variant> args) {
    std::vector<VARIANT> refs;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        refs.push_back(qor::com::RefTo(it->Get()));
    DISPPARAMS params{refs.data(), nullptr, static_cast<UINT>(refs.size()), 0};
    events_.Fire(id, params);
}

STDMETHODIMP FakeObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (std::size_t m = 0; m < members_.size(); ++m)
            if (lstrcmpiW(members_[m].first.c_str(), names[i]) == 0) ids[i] = DISPID(m + 1);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP FakeObject::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO*, UINT*) {
    if (id < 1 || id > DISPID(members_.size())) return DISP_E_MEMBERNOTFOUND;
    if (result) VariantInit(result);
    calls.push_back(members_[id - 1].first);
    members_[id - 1].second(*params, result);
    return S_OK;
}

}  // namespace qortest
