// The outside parts as the component calls them: between the component and the
// real icon library, string table, caption translator and logging component stands
// a recorder (a class object of this process, registered for their classes), which
// notes every member name looked up and every call with its arguments.
//
// Runs in a process of its own (wine.outside): the translator and the logging
// component are created once per process, at the first form load.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FakeDialer.h"
#include "QorDial.h"
#include "TestSupport.h"
#include "qorIcon.h"
#include "windows/com/Automation.h"
#include "windows/com/Text.h"

using namespace qortest;

namespace {

// One outside object behind its recorder.
class RecordingProxy final : public IDispatch {
  public:
    struct Call {
        DISPID id;
        std::vector<std::wstring> args;  // first argument first, as text
    };
    explicit RecordingProxy(ComPtr<IDispatch> inner) : inner_(std::move(inner)) {}

    std::map<std::wstring, int> lookups;  // name -> times looked up
    std::map<DISPID, std::wstring> names;
    std::vector<Call> calls;

    // The calls of member `name`, in order.
    std::vector<Call> CallsOf(const std::wstring& name) const {
        std::vector<Call> found;
        for (const Call& call : calls)
            if (names.count(call.id) && names.at(call.id) == name) found.push_back(call);
        return found;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(riid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    STDMETHODIMP GetTypeInfo(UINT i, LCID lcid, ITypeInfo** info) override {
        return inner_->GetTypeInfo(i, lcid, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* asked, UINT count, LCID lcid,
                               DISPID* ids) override {
        const HRESULT hr = inner_->GetIDsOfNames(riid, asked, count, lcid, ids);
        for (UINT i = 0; i < count; ++i) {
            ++lookups[asked[i]];
            if (SUCCEEDED(hr)) names[ids[i]] = asked[i];
        }
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        Call call{id, {}};
        for (UINT i = params->cArgs; i > 0; --i) call.args.push_back(TextOf(params->rgvarg[i - 1]));
        calls.push_back(std::move(call));
        return inner_->Invoke(id, riid, lcid, flags, params, result, excep, argErr);
    }

  private:
    ~RecordingProxy() = default;
    ComPtr<IDispatch> inner_;
    ULONG refs_ = 1;
};

// Takes over creation of one class in this process: each object is the real one
// (from the real class object) behind a recorder.
class RecordingFactory final : public IClassFactory {
  public:
    explicit RecordingFactory(const wchar_t* progId) {
        CLSID clsid{};
        EXPECT_EQ(S_OK, CLSIDFromProgID(progId, &clsid)) << progId;
        EXPECT_EQ(S_OK, CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                         real_.PutVoid()))
            << progId;
        EXPECT_EQ(S_OK, CoRegisterClassObject(clsid, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                              &cookie_))
            << progId;
    }
    ~RecordingFactory() {
        if (cookie_) CoRevokeClassObject(cookie_);
        for (RecordingProxy* proxy : made) proxy->Release();
    }
    RecordingFactory(const RecordingFactory&) = delete;
    RecordingFactory& operator=(const RecordingFactory&) = delete;

    std::vector<RecordingProxy*> made;  // every object handed out, oldest first

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return *out = nullptr, E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        *out = nullptr;
        if (outer || !real_) return CLASS_E_NOAGGREGATION;
        ComPtr<IDispatch> inner;
        const HRESULT hr = real_->CreateInstance(nullptr, IID_IDispatch, inner.PutVoid());
        if (FAILED(hr)) return hr;
        auto* proxy = new RecordingProxy(std::move(inner));
        made.push_back(proxy);
        return proxy->QueryInterface(riid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

  private:
    ComPtr<IClassFactory> real_;
    DWORD cookie_ = 0;
};

void Raise(FakeObject& source, DISPID event, std::vector<qor::com::Variant> args) {
    source.Raise(event, std::move(args));
    Pump(20);
}

// Every call the component makes through IDispatch to an outside part resolves the
// member's name once per object, and the calls themselves are those the load and
// the presentations ask for, in order, with their arguments.
TEST(OutsideParts, EachMemberIsLookedUpOncePerObject) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    SetEnvironmentVariableW(L"LOCALAPPDATA", (std::wstring(temp) + L"outside-log").c_str());
    RecordingFactory icons(L"QORIcons.Icons"), strings(L"QORIcons.StringTable"),
        translator(L"QORTranslate.CaptionTranslator"), logger(L"QORLog.Logger");

    for (int load = 0; load < 2; ++load) {
        FakeDialer dialer;  // the form's objects die with it: the next load gets new ones
        ComPtr<_Launcher> launcher;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Launcher, nullptr, CLSCTX_INPROC_SERVER,
                                         IID__Launcher, launcher.PutVoid()));
        ASSERT_EQ(S_OK, StartTray(launcher.Get(), dialer));
        Raise(*dialer.extension, 3, Args(qor::com::MakeText("201")));                  // idle
        Raise(*dialer.calls, 1, Args(qor::com::MakeI4(1), qor::com::MakeText("c1")));  // ringing
        Raise(*dialer.call, 5, Args(qor::com::MakeDispatch(dialer.address.Get())));    // talking
        Raise(*dialer.call, 11,
              Args(qor::com::MakeDispatch(dialer.address.Get()), qor::com::MakeI4(0)));
        for (const wchar_t* wrong : {L"x", L"y"}) {  // each reported through the logger
            qor::com::Bstr name(L"ForwardIconID");
            qor::com::Variant arg, result;
            V_VT(arg.Put()) = VT_BSTR;
            V_BSTR(arg.Get()) = SysAllocString(wrong);
            EXPECT_EQ(S_OK, launcher->ExecuteCommand(name.Get(), *arg.Get(), result.Put()));
        }
    }

