// qorIcon's classes through the real COM layer: registration by ProgID, the type
// library's contract, MenuEvent's connection point, Launcher's members and errors.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "windows/com/Automation.h"
#include "windows/com/Text.h"
#include "qorIcon.h"

using namespace qortest;

namespace {

template <class T>
ComPtr<T> Create(REFCLSID clsid) {
    ComPtr<T> object;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(T),
                                     object.PutVoid()));
    return object;
}

qor::com::Variant Text(const wchar_t* text) {
    qor::com::Variant v;
    V_VT(v.Put()) = VT_BSTR;
    V_BSTR(v.Get()) = SysAllocString(text);
    return v;
}

qor::com::Variant Object(IDispatch* object) {
    qor::com::Variant v;
    V_VT(v.Put()) = VT_DISPATCH;
    V_DISPATCH(v.Get()) = object;
    if (object) object->AddRef();
    return v;
}

std::vector<std::wstring> MemberNames(ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    std::vector<std::wstring> names;
    if (FAILED(info->GetTypeAttr(&attr))) return names;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func))) continue;
        qor::com::Bstr name;
        info->GetDocumentation(func->memid, name.Put(), nullptr, nullptr, nullptr);
        names.push_back(name.Wide());
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);
    return names;
}

TEST(TypeLibrary, MembersFollowTheContractOrder) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_qorIcon, 5, 5, 0, lib.Put()));
    struct Case {
        const IID* iid;
        std::vector<std::wstring> names;
    } cases[] = {
        {&IID__Launcher,
         {L"qorDialSession", L"qorDialSession", L"GetMenuEvent", L"addSession", L"SetTooltip",
          L"Start", L"IsOfflineSelected", L"ExecuteCommand"}},
        {&IID__MenuEvent,
         {L"Answer", L"Clear", L"Reconnect", L"CancelConsultation", L"CloseApp", L"Maximize",
          L"MakeCall", L"MakeCall2", L"Configure"}},
        {&IID__ClickToCall,
         {L"ExecuteCommand", L"CallEdn", L"AppConnectivity", L"AppEdn", L"AppConnected",
          L"AppRunning"}},
        {&DIID___MenuEvent,
         {L"Answer", L"Reconnect", L"Clear", L"CancelConsultation", L"CloseApp", L"Maximize",
          L"Configuration", L"MakeCall", L"MakeCall2"}},
    };
    for (const auto& c : cases) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(*c.iid, info.Put()));
        // Duals: compare the vtable half, which lists only the interface's own members.
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> vtable;
        if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
            SUCCEEDED(info->GetRefTypeInfo(ref, vtable.Put())))
            info = vtable;
        EXPECT_EQ(c.names, MemberNames(info.Get()));
    }
    // The events are numbered 1 to 9 in that order.
    ComPtr<ITypeInfo> events;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(DIID___MenuEvent, events.Put()));
    for (UINT i = 0; i < 9; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(S_OK, events->GetFuncDesc(i, &func));
        EXPECT_EQ(MEMBERID(i + 1), func->memid);
        events->ReleaseFuncDesc(func);
    }
}

TEST(Classes, CreatableByProgIdWithTheirInterfaces) {
    struct Case {
        const wchar_t* progId;
        const CLSID* clsid;
        const IID* dual;
    } cases[] = {
        {L"qorIcon.Launcher", &CLSID_Launcher, &IID__Launcher},
        {L"qorIcon.MenuEvent", &CLSID_MenuEvent, &IID__MenuEvent},
        {L"qorIcon.ClickToCall", &CLSID_ClickToCall, &IID__ClickToCall},
    };
    for (const auto& c : cases) {
        CLSID clsid{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(c.progId, &clsid)) << c.progId;
        EXPECT_TRUE(IsEqualCLSID(clsid, *c.clsid));
        ComPtr<IUnknown> object;
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                         object.PutVoid()));
        EXPECT_TRUE(object.AsUnknown(*c.dual)) << c.progId;
        auto dispatch = object.As<IDispatch>();
        ASSERT_TRUE(dispatch);
        auto errors = object.As<ISupportErrorInfo>();
        ASSERT_TRUE(errors);
        EXPECT_EQ(S_OK, errors->InterfaceSupportsErrorInfo(*c.dual));
    }
    auto menuEvent = Create<IProvideClassInfo2>(CLSID_MenuEvent);
    GUID source{};
    ASSERT_EQ(S_OK, menuEvent->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source));
    EXPECT_TRUE(IsEqualGUID(source, DIID___MenuEvent));
}

