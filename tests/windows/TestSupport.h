#pragma once
// What the COM client tests share: an event sink that records what it hears (and
// can change by-reference arguments), a scriptable stand-in object with named
// properties, and a few helpers.

#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "QorDial.h"
#include "windows/com/ComPtr.h"
#include "windows/com/Dispatch.h"
#include "windows/com/Owners.h"

namespace qortest {

using qor::com::ComPtr;

// A sink for any dispinterface: records each event's id and arguments (as the
// values the by-reference arguments point at) and lets a test react.
class RecordingSink : public IDispatch {
  public:
    struct Event {
        DISPID id;
        std::vector<std::wstring> args;  // text form of each argument, first first
        std::vector<VARTYPE> types;      // how each argument arrived, first first
    };
    explicit RecordingSink(REFIID eventIid) : iid_(eventIid) {}
    virtual ~RecordingSink() = default;

    std::vector<Event> events;
    // Runs inside the event, with the raw arguments (last argument first).
    std::function<void(DISPID, DISPPARAMS&)> onEvent;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override;

  private:
    IID iid_;
    ULONG refs_ = 1;
};

// An object with named read-only properties, standing in for a client's object
// (a dialer session, for instance). Unknown names fail like a real object's.
class PropertyBag : public IDispatch {
  public:
    void Set(const std::wstring& name, const std::wstring& text);
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override;
    virtual ~PropertyBag() = default;

  private:
    std::vector<std::pair<std::wstring, std::wstring>> properties_;
    ULONG refs_ = 1;
};

// A client's call, session and calls collection as a dialer library built from
// QorDial.idl serves them (dispatch through its type library, embedded in the
// test program). Members the tests do not use fail with E_NOTIMPL.
class TestCall final : public qor::com::DispatchObject<TestCall, IQorCall> {
  public:
    STDMETHODIMP get_State(LONG* v) override { return *v = 1, S_OK; }
    STDMETHODIMP get_ActionFlags(LONG* v) override { return *v = 1, S_OK; }
    STDMETHODIMP get_ExtensionEntryID(BSTR* v) override { return *v = SysAllocString(L"1"), S_OK; }
    STDMETHODIMP get_RedialFlag(unsigned char* v) override { return *v = 0, S_OK; }
    STDMETHODIMP get_RemoteAddress(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP get_DialledAddress(IDispatch**) override { return E_NOTIMPL; }
};
class TestSession final : public qor::com::DispatchObject<TestSession, IQorSession> {
  public:
    explicit TestSession(const wchar_t* key) : key_(key) {}
    STDMETHODIMP get_SessionKey(BSTR* v) override { return *v = SysAllocString(key_), S_OK; }
    STDMETHODIMP get_Extensions(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP TheAppMenus(VARIANT, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP SendMenuSelected(VARIANT) override { return E_NOTIMPL; }

  private:
    const wchar_t* key_;
};
class TestCalls final : public qor::com::DispatchObject<TestCalls, IQorCalls> {
  public:
    STDMETHODIMP get_Item(VARIANT, IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP get_CurrentCallEntryID(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Count(LONG* v) override { return *v = 0, S_OK; }
    STDMETHODIMP Remove(LONG) override { return E_NOTIMPL; }
};
template <class T, class... Args>
ComPtr<T> MakeTest(Args... args) {
    return ComPtr<T>::Adopt(new T(args...));
}

// Text of a VARIANT (following references), for assertions.
std::wstring TextOf(const VARIANT& value);
// The thread's error info description after a failed call ("" when none).
std::wstring LastErrorDescription();
// Connects a sink to an object's connection point for `iid`.
HRESULT Advise(IUnknown* source, REFIID iid, IUnknown* sink, DWORD* cookie);
HRESULT Unadvise(IUnknown* source, REFIID iid, DWORD cookie);
// Pumps this thread's messages for about `ms` milliseconds.
void Pump(DWORD ms);

}  // namespace qortest
