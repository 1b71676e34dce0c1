// The client's dialer objects through the real COM layer: the tray reaches them by
// name, follows their events through connection points, and a real click on the
// tray icon comes back to the client as a MenuEvent event carrying the client's
// own call object.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "FakeDialer.h"
#include "QorDial.h"
#include "ShellCalls.h"
#include "TestSupport.h"
#include "qorIcon.h"
#include "windows/com/Automation.h"

using namespace qortest;
using qor::com::MakeDispatch;
using qor::com::MakeI4;
using qor::com::MakeText;

namespace {

std::set<HWND> TrayIcons() {
    std::set<HWND> icons;
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    for (HWND child = FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr); child;
         child = FindWindowExW(tray, child, L"__winex11_tray_icon", nullptr))
        icons.insert(child);
    return icons;
}

void SetDialerSetting(const char* name, const char* value) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Norvane\\5521\\QORDial\\Settings", 0, nullptr, 0,
                    KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(strlen(value) + 1));
    RegCloseKey(key);
}

// The component's icon: the one that was not in the tray before it was created.
HWND OurIcon(const std::set<HWND>& before) {
    std::set<HWND> after = TrayIcons();
    std::vector<HWND> ours;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(ours));
    return ours.size() == 1 ? ours[0] : nullptr;
}

void LeftClick(HWND icon) {
    PostMessageW(icon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 8));
    PostMessageW(icon, WM_LBUTTONUP, 0, MAKELPARAM(8, 8));
}

void SetClipboard(const char* text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
    memcpy(GlobalLock(memory), text, strlen(text) + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

// Waits on a thread of its own for a message box of this process, reads its title
// and text and presses OK, as a user would.
class MessageBoxWatch {
  public:
    MessageBoxWatch() : thread_(CreateThread(nullptr, 0, &Run, this, 0, nullptr)) {}
    ~MessageBoxWatch() { WaitForSingleObject(thread_.Get(), 15000); }
    bool Done() const { return WaitForSingleObject(thread_.Get(), 0) == WAIT_OBJECT_0 && found_; }
    std::wstring title, text;

  private:
    static DWORD WINAPI Run(void* self) {
        auto& watch = *static_cast<MessageBoxWatch*>(self);
        for (int i = 0; i < 200; ++i) {
            HWND box = FindWindowW(L"#32770", nullptr);
            DWORD pid = 0;
            if (box) GetWindowThreadProcessId(box, &pid);
            if (box && pid == GetCurrentProcessId()) {
                wchar_t buffer[256] = {};
                GetWindowTextW(box, buffer, 256);
                watch.title = buffer;
                GetDlgItemTextW(box, 0xFFFF, buffer, 256);  // the message box's text control
                watch.text = buffer;
                watch.found_ = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return 0;
            }
            Sleep(50);
        }
        return 0;
    }
    bool found_ = false;
    qor::com::UniqueHandle thread_;
};

TEST(Dialer, ALeftClickWithoutCallDialsTheClipboardNumber) {
    SetDialerSetting("LButtonDial", "True");
    SetClipboard("0301234");
    FakeDialer dialer;
    const std::set<HWND> before = TrayIcons();
    ComPtr<_Launcher> launcher;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Launcher, nullptr, CLSCTX_INPROC_SERVER, IID__Launcher,
                                     launcher.PutVoid()));
    ComPtr<_MenuEvent> menuEvent;
    ASSERT_EQ(S_OK, launcher->GetMenuEvent(menuEvent.Put()));
    auto sink = new RecordingSink(DIID___MenuEvent);
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, Advise(menuEvent.Get(), DIID___MenuEvent, sink, &cookie));
    ASSERT_EQ(S_OK, StartTray(launcher.Get(), dialer));

    HWND icon = OurIcon(before);
    ASSERT_TRUE(icon);
    LeftClick(icon);
    for (int i = 0; i < 40 && sink->events.empty(); ++i) Pump(50);
    ASSERT_EQ(1u, sink->events.size());
    EXPECT_EQ(8, sink->events[0].id);  // MakeCall
    EXPECT_EQ(std::vector<std::wstring>{L"0301234"}, sink->events[0].args);
    Unadvise(menuEvent.Get(), DIID___MenuEvent, cookie);
    sink->Release();
}