class MenuEventTest : public testing::Test {
  protected:
    void SetUp() override {
        menuEvent = Create<_MenuEvent>(CLSID_MenuEvent);
        ASSERT_TRUE(menuEvent);
        ASSERT_EQ(S_OK, Advise(menuEvent.Get(), DIID___MenuEvent, sink, &cookie));
    }
    void TearDown() override {
        if (cookie) Unadvise(menuEvent.Get(), DIID___MenuEvent, cookie);
        sink->Release();
    }
    ComPtr<_MenuEvent> menuEvent;
    RecordingSink* sink = new RecordingSink(DIID___MenuEvent);
    DWORD cookie = 0;
};

// The type a typed sink (a C++ client's event class built from the type library)
// expects for each argument of event `id`: VT_BYREF with the declared type, the
// dialer interfaces as VT_DISPATCH.
std::vector<VARTYPE> DeclaredTypes(DISPID id) {
    ComPtr<ITypeLib> lib;
    ComPtr<ITypeInfo> events;
    std::vector<VARTYPE> types;
    if (FAILED(LoadRegTypeLib(LIBID_qorIcon, 5, 5, 0, lib.Put())) ||
        FAILED(lib->GetTypeInfoOfGuid(DIID___MenuEvent, events.Put())))
        return types;
    TYPEATTR* attr = nullptr;
    events->GetTypeAttr(&attr);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        events->GetFuncDesc(i, &func);
        for (SHORT p = 0; func->memid == id && p < func->cParams; ++p) {
            const TYPEDESC* type = &func->lprgelemdescParam[p].tdesc;
            VARTYPE vt = VT_EMPTY;
            if (type->vt == VT_PTR) type = type->lptdesc;
            if (type->vt == VT_PTR && type->lptdesc->vt == VT_USERDEFINED) {
                // The dialer interface, resolved through the imported library.
                ComPtr<ITypeInfo> target;
                TYPEATTR* targetAttr = nullptr;
                if (SUCCEEDED(events->GetRefTypeInfo(type->lptdesc->hreftype, target.Put())) &&
                    SUCCEEDED(target->GetTypeAttr(&targetAttr))) {
                    if (targetAttr->wTypeFlags & TYPEFLAG_FDISPATCHABLE) vt = VT_DISPATCH;
                    target->ReleaseTypeAttr(targetAttr);
                }
            } else {
                vt = type->vt;
            }
            types.push_back(VT_BYREF | vt);
        }
        events->ReleaseFuncDesc(func);
    }
    events->ReleaseTypeAttr(attr);
    return types;
}

