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

FakeDialer::FakeDialer() {
    address->Text(L"Text", L"0301234567");
    call->Number(L"State", 1);  // ringing
    call->Number(L"ActionFlags", 1);
    call->Text(L"ExtensionEntryID", L"1");
    call->Number(L"RedialFlag", 0);
    call->Object(L"RemoteAddress", address.Get());
    call->Object(L"DialledAddress", address.Get());
    calls->Object(L"Item", call.Get());
    calls->Text(L"CurrentCallEntryID", L"");
    calls->Number(L"Count", 0);
    extension->Text(L"Number", L"201");
    extension->Text(L"LineName", L"Office");
    extension->Text(L"EntryID", L"1");
    extension->Object(L"Calls", calls.Get());
    extension->Method(L"Monitor", [](DISPPARAMS&, VARIANT*) {});
    extension->Method(L"CustomProperty", [](DISPPARAMS&, VARIANT*) {});
    for (const wchar_t* name :
         {L"ForwardImmediate", L"ForwardOnBusy", L"ForwardOnNoReply", L"ForwardDestination"})
        extension->Text(name, L"");
    extension->Property(L"ForwardingOn", *qor::com::MakeBool(false).Get());
    extension->Property(L"FollowMeOn", *qor::com::MakeBool(false).Get());
    extensions->Object(L"Item", extension.Get());
    extensions->Text(L"CurrentEntryID", L"1");
    extensions->Text(L"SecondEntryID", L"");
    session->Text(L"SessionKey", L"main");
    session->Object(L"Extensions", extensions.Get());
}

HRESULT StartTray(_Launcher* launcher, FakeDialer& dialer) {
    qor::com::Variant args[] = {qor::com::MakeDispatch(dialer.session.Get()), qor::com::MakeI4(1),
                                qor::com::MakeText("QORPhone")};
    VARIANT raw[] = {*args[0].Get(), *args[1].Get(), *args[2].Get()};
    try {
        qor::com::InvokeByName(launcher, L"addSession", DISPATCH_METHOD, raw);
    } catch (...) {
        return E_FAIL;
    }
    return launcher->Start();
}

}  // namespace qortest