TEST(Dialer, EventsDriveTheTrayAndAClickAnswersTheClientsCall) {
    // At start a left click opens the client; the configuration message below
    // switches it to acting on the phone.
    SetDialerSetting("LButtonDial", "False");
    FakeDialer dialer;
    const std::set<HWND> before = TrayIcons();

    ComPtr<_Launcher> launcher;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Launcher, nullptr, CLSCTX_INPROC_SERVER, IID__Launcher,
                                     launcher.PutVoid()));
    ComPtr<_MenuEvent> menuEvent;
    ASSERT_EQ(S_OK, launcher->GetMenuEvent(menuEvent.Put()));
    auto sink = new RecordingSink(DIID___MenuEvent);
    ComPtr<IDispatch> answered;
    sink->onEvent = [&](DISPID id, DISPPARAMS& params) {
        if (id == 1) answered = qor::com::DispatchOf(params.rgvarg[0]);
    };
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, Advise(menuEvent.Get(), DIID___MenuEvent, sink, &cookie));

    ASSERT_EQ(S_OK, StartTray(launcher.Get(), dialer));
    // The tray listens to the session, the monitored extension and its calls.
    EXPECT_EQ(1u, dialer.session->Listeners());
    EXPECT_EQ(1u, dialer.extension->Listeners());
    EXPECT_EQ(1u, dialer.calls->Listeners());

    // The extension is being monitored: the tray leaves its waiting state.
    dialer.extension->Raise(3, [] {
        std::vector<qor::com::Variant> a;
        a.push_back(MakeText("201"));
        return a;
    }());

    // A call comes in: the calls collection names it current, the call rings.
    dialer.calls->Raise(1, [] {
        std::vector<qor::com::Variant> a;
        a.push_back(MakeI4(1));
        a.push_back(MakeText("c1"));
        return a;
    }());
    EXPECT_EQ(1u, dialer.call->Listeners());
    EXPECT_NE(dialer.call->calls.end(),
              std::find(dialer.call->calls.begin(), dialer.call->calls.end(), L"State"));
    dialer.call->Raise(1, [&] {
        std::vector<qor::com::Variant> a;
        a.push_back(MakeDispatch(dialer.address.Get()));
        a.push_back(MakeI4(0));
        a.push_back(MakeI4(0));
        return a;
    }());

    // The client announces changed mouse settings to the tray's window (through the
    // window subclass): left clicks now act on the phone.
    SetDialerSetting("LButtonDial", "True");
    HWND form = FindWindowA(nullptr, "S-Norvane Dialwise");
    ASSERT_TRUE(form);
    SendMessageA(form, 0x446, 0, 1);

    // The user clicks the ringing icon: the client is asked to answer its own call.
    HWND icon = OurIcon(before);
    ASSERT_TRUE(icon) << "the component's icon in the notification area";
    LeftClick(icon);
    for (int i = 0; i < 40 && !answered; ++i) Pump(50);
    ASSERT_TRUE(answered) << "no Answer event after the click";
    EXPECT_TRUE(qor::com::SameObject(answered.Get(), dialer.call->Unknown()));

    // This time the client's handler hands back nothing: the tray has no current
    // call left, and the next click tells the user so, in a box titled with the
    // component's name.
    sink->onEvent = [&](DISPID id, DISPPARAMS& params) {
        if (id != 1) return;
        IDispatch** call = V_DISPATCHREF(&params.rgvarg[0]);
        if (*call) (*call)->Release();
        *call = nullptr;
    };
    sink->events.clear();
    LeftClick(icon);
    for (int i = 0; i < 40 && sink->events.empty(); ++i) Pump(50);
    ASSERT_EQ(1u, sink->events.size());
    MessageBoxWatch watch;
    LeftClick(icon);
    for (int i = 0; i < 60 && !watch.Done(); ++i) Pump(50);
    ASSERT_TRUE(watch.Done()) << "no message box";
    EXPECT_EQ(L"qorIcon", watch.title);
    EXPECT_EQ(L"Trying to answer... but there is no Current Call", watch.text);
    EXPECT_EQ(1u, sink->events.size()) << "no second Answer";

    // Releasing the launcher detaches the tray from every dialer object.
    Unadvise(menuEvent.Get(), DIID___MenuEvent, cookie);
    sink->Release();
    menuEvent = nullptr;
    answered = nullptr;
    launcher = nullptr;
    EXPECT_EQ(0u, dialer.extension->Listeners());
    EXPECT_EQ(0u, dialer.calls->Listeners());
    EXPECT_EQ(0u, dialer.call->Listeners());
    EXPECT_EQ(0u, dialer.session->Listeners());
}

// A call that rings, is answered, held, taken back and cleared changes what the
// tray shows five times: the shell hears of each change once, whatever the form
// set to make it. A refresh that shows the same again tells the shell nothing.
TEST(Dialer, TheShellHearsOfEachPresentationOnce) {
    SetDialerSetting("LButtonDial", "True");
    FakeDialer dialer;
    ComPtr<_Launcher> launcher;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Launcher, nullptr, CLSCTX_INPROC_SERVER, IID__Launcher,
                                     launcher.PutVoid()));
    ASSERT_EQ(S_OK, StartTray(launcher.Get(), dialer));
    ASSERT_TRUE(RecordShellCalls());
    dialer.extension->Raise(3, Args(MakeText("201")));  // monitored: idle
    Pump(50);

    const size_t from = ShellCalls().calls.size();
    const DWORD start = GetTickCount();
    auto step = [&](FakeObject& source, DISPID event, std::vector<qor::com::Variant> args) {
        source.Raise(event, std::move(args));
        Pump(20);  // back at the messages, as after any event
    };
    step(*dialer.calls, 1, Args(MakeI4(1), MakeText("c1")));          // a ringing call is current
    step(*dialer.call, 5, Args(MakeDispatch(dialer.address.Get())));  // Connected
    const DWORD ringing = GetTickCount() - start;
    step(*dialer.call, 10, {});                                                   // OnHold
    step(*dialer.call, 9, Args(MakeDispatch(dialer.address.Get())));              // Reconnected
    step(*dialer.call, 11, Args(MakeDispatch(dialer.address.Get()), MakeI4(0)));  // Cleared
    // The ringing icon blinks every half second: a blink is a change of its own.
    if (ringing < 400) {
        EXPECT_EQ(5, CountShellCalls(from, NIM_MODIFY));
    }
    EXPECT_EQ(0, CountShellCalls(from, NIM_ADD) + CountShellCalls(from, NIM_DELETE));

    // Answered again: the talking presentation once more, then a repeat of it.
    for (int expected : {1, 0}) {
        const size_t again = ShellCalls().calls.size();
        step(*dialer.call, 5, Args(MakeDispatch(dialer.address.Get())));
        EXPECT_EQ(expected, CountShellCalls(again, NIM_MODIFY));
    }
}

}  // namespace