TEST_F(MenuEventTest, EachMethodRaisesItsEventWithTypedArguments) {
    auto call = MakeTest<TestCall>();
    auto session = MakeTest<TestSession>(L"main");
    auto calls = MakeTest<TestCalls>();
    constexpr VARTYPE kObject = VT_BYREF | VT_DISPATCH, kText = VT_BYREF | VT_BSTR;
    struct Case {
        const char* method;
        std::function<HRESULT(_MenuEvent*)> invoke;
        DISPID event;
        std::vector<std::wstring> args;
        std::vector<VARTYPE> types;
    } cases[] = {
        {"Answer",
         [&](_MenuEvent* m) {
             IQorCall* c = call.Get();
             return m->Answer(&c);
         },
         1,
         {L"<object>"},
         {kObject}},
        {"Clear",
         [&](_MenuEvent* m) {
             IQorCall* c = call.Get();
             return m->Clear(&c);
         },
         3,
         {L"<object>"},
         {kObject}},
        {"Reconnect",
         [&](_MenuEvent* m) {
             IQorCall* c = call.Get();
             return m->Reconnect(&c);
         },
         2,
         {L"<object>"},
         {kObject}},
        {"CancelConsultation",
         [&](_MenuEvent* m) {
             IQorCall* c = call.Get();
             return m->CancelConsultation(&c);
         },
         4,
         {L"<object>"},
         {kObject}},
        {"CloseApp",
         [&](_MenuEvent* m) {
             IQorSession* s = nullptr;
             return m->CloseApp(&s);
         },
         5,
         {L"<nothing>"},
         {kObject}},
        {"Maximize",
         [&](_MenuEvent* m) {
             IQorSession* s = session.Get();
             return m->Maximize(&s);
         },
         6,
         {L"<object>"},
         {kObject}},
        {"MakeCall",
         [&](_MenuEvent* m) {
             qor::com::Bstr callee(L"0301234");
             BSTR raw = callee.Get();
             return m->MakeCall(&raw);
         },
         8,
         {L"0301234"},
         {kText}},
        {"MakeCall2",
         [&](_MenuEvent* m) {
             IQorCalls* c = calls.Get();
             qor::com::Bstr number(L"55");
             BSTR raw = number.Get();
             return m->MakeCall2(&c, &raw);
         },
         9,
         {L"<object>", L"55"},
         {kObject, kText}},
        {"Configure", [&](_MenuEvent* m) { return m->Configure(); }, 7, {}, {}},
    };
    for (const auto& c : cases) {
        sink->events.clear();
        ASSERT_EQ(S_OK, c.invoke(menuEvent.Get())) << c.method;
        ASSERT_EQ(1u, sink->events.size()) << c.method;
        EXPECT_EQ(c.event, sink->events[0].id) << c.method;
        EXPECT_EQ(c.args, sink->events[0].args) << c.method;
        EXPECT_EQ(c.types, sink->events[0].types) << c.method;
        EXPECT_EQ(DeclaredTypes(c.event), sink->events[0].types) << c.method;
    }
    // The handler gets the dialer interface itself, not some other face of the object.
    IQorCall* c = call.Get();
    sink->onEvent = [&](DISPID, DISPPARAMS& params) {
        EXPECT_EQ(static_cast<IDispatch*>(call.Get()), *V_DISPATCHREF(&params.rgvarg[0]));
    };
    ASSERT_EQ(S_OK, menuEvent->Answer(&c));
}