    // One object per load of the icon library and the string table; one translator
    // and one logger for the process.
    ASSERT_EQ(2u, icons.made.size());
    ASSERT_EQ(2u, strings.made.size());
    ASSERT_EQ(1u, translator.made.size());
    ASSERT_EQ(1u, logger.made.size());
    for (RecordingFactory* factory : {&icons, &strings, &translator, &logger})
        for (const RecordingProxy* proxy : factory->made) {
            EXPECT_LT(proxy->lookups.size(), proxy->calls.size());  // some member called again
            for (const auto& [name, times] : proxy->lookups) EXPECT_EQ(1, times) << name;
        }

    // The pictures the load asks for, in its order.
    const std::vector<std::wstring> loadOrder = {
        L"1010",  L"10021", L"10022", L"10011", L"10051", L"10052", L"10053", L"10031", L"10032",
        L"10041", L"10061", L"10071", L"1661",  L"10091", L"10101", L"10081", L"10111", L"10112"};
    for (const RecordingProxy* proxy : icons.made) {
        const auto got = proxy->CallsOf(L"GetIcon");
        ASSERT_EQ(loadOrder.size(), got.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(loadOrder[i], got[i].args.at(0));
    }
    // The two reports, each as source 0 with the error codes 3 and 5.
    const auto reports = logger.made[0]->CallsOf(L"WriteLog");
    ASSERT_EQ(4u, reports.size());
    for (const auto& report : reports) {
        ASSERT_EQ(4u, report.args.size());
        EXPECT_EQ(L"0", report.args[0]);
        EXPECT_EQ(L"3", report.args[1]);
        EXPECT_EQ(L"5", report.args[2]);
        EXPECT_NE(std::wstring::npos, report.args[3].find(L"QorIcon Launcher.ExecuteCommand"));
    }
    // The string table's first words are the two menu captions of the load.
    const auto words = strings.made[0]->CallsOf(L"Translate");
    ASSERT_LE(2u, words.size());
    EXPECT_EQ(L"#01113#E&xit", words[0].args.at(0));
    EXPECT_EQ(L"#05539#Start in offline mode", words[1].args.at(0));
}

}  // namespace
