#pragma once
// The client's dialer objects (and any other object the core reaches by name) seen
// through the core's contracts. Each adapter holds the client's IDispatch, calls
// its members by name as QorDial.idl names them and turns the object's
// connection-point events into calls on the core's sink. The core never learns it
// talks to COM; the COM layer gets the client's object back when it hands a core
// object to the client (event arguments, qorDialSession).

#include <windows.h>

#include <oaidl.h>

#include <memory>

#include "core/common/Variant.h"
#include "core/contracts/Dialer.h"
#include "windows/com/ComPtr.h"
#include "windows/com/Owners.h"

namespace qor::win {

// Implemented by every adapter: the client's object behind it.
class IDispatchBacked {
  public:
    virtual ~IDispatchBacked() = default;
    virtual IDispatch* Dispatch() const noexcept = 0;
};

// The client's object behind a core object; null for nothing or for an object
// that did not come from COM.
template <class T>
IDispatch* DispatchBehind(const std::shared_ptr<T>& object) noexcept {
    const auto* backed = dynamic_cast<const IDispatchBacked*>(object.get());
    return backed ? backed->Dispatch() : nullptr;
}

// Each gives nullptr for a null object.
LateBoundPtr WrapLateBound(IDispatch* object);
dialer::SessionPtr WrapSession(IDispatch* object);
dialer::ExtensionsPtr WrapExtensions(IDispatch* object);
dialer::ExtensionPtr WrapExtension(IDispatch* object);
dialer::CallsPtr WrapCalls(IDispatch* object);
dialer::CallPtr WrapCall(IDispatch* object);
dialer::AddressPtr WrapAddress(IDispatch* object);

// The face of a client's object to hand out where the contract names a dialer
// interface (IQorCall, IQorSession, IQorCalls): that interface where the object
// implements it (it is dual, so an IDispatch too), else the object's IDispatch,
// so that late-bound objects keep working with late-bound handlers.
com::ComPtr<IDispatch> TypedFace(IDispatch* object, REFIID iid);

// Values between automation and the core; objects become late-bound adapters and
// come back as the client's objects.
Variant ToCore(const VARIANT& value);
com::Variant ToAutomation(const Variant& value);

}  // namespace qor::win