TEST_F(MenuEventTest, TypedHandlerChangesReachTheCallersVariables) {
    // A sink written against the typed signatures: MakeCall(BSTR* callee),
    // Clear(IQorCall** call), CloseApp(IQorSession** myNum), MakeCall2(IQorCalls**, BSTR*).
    auto other = MakeTest<TestCall>();
    sink->onEvent = [&](DISPID id, DISPPARAMS& params) {
        VARIANT* args = params.rgvarg;  // last argument first
        if (id == 8 || id == 9) {
            BSTR* text = V_BSTRREF(&args[0]);
            SysFreeString(*text);
            *text = SysAllocString(id == 8 ? L"999" : L"777");
        }
        if (id == 9) {
            IDispatch** calls = V_DISPATCHREF(&args[1]);
            if (*calls) (*calls)->Release();
            *calls = nullptr;
        }
        if (id == 3) {  // Clear: the client hands back another call
            IDispatch** call = V_DISPATCHREF(&args[0]);
            if (*call) (*call)->Release();
            *call = other.Get();
            other->AddRef();
        }
        if (id == 5) {  // CloseApp: the client lets go of the session
            IDispatch** session = V_DISPATCHREF(&args[0]);
            if (*session) (*session)->Release();
            *session = nullptr;
        }
    };
    qor::com::Bstr callee(L"123");
    ASSERT_EQ(S_OK, menuEvent->MakeCall(callee.InOut()));
    EXPECT_EQ(L"999", callee.Wide());

    IQorCalls* rawCalls = MakeTest<TestCalls>().Detach();
    qor::com::Bstr number(L"123");
    ASSERT_EQ(S_OK, menuEvent->MakeCall2(&rawCalls, number.InOut()));
    EXPECT_EQ(L"777", number.Wide());
    EXPECT_EQ(nullptr, rawCalls);

    IQorCall* call = MakeTest<TestCall>().Detach();
    ASSERT_EQ(S_OK, menuEvent->Clear(&call));
    EXPECT_EQ(static_cast<IQorCall*>(other.Get()), call);
    call->Release();

    IQorSession* session = MakeTest<TestSession>(L"main").Detach();
    ASSERT_EQ(S_OK, menuEvent->CloseApp(&session));
    EXPECT_EQ(nullptr, session);

    // A late-bound caller's variable, passed as a VARIANT reference the way VBScript
    // passes it, changes too.
    auto variable = Text(L"123");
    VARIANT ref = qor::com::RefTo(variable.Get());
    DISPPARAMS params{&ref, nullptr, 1, 0};
    ASSERT_EQ(S_OK, menuEvent->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                                      nullptr));
    EXPECT_EQ(L"999", TextOf(*variable.Get()));
}

TEST_F(MenuEventTest, ConnectionsAreKeptByCookie) {
    auto second = new RecordingSink(DIID___MenuEvent);
    DWORD secondCookie = 0;
    ASSERT_EQ(S_OK, Advise(menuEvent.Get(), DIID___MenuEvent, second, &secondCookie));
    EXPECT_NE(cookie, secondCookie);

    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, menuEvent.As<IConnectionPointContainer>()->FindConnectionPoint(DIID___MenuEvent,
                                                                                   point.Put()));
    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(S_OK, point->EnumConnections(connections.Put()));
    CONNECTDATA data[3] = {};
    ULONG fetched = 0;
    connections->Next(3, data, &fetched);
    EXPECT_EQ(2u, fetched);
    for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();

    // Both hear an event in subscription order; after the first leaves, only the second.
    ASSERT_EQ(S_OK, menuEvent->Configure());
    ASSERT_EQ(S_OK, Unadvise(menuEvent.Get(), DIID___MenuEvent, cookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, Unadvise(menuEvent.Get(), DIID___MenuEvent, cookie));
    cookie = 0;
    ASSERT_EQ(S_OK, menuEvent->Configure());
    EXPECT_EQ(1u, sink->events.size());
    EXPECT_EQ(2u, second->events.size());

    // A sink that leaves from inside its handler does not stop the event for the others.
    DWORD thirdCookie = 0;
    auto third = new RecordingSink(DIID___MenuEvent);
    ASSERT_EQ(S_OK, Advise(menuEvent.Get(), DIID___MenuEvent, third, &thirdCookie));
    second->onEvent = [&](DISPID, DISPPARAMS&) {
        Unadvise(menuEvent.Get(), DIID___MenuEvent, secondCookie);
    };
    ASSERT_EQ(S_OK, menuEvent->Configure());
    ASSERT_EQ(S_OK, menuEvent->Configure());
    EXPECT_EQ(3u, second->events.size());
    EXPECT_EQ(2u, third->events.size());
    Unadvise(menuEvent.Get(), DIID___MenuEvent, thirdCookie);
    second->Release();
    third->Release();
}

TEST(MenuEventAlone, WithoutSubscribersEveryMethodReturnsAtOnce) {
    auto menuEvent = Create<_MenuEvent>(CLSID_MenuEvent);
    qor::com::Bstr number(L"1");
    EXPECT_EQ(S_OK, menuEvent->MakeCall(number.InOut()));
    EXPECT_EQ(S_OK, menuEvent->Configure());
    EXPECT_EQ(L"1", number.Wide());
}

