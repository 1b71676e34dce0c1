#pragma once
// The client side of connection points: subscribes a handler to the events of an
// object and keeps the connection for as long as the Connection lives. The sink is
// a small IDispatch that answers the event interface's id, so servers that insist
// on their own dispinterface accept it, and script-style servers too.

#include <ocidl.h>

#include <functional>

#include "windows/com/ComPtr.h"

namespace qor::com {

// The arguments of one event in natural order (first argument first).
class EventArgs {
  public:
    explicit EventArgs(DISPPARAMS& params) noexcept : params_(params) {}
    UINT Count() const noexcept { return params_.cArgs; }
    // Throws qor::QorError (invalid argument) when the event has fewer arguments.
    VARIANT& operator[](UINT index) const;

  private:
    DISPPARAMS& params_;
};

// Runs on each event; whatever it throws is caught by the sink and never reaches
// the server.
using EventHandler = std::function<void(DISPID id, EventArgs& args)>;

class Connection {
  public:
    // What the connection holds of the source: a client keeps it alive while
    // connected; an observer of an object someone else owns must not, since it
    // would outlive its owner's release. Such a connection ends when the source
    // lets go of the sink (when it is destroyed).
    enum class Hold { Source, Nothing };

    Connection() noexcept = default;
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { Disconnect(); }

    // Finds the connection point of `eventIid` (or, with IID_NULL, the object's
    // default source from IProvideClassInfo2, else its first point) and advises a
    // sink. Throws ComError when the object has no such events.
    static Connection Connect(IUnknown* source, REFIID eventIid, EventHandler handler,
                              Hold hold = Hold::Source);

    void Disconnect() noexcept;
    // Whether the source still holds our sink: it is alive and connected.
    bool SourceAlive() const noexcept;
    explicit operator bool() const noexcept { return SourceAlive(); }

  private:
    IConnectionPoint* Point() const noexcept { return point_ ? point_.Get() : weakPoint_; }

    ComPtr<IConnectionPoint> point_;
    IConnectionPoint* weakPoint_ = nullptr;  // valid while the source holds sink_
    ComPtr<IDispatch> sink_;
    DWORD cookie_ = 0;
};

}  // namespace qor::com
