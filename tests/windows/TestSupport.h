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

#include "windows/com/ComPtr.h"
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
