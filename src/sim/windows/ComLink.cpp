#include "sim/windows/ComLink.h"

#include <oleauto.h>

#include <stdexcept>
#include <utility>

#include "core/common/Error.h"
#include "core/host/MenuEvent.h"
#include "sim/windows/DialerExport.h"
#include "windows/com/Automation.h"
#include "windows/com/Errors.h"
#include "windows/com/Owners.h"
#include "windows/com/Text.h"
#include "windows/dialer/DialerObjects.h"

namespace qor::sim::win {

namespace {

using com::ComPtr;

// The error number a client reads for a failed call: the automation error itself
// for 0x800A???? results, else the HRESULT.
std::int32_t NumberOf(HRESULT hr) {
    if ((static_cast<std::uint32_t>(hr) & 0xFFFF0000u) == 0x800A0000u) return HRESULT_CODE(hr);
    return static_cast<std::int32_t>(hr);
}

[[noreturn]] void ThrowFailed(HRESULT hr, const char* what) {
    std::string description, source;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) == S_OK && info) {
        com::Bstr text, from;
        if (SUCCEEDED(info->GetDescription(text.Put()))) description = com::FromBstr(text.Get());
        if (SUCCEEDED(info->GetSource(from.Put()))) source = com::FromBstr(from.Get());
    }
    if (description.empty()) {
        char buffer[128];
        wsprintfA(buffer, "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
        description = buffer;
    }
    throw QorError(NumberOf(hr), std::move(description), source.empty() ? kErrorSource : source);
}

// Runs one call into the DLL; error info left over from an earlier call must not
// describe this one.
template <class F>
void Checked(const char* what, F&& call) {
    ::SetErrorInfo(0, nullptr);
    const HRESULT hr = call();
    if (FAILED(hr)) ThrowFailed(hr, what);
}

// The client's own objects behind an event's arguments: the simulated ones it
// handed over, or (should the DLL pass something else) an adapter around it.
dialer::CallPtr CallIn(IDispatch* object) {
    if (auto call = CallBehind(object)) return call;
    return ::qor::win::WrapCall(object);
}
dialer::SessionPtr SessionIn(IDispatch* object) {
    if (auto session = SessionBehind(object)) return session;
    return ::qor::win::WrapSession(object);
}
dialer::CallsPtr CallsIn(IDispatch* object) {
    if (auto calls = CallsBehind(object)) return calls;
    return ::qor::win::WrapCalls(object);
}

// An object argument the handler replaced goes back to the DLL's variable.
template <class Ptr, class Export>
void ObjectBack(VARIANT& arg, IDispatch* before, const Ptr& after, Export exportOf) {
    ComPtr<IDispatch> now = ::qor::win::DispatchBehind(after)
                                ? ComPtr<IDispatch>(::qor::win::DispatchBehind(after))
                                : exportOf(after);
    if (now.Get() != before) com::Assign(arg, *com::MakeDispatch(now.Get()).Get());
}

void TextBack(VARIANT& arg, const std::string& before, const std::string& after) {
    if (after != before) com::Assign(arg, *com::MakeText(after).Get());
}

void Deliver(IMenuEvents& handler, DISPID id, com::EventArgs& args) {
    switch (id) {
        case menuevent::kAnswer:
        case menuevent::kReconnect:
        case menuevent::kClear:
        case menuevent::kCancelConsultation: {
            ComPtr<IDispatch> before = com::DispatchOf(args[0]);
            dialer::CallPtr call = CallIn(before.Get());
            if (id == menuevent::kAnswer) handler.Answer(call);
            if (id == menuevent::kReconnect) handler.Reconnect(call);
            if (id == menuevent::kClear) handler.Clear(call);
            if (id == menuevent::kCancelConsultation) handler.CancelConsultation(call);
            ObjectBack(args[0], before.Get(), call, &ExportCall);
            break;
        }
        case menuevent::kCloseApp:
        case menuevent::kMaximize: {
            ComPtr<IDispatch> before = com::DispatchOf(args[0]);
            dialer::SessionPtr session = SessionIn(before.Get());
            if (id == menuevent::kCloseApp) handler.CloseApp(session);
            if (id == menuevent::kMaximize) handler.Maximize(session);
            ObjectBack(args[0], before.Get(), session, &ExportSession);
            break;
        }
        case menuevent::kConfiguration:
            handler.Configuration();
            break;
        case menuevent::kMakeCall: {
            std::string callee = com::TextOf(args[0]);
            const std::string before = callee;
            handler.MakeCall(callee);
            TextBack(args[0], before, callee);
            break;
        }
        case menuevent::kMakeCall2: {
            ComPtr<IDispatch> callsBefore = com::DispatchOf(args[0]);
            dialer::CallsPtr calls = CallsIn(callsBefore.Get());
            std::string text = com::TextOf(args[1]);
            const std::string before = text;
            handler.MakeCall2(calls, text);
            ObjectBack(args[0], callsBefore.Get(), calls, &ExportCalls);
            TextBack(args[1], before, text);
            break;
        }
        default:
            break;  // events of later versions: not the client's
    }
}

}  // namespace

