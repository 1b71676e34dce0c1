#include "windows/com/EventSink.h"

#include <utility>

#include "core/common/Error.h"
#include "windows/com/Errors.h"
#include "windows/com/Object.h"

namespace qor::com {

namespace {

class Sink final : public ComObject<Sink, IDispatch> {
  public:
    Sink(REFIID eventIid, EventHandler handler) : iid_(eventIid), handler_(std::move(handler)) {}

    void* Cast(REFIID riid) noexcept {
        if (IsEqualIID(riid, iid_)) return static_cast<IDispatch*>(this);
        return ComObject::Cast(riid);
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (!params) return E_POINTER;
        // Keep ourselves alive: the handler may disconnect this very sink.
        ComPtr<IDispatch> self(this);
        EventHandler handler = handler_;
        return Guard(iid_, L"", [&] {
            EventArgs args(*params);
            handler(id, args);
        });
    }

  private:
    IID iid_;
    EventHandler handler_;
};

ComPtr<IConnectionPoint> FindPoint(IUnknown* source, REFIID eventIid) {
    auto container = ComPtr<IUnknown>(source).As<IConnectionPointContainer>();
    if (!container) throw ComError(E_NOINTERFACE, "The object raises no events");
    ComPtr<IConnectionPoint> point;
    IID iid = eventIid;
    if (IsEqualIID(iid, IID_NULL)) {
        if (auto info = ComPtr<IUnknown>(source).As<IProvideClassInfo2>())
            info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid);
    }
    if (!IsEqualIID(iid, IID_NULL)) {
        ThrowIfFailed(container->FindConnectionPoint(iid, point.Put()), "FindConnectionPoint");
        return point;
    }
    ComPtr<IEnumConnectionPoints> points;
    ThrowIfFailed(container->EnumConnectionPoints(points.Put()), "EnumConnectionPoints");
    ULONG fetched = 0;
    if (points->Next(1, point.Put(), &fetched) != S_OK || !point)
        throw ComError(E_NOINTERFACE, "The object raises no events");
    return point;
}

}  // namespace

VARIANT& EventArgs::operator[](UINT index) const {
    if (index >= params_.cArgs)
        throw qor::QorError(qor::err::kInvalidCall, "Invalid procedure call or argument");
    return params_.rgvarg[params_.cArgs - 1 - index];
}

Connection::Connection(Connection&& other) noexcept
    : point_(std::move(other.point_)),
      weakPoint_(std::exchange(other.weakPoint_, nullptr)),
      sink_(std::move(other.sink_)),
      cookie_(std::exchange(other.cookie_, 0)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        Disconnect();
        point_ = std::move(other.point_);
        weakPoint_ = std::exchange(other.weakPoint_, nullptr);
        sink_ = std::move(other.sink_);
        cookie_ = std::exchange(other.cookie_, 0);
    }
    return *this;
}

Connection Connection::Connect(IUnknown* source, REFIID eventIid, EventHandler handler,
                               Hold hold) {
    if (!source) throw ComError(E_POINTER, "No object to connect to");
    ComPtr<IConnectionPoint> point = FindPoint(source, eventIid);
    IID iid = IID_IDispatch;
    point->GetConnectionInterface(&iid);
    Connection connection;
    connection.sink_ = ComPtr<IDispatch>::Adopt(new Sink(iid, std::move(handler)));
    ThrowIfFailed(point->Advise(connection.sink_.Get(), &connection.cookie_), "Advise");
    if (hold == Hold::Source)
        connection.point_ = std::move(point);
    else
        connection.weakPoint_ = point.Get();  // `point` lets go of the source here
    return connection;
}

bool Connection::SourceAlive() const noexcept {
    if (!sink_ || !Point()) return false;
    if (point_) return true;
    // The source holds the sink from Advise until it goes: a count above our own
    // one says it is still there.
    sink_->AddRef();
    return sink_->Release() > 1;
}

void Connection::Disconnect() noexcept {
    if (SourceAlive()) Point()->Unadvise(cookie_);
    point_ = nullptr;
    weakPoint_ = nullptr;
    sink_ = nullptr;
    cookie_ = 0;
}

}  // namespace qor::com
