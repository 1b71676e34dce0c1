#include "windows/com/ConnectionPoint.h"

#include <algorithm>
#include <new>

#include "windows/com/Object.h"

namespace qor::com {

namespace {

// A snapshot enumerator over COM items: Next hands out new references.
template <class IEnum, class Item, class Traits>
class SnapshotEnum final : public ComObject<SnapshotEnum<IEnum, Item, Traits>, IEnum> {
  public:
    explicit SnapshotEnum(std::vector<Item> items, std::size_t position = 0)
        : items_(std::move(items)), position_(position) {}

    STDMETHODIMP Next(ULONG count, typename Traits::Out* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && position_ < items_.size(); ++n, ++position_)
            Traits::Copy(items_[position_], out[n]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const std::size_t left = items_.size() - position_;
        position_ += std::min<std::size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnum** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) SnapshotEnum(items_, position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

  private:
    std::vector<Item> items_;
    std::size_t position_;
};

struct Connection {
    DWORD cookie;
    ComPtr<IUnknown> sink;
};
struct ConnectionTraits {
    using Out = CONNECTDATA;
    static void Copy(const Connection& c, CONNECTDATA& out) {
        out.dwCookie = c.cookie;
        c.sink.CopyTo(&out.pUnk);
    }
};
struct PointTraits {
    using Out = IConnectionPoint*;
    static void Copy(const ComPtr<IConnectionPoint>& p, IConnectionPoint*& out) { p.CopyTo(&out); }
};

}  // namespace

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& container, REFIID eventIid) noexcept
    : container_(container), iid_(eventIid) {}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = &container_;
    container_.AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // A sink normally answers the event interface; script engines' sinks often
    // answer only IDispatch, which is all we call anyway.
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(iid_, dispatch.PutVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, dispatch.PutVoid())))
        return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.emplace_back(nextCookie_, std::move(dispatch));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [cookie](const auto& s) { return s.first == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    // Take the sink out before releasing it: its Release may call back into us.
    ComPtr<IDispatch> leaving = std::move(it->second);
    sinks_.erase(it);
    return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        std::vector<Connection> items;
        for (const auto& [cookie, sink] : sinks_) items.push_back({cookie, sink.As<IUnknown>()});
        *out = new SnapshotEnum<IEnumConnections, Connection, ConnectionTraits>(std::move(items));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void ConnectionPoint::Fire(DISPID id, DISPPARAMS& params) {
    const auto snapshot = sinks_;
    for (const auto& [cookie, sink] : snapshot) {
        const bool stillConnected = std::any_of(sinks_.begin(), sinks_.end(),
                                                [&](const auto& s) { return s.first == cookie; });
        if (!stillConnected) continue;
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                     nullptr);
    }
}

void ConnectionPoint::Clear() noexcept {
    auto leaving = std::move(sinks_);
    sinks_.clear();
}

HRESULT FindConnectionPointIn(std::initializer_list<ConnectionPoint*> points, REFIID riid,
                              IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (ConnectionPoint* point : points) {
        if (IsEqualIID(point->EventIid(), riid)) {
            *out = point;
            point->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT EnumConnectionPointsOf(std::initializer_list<ConnectionPoint*> points,
                               IEnumConnectionPoints** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        std::vector<ComPtr<IConnectionPoint>> items;
        for (ConnectionPoint* point : points) items.emplace_back(point);
        *out = new SnapshotEnum<IEnumConnectionPoints, ComPtr<IConnectionPoint>, PointTraits>(
            std::move(items));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace qor::com
