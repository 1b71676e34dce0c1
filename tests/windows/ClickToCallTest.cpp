// ClickToCall through COM against the real registry, window list and process
// start: the client is "running" while a window with its title exists, and the
// stand-in client program records the command line it was started with.

#include <gtest/gtest.h>
#include <objsafe.h>
#include <olectl.h>

#include <string>

#include "TestSupport.h"
#include "qorIcon.h"

// mingw-w64's objsafe.h declares the interface without its __uuidof.
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0,
                0x64)

using namespace qortest;

namespace {

constexpr char kSettings[] = "Software\\Norvane\\5521\\QORPhone\\Settings";

void SetSetting(const char* name, const char* value) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_WRITE,
                                             nullptr, &key, nullptr));
    if (value)
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(strlen(value) + 1));
    else
        RegDeleteValueA(key, name);
    RegCloseKey(key);
}

std::string InstallPath() {
    char path[MAX_PATH] = {};
    DWORD size = sizeof path;
    RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Norvane\\5521\\Install", "Path", RRF_RT_REG_SZ,
                 nullptr, path, &size);
    return path;
}

// The client's main window, for as long as the object lives.
class ClientWindow {
  public:
    ClientWindow()
        : window_(CreateWindowExA(0, "STATIC", "M-Norvane Dialwise", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, nullptr, nullptr)) {}
    ~ClientWindow() { DestroyWindow(window_); }

  private:
    HWND window_;
};

class ClickToCallTest : public testing::Test {
  protected:
    void SetUp() override {
        CLSID clsid{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(L"qorIcon.ClickToCall", &clsid));
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__ClickToCall,
                                         object.PutVoid()));
    }
    bool Running() {
        VARIANT_BOOL b = 0;
        EXPECT_EQ(S_OK, object->get_AppRunning(&b));
        return b == VARIANT_TRUE;
    }
    VARIANT_BOOL Connected() {
        VARIANT_BOOL b = 1;
        EXPECT_EQ(S_OK, object->get_AppConnected(&b));
        return b;
    }
    ComPtr<_ClickToCall> object;
};

TEST_F(ClickToCallTest, RunningAndConnectedFollowWindowAndSetting) {
    struct Case {
        bool running;
        const char* state;  // CSConnectionState, null when missing
        VARIANT_BOOL connected;
    } cases[] = {
        {false, "1", VARIANT_FALSE}, {true, nullptr, VARIANT_FALSE}, {true, "0", VARIANT_FALSE},
        {true, "1", VARIANT_TRUE},   {true, "", VARIANT_TRUE},
    };
    for (const auto& c : cases) {
        SetSetting("CSConnectionState", c.state);
        if (c.running) {
            ClientWindow window;
            EXPECT_TRUE(Running());
            EXPECT_EQ(c.connected, Connected()) << (c.state ? c.state : "(missing)");
        } else {
            EXPECT_FALSE(Running());
            EXPECT_EQ(c.connected, Connected());
        }
    }
    SetSetting("CSConnectionState", nullptr);
}

TEST_F(ClickToCallTest, PlainAnswers) {
    SetSetting("CSLogin", "2345");
    qor::com::Bstr edn;
    ASSERT_EQ(S_OK, object->get_AppEdn(edn.Put()));
    EXPECT_EQ(L"2345", edn.Wide());
    ConnectivityMode mode = ConnectivityModeGVH;
    ASSERT_EQ(S_OK, object->get_AppConnectivity(&mode));
    EXPECT_EQ(ConnectivityModeUnknown, mode);
    qor::com::Bstr command(L"anything"), params(L"x"), answer(L"not empty");
    ASSERT_EQ(S_OK, object->ExecuteCommand(command.Get(), params.Get(), answer.Put()));
    EXPECT_EQ(L"", answer.Wide());
}

TEST_F(ClickToCallTest, CallEdnStartsTheClientWithTheRequest) {
    const std::string program = "\"" + InstallPath() + "qorphone.exe\" ";
    const std::string record = InstallPath() + "cmdline.txt";
    struct Case {
        const wchar_t *edn, *first, *last;
        std::string expected;
    } cases[] = {
        {L" 123 ", L"", L"", program + "qorphone://123"},
        {L"123", L"Ann", L"Lee", program + "lname:Lee fname:Ann qorphone://123"},
        {L"123", L" Ann ", L"", program + "fname:Ann qorphone://123"},
        {L"   ", L"Ann", L"Lee", program},
    };
    for (const auto& c : cases) {
        DeleteFileA(record.c_str());
        qor::com::Bstr edn(c.edn), first(c.first), last(c.last);
        ASSERT_EQ(S_OK, object->CallEdn(edn.Get(), first.Get(), last.Get()));
        std::string line;
        for (int i = 0; i < 100 && line.empty(); ++i) {
            Pump(50);
            HANDLE file = CreateFileA(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) continue;
            char buffer[512];
            DWORD read = 0;
            ReadFile(file, buffer, sizeof buffer, &read, nullptr);
            CloseHandle(file);
            line.assign(buffer, read);
        }
        EXPECT_EQ(c.expected + "\n", line);
    }
    DeleteFileA(record.c_str());
}

TEST_F(ClickToCallTest, SafeForScriptingAnswers) {
    auto safety = object.As<IObjectSafety>();
    ASSERT_TRUE(safety);
    struct Case {
        IID iid;
        HRESULT result;
        DWORD enabled;
    } cases[] = {
        {IID_IDispatch, S_OK, INTERFACESAFE_FOR_UNTRUSTED_CALLER},
        {IID_IPersistStream, S_OK, INTERFACESAFE_FOR_UNTRUSTED_DATA},
        {IID_IPersistPropertyBag, S_OK, INTERFACESAFE_FOR_UNTRUSTED_DATA},
        {IID_IUnknown, E_NOINTERFACE, 77},  // enabled left as the caller passed it
    };
    for (const auto& c : cases) {
        DWORD supported = 0, enabled = 77;
        EXPECT_EQ(c.result, safety->GetInterfaceSafetyOptions(c.iid, &supported, &enabled));
        EXPECT_EQ(3u, supported);
        EXPECT_EQ(c.enabled, enabled);
    }
    EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 1));
    EXPECT_EQ(E_FAIL, safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3));
    EXPECT_EQ(E_FAIL, safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0));
    EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, 2, 2));
    EXPECT_EQ(E_NOINTERFACE, safety->SetInterfaceSafetyOptions(IID_IUnknown, 1, 1));
}

}  // namespace
