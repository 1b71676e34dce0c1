#pragma once
// Outgoing events: a connection point for one dispinterface, embedded in the
// object that raises the events (its container), and the container's side.
//
// The point keeps its sinks with their cookies in subscription order. Firing walks
// a snapshot, so a sink may Unadvise itself or others, or Advise new ones, from
// inside its handler: a sink that left is skipped, a new one hears the next event.

#include <ocidl.h>
#include <olectl.h>

#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

#include "windows/com/ComPtr.h"

namespace qor::com {

class ConnectionPoint final : public IConnectionPoint {
  public:
    // `container` is the owning object; the point lives inside it and lends its
    // reference count.
    ConnectionPoint(IConnectionPointContainer& container, REFIID eventIid) noexcept;
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    // IUnknown (delegating the count to the container)
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return container_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return container_.Release(); }

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    REFIID EventIid() const noexcept { return iid_; }
    std::size_t Count() const noexcept { return sinks_.size(); }
    // Calls event `id` on every sink with the given arguments (in DISPPARAMS order,
    // last argument first). Sink failures are ignored: one broken client must not
    // keep the others from hearing the event.
    void Fire(DISPID id, DISPPARAMS& params);
    // Drops every sink (the object is going away).
    void Clear() noexcept;

  private:
    IConnectionPointContainer& container_;
    IID iid_;
    std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks_;
    DWORD nextCookie_ = 1;
};

// The container side: FindConnectionPoint and EnumConnectionPoints over the
// object's points.
HRESULT FindConnectionPointIn(std::initializer_list<ConnectionPoint*> points, REFIID riid,
                              IConnectionPoint** out) noexcept;
HRESULT EnumConnectionPointsOf(std::initializer_list<ConnectionPoint*> points,
                               IEnumConnectionPoints** out) noexcept;

}  // namespace qor::com