ComLink::~ComLink() {
    Release();
}

_Launcher& ComLink::Require() const {
    if (!launcher_) throw std::logic_error("no Launcher");
    return *launcher_;
}

void ComLink::CreateLauncher(IMenuEvents& handler) {
    Release();
    CLSID clsid{};
    Checked("CLSIDFromProgID(qorIcon.Launcher)",
            [&] { return CLSIDFromProgID(L"qorIcon.Launcher", &clsid); });
    ComPtr<_Launcher> launcher;
    Checked("CoCreateInstance(qorIcon.Launcher)", [&] {
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__Launcher,
                                launcher.PutVoid());
    });
    launcher_ = std::move(launcher);

    ComPtr<_MenuEvent> menuEvent;
    Checked("GetMenuEvent", [&] { return launcher_->GetMenuEvent(menuEvent.Put()); });
    if (!menuEvent) throw std::runtime_error("GetMenuEvent gave no MenuEvent object");
    try {
        events_ = com::Connection::Connect(menuEvent.Get(), DIID___MenuEvent,
                                           [&handler](DISPID id, com::EventArgs& args) {
                                               // The client fails softly and records its own
                                               // failures; nothing it throws goes back into the
                                               // DLL's event.
                                               try {
                                                   Deliver(handler, id, args);
                                               } catch (...) {
                                               }
                                           });
    } catch (const com::ComError& e) {
        throw QorError(NumberOf(e.Result()), e.what());
    }
    menuEvent_ = std::move(menuEvent);
}

void ComLink::AddSession(const dialer::SessionPtr& session, std::int32_t mode,
                         const std::string& appName) {
    _Launcher& launcher = Require();
    ComPtr<IQorSession> myNum = ExportSession(session).As<IQorSession>();
    if (!myNum) throw std::logic_error("a session is served without IQorSession");
    LONG connectMode = mode;
    com::Bstr name;
    BSTR* nameSlot = name.Put();
    *nameSlot = com::AllocBstr(appName);
    IQorSession* slot = myNum.Get();
    Checked("addSession", [&] { return launcher.addSession(&slot, &connectMode, nameSlot); });
    // By reference, as natively: the variable holds what addSession left there (the
    // callee released the reference it replaced).
    if (slot != myNum.Get()) {
        myNum.Detach();
        myNum = ComPtr<IQorSession>::Adopt(slot);
    }
    if (mode == dialer::kConnectModeMain)
        Checked("qorDialSession", [&] { return launcher.putref_qorDialSession(myNum.Get()); });
}

void ComLink::Start() {
    _Launcher& launcher = Require();
    Checked("Start", [&] { return launcher.Start(); });
}

void ComLink::SetTooltip(const std::string& message) {
    _Launcher& launcher = Require();
    com::Bstr text;
    BSTR* slot = text.Put();
    *slot = com::AllocBstr(message);
    Checked("SetTooltip", [&] { return launcher.SetTooltip(slot); });
}

void ComLink::ExecuteCommand(const std::string& name, const Variant& args) {
    _Launcher& launcher = Require();
    com::Bstr funcName(com::Widen(name));
    com::Variant value = ExportValue(args);
    com::Variant result;
    Checked("ExecuteCommand",
            [&] { return launcher.ExecuteCommand(funcName.Get(), *value.Get(), result.Put()); });
}

bool ComLink::IsOfflineSelected() {
    _Launcher& launcher = Require();
    VARIANT_BOOL selected = VARIANT_FALSE;
    Checked("IsOfflineSelected", [&] { return launcher.IsOfflineSelected(&selected); });
    return selected != VARIANT_FALSE;
}

void ComLink::Release() {
    events_.Disconnect();
    menuEvent_ = nullptr;
    launcher_ = nullptr;
}

}  // namespace qor::sim::win