class LauncherTest : public testing::Test {
  protected:
    void SetUp() override {
        launcher = Create<_Launcher>(CLSID_Launcher);
        ASSERT_TRUE(launcher);
    }
    ComPtr<_Launcher> launcher;
};

TEST_F(LauncherTest, TheFormOwnsAHiddenTopLevelWindowByItsTitle) {
    HWND form = FindWindowA(nullptr, "S-Norvane Dialwise");
    ASSERT_TRUE(form) << "other programs find the tray by this title";
    DWORD pid = 0;
    GetWindowThreadProcessId(form, &pid);
    EXPECT_EQ(GetCurrentProcessId(), pid);
    EXPECT_FALSE(IsWindowVisible(form));
    // Top level, not message-only: broadcasts such as TaskbarCreated reach it.
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(form, GA_PARENT));
    launcher = nullptr;
    EXPECT_FALSE(FindWindowA(nullptr, "S-Norvane Dialwise")) << "released with the last Launcher";
}

TEST_F(LauncherTest, AnswersBeforeStart) {
    VARIANT_BOOL offline = VARIANT_TRUE;
    ASSERT_EQ(S_OK, launcher->IsOfflineSelected(&offline));
    EXPECT_EQ(VARIANT_FALSE, offline);

    // ExecuteCommand always answers Empty and never fails, whatever the command.
    struct Case {
        const wchar_t* name;
        qor::com::Variant args;
    } cases[] = {{L"ForwardIconID", Text(L"12")},
                 {L"ForwardIconID", Text(L"not a number")},
                 {L"forwardiconid", Text(L"12")},
                 {L"Anything", Text(L"")}};
    for (auto& c : cases) {
        qor::com::Bstr name(c.name);
        qor::com::Variant result;
        EXPECT_EQ(S_OK, launcher->ExecuteCommand(name.Get(), *c.args.Get(), result.Put()));
        EXPECT_EQ(VT_EMPTY, result.Type());
    }
}

TEST_F(LauncherTest, MenuEventIsOneObjectWhoseEventsReachTheClient) {
    ComPtr<_MenuEvent> first, second;
    ASSERT_EQ(S_OK, launcher->GetMenuEvent(first.Put()));
    ASSERT_EQ(S_OK, launcher->GetMenuEvent(second.Put()));
    ASSERT_TRUE(first);
    EXPECT_TRUE(qor::com::SameObject(first.Get(), second.Get()));

    auto sink = new RecordingSink(DIID___MenuEvent);
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, Advise(first.Get(), DIID___MenuEvent, sink, &cookie));
    ASSERT_EQ(S_OK, second->Configure());
    ASSERT_EQ(1u, sink->events.size());
    EXPECT_EQ(7, sink->events[0].id);
    Unadvise(first.Get(), DIID___MenuEvent, cookie);
    sink->Release();
}

TEST_F(LauncherTest, SessionPropertyKeepsTheClientsObject) {
    auto session = new PropertyBag();
    session->Set(L"SessionKey", L"k1");
    ASSERT_EQ(S_OK, launcher->putref_qorDialSession(session));
    ComPtr<IDispatch> back;
    ASSERT_EQ(S_OK, launcher->get_qorDialSession(back.Put()));
    EXPECT_TRUE(qor::com::SameObject(session, back.Get()));
    session->Release();
}

