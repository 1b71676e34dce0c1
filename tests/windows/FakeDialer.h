#pragma once
// Stand-ins for the client's dialer objects: automation objects whose members are
// reached by name, answer from a table, record every call, and raise events
// through a real connection point.

#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <vector>

#include "QorDial.h"
#include "qorIcon.h"
#include "windows/com/ComPtr.h"
#include "windows/com/ConnectionPoint.h"
#include "windows/com/Object.h"
#include "windows/com/Owners.h"

namespace qortest {

class FakeObject final
    : public qor::com::ComObject<FakeObject, IDispatch, IConnectionPointContainer> {
  public:
    using Member = std::function<void(DISPPARAMS& args, VARIANT* result)>;

    explicit FakeObject(REFIID eventIid) : events_(*this, eventIid) {}
    ~FakeObject() override { events_.Clear(); }

    // A member answering with a copy of `value` (objects included).
    void Property(const std::wstring& name, const VARIANT& value);
    void Text(const std::wstring& name, const wchar_t* text);
    void Number(const std::wstring& name, LONG number);
    void Object(const std::wstring& name, IDispatch* object);
    void Method(const std::wstring& name, Member member);

    // Raises event `id` with the given arguments (first argument first), each by
    // reference as a dialer library would.
    void Raise(DISPID id, std::vector<qor::com::Variant> args);
    std::size_t Listeners() const { return events_.Count(); }
    // Names of the members called so far, in order.
    std::vector<std::wstring> calls;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override;
    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
        return qor::com::EnumConnectionPointsOf({&events_}, out);
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override {
        return qor::com::FindConnectionPointIn({&events_}, riid, out);
    }

  private:
    std::vector<std::pair<std::wstring, Member>> members_;
    qor::com::ConnectionPoint events_;
};

using FakePtr = qor::com::ComPtr<FakeObject>;
inline FakePtr MakeFake(REFIID eventIid) {
    return FakePtr::Adopt(new FakeObject(eventIid));
}

// A client's dialer objects as the tray meets them: the main session, its one
// monitored extension 201 with its calls, and a call from 0301234567 that rings.
struct FakeDialer {
    FakeDialer();
    FakePtr address = MakeFake(IID_NULL);
    FakePtr call = MakeFake(DIID__IQorCallEvents);
    FakePtr calls = MakeFake(DIID__IQorCallsEvents);
    FakePtr extension = MakeFake(DIID__IQorExtensionEvents);
    FakePtr extensions = MakeFake(IID_NULL);
    FakePtr session = MakeFake(DIID__IQorSessionEvents);
};

// Hands the fake session to the tray as the main session and starts it. The fakes
// answer by name only, so the session goes in late-bound, as a script passes it.
HRESULT StartTray(_Launcher* launcher, FakeDialer& dialer);

// Event arguments, first first (Variant cannot be copied out of a braced list).
template <class... Values>
std::vector<qor::com::Variant> Args(Values... values) {
    std::vector<qor::com::Variant> args;
    (args.push_back(std::move(values)), ...);
    return args;
}

}  // namespace qortest
