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
    Connection() noexcept = default;
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { Disconnect(); }

    // Finds the connection point of `eventIid` (or, with IID_NULL, the object's
    // default source from IProvideClassInfo2, else its first point) and advises a
    // sink. Throws ComError when the object has no such events.
    static Connection Connect(IUnknown* source, REFIID eventIid, EventHandler handler);

    void Disconnect() noexcept;
    explicit operator bool() const noexcept { return static_cast<bool>(point_); }

  private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace qor::com