TEST_F(LauncherTest, CoreErrorsReachTheClientAsThatCallsError) {
    auto session = MakeTest<TestSession>(L"main");
    IQorSession* raw = session.Get();
    LONG mode = 2;
    qor::com::Bstr name(L"Phone");
    BSTR rawName = name.Get();
    ASSERT_EQ(S_OK, launcher->addSession(&raw, &mode, &rawName));
    EXPECT_EQ(session.Get(), raw) << "the form only reads the session";

    // The same key again: the core's error 457 comes back as this call's error.
    EXPECT_EQ(HRESULT(0x800A01C9), launcher->addSession(&raw, &mode, &rawName));
    EXPECT_EQ(L"This key is already associated with an element of this collection",
              LastErrorDescription());

    // Late-bound callers (a script passes its values, not references) get it as an
    // exception with the same number and text.
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"addSession")};
    ASSERT_EQ(S_OK, launcher->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    auto text = Text(L"Phone");
    VARIANT modeArg;
    VariantInit(&modeArg);
    V_VT(&modeArg) = VT_I4;
    V_I4(&modeArg) = 2;
    auto sessionArg = Object(session.Get());
    VARIANT args[] = {*text.Get(), modeArg, *sessionArg.Get()};
    DISPPARAMS params{args, nullptr, 3, 0};
    EXCEPINFO excep{};
    EXPECT_EQ(DISP_E_EXCEPTION, launcher->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                                                 &excep, nullptr));
    EXPECT_EQ(HRESULT(0x800A01C9), excep.scode);
    EXPECT_EQ(L"This key is already associated with an element of this collection",
              std::wstring(excep.bstrDescription ? excep.bstrDescription : L""));
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
}

// Late-bound callers that pass more or fewer arguments than a member takes get
// the automation answer for it; nothing reaches the member.
TEST(ArgumentCounts, EveryServedMemberChecksItsArgumentCount) {
    auto launcher = Create<IDispatch>(CLSID_Launcher);
    auto menuEvent = Create<IDispatch>(CLSID_MenuEvent);
    auto clickToCall = Create<IDispatch>(CLSID_ClickToCall);
    auto call = MakeTest<TestCall>();
    struct Case {
        IDispatch* object;
        const wchar_t* member;
        WORD flags;
        UINT count;
        HRESULT expected;
    } cases[] = {
        {launcher.Get(), L"qorDialSession", DISPATCH_PROPERTYGET, 1, DISP_E_BADPARAMCOUNT},
        {launcher.Get(), L"Start", DISPATCH_METHOD, 2, DISP_E_BADPARAMCOUNT},
        {launcher.Get(), L"addSession", DISPATCH_METHOD, 2, DISP_E_PARAMNOTOPTIONAL},
        {launcher.Get(), L"addSession", DISPATCH_METHOD, 4, DISP_E_BADPARAMCOUNT},
        {launcher.Get(), L"IsOfflineSelected", DISPATCH_METHOD, 1, DISP_E_BADPARAMCOUNT},
        {menuEvent.Get(), L"MakeCall2", DISPATCH_METHOD, 1, DISP_E_PARAMNOTOPTIONAL},
        {menuEvent.Get(), L"Configure", DISPATCH_METHOD, 1, DISP_E_BADPARAMCOUNT},
        {clickToCall.Get(), L"CallEdn", DISPATCH_METHOD, 0, DISP_E_PARAMNOTOPTIONAL},
        {clickToCall.Get(), L"CallEdn", DISPATCH_METHOD, 4, DISP_E_BADPARAMCOUNT},
        {clickToCall.Get(), L"AppRunning", DISPATCH_PROPERTYGET, 1, DISP_E_BADPARAMCOUNT},
        {call.Get(), L"State", DISPATCH_PROPERTYGET, 3, DISP_E_BADPARAMCOUNT},
    };
    for (const auto& c : cases) {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(c.member)};
        ASSERT_EQ(S_OK, c.object->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
        std::vector<VARIANT> args(c.count);
        for (auto& a : args) VariantInit(&a);
        DISPPARAMS params{args.data(), nullptr, c.count, 0};
        qor::com::Variant result;
        EXCEPINFO excep{};
        UINT argErr = 0;
        EXPECT_EQ(c.expected, c.object->Invoke(id, IID_NULL, 0, c.flags, &params, result.Put(),
                                               &excep, &argErr))
            << qor::com::Narrow(c.member) << " with " << c.count;
    }
}

}  // namespace
