// Proves the outside parts under Wine the way the component uses them: created by
// ProgID and called late-bound through the dispatch ids of their contracts.
//   partstest <case>   runs one case and ends with "RESULT <case> ok|failed"
//   partstest keeper   keeps one tray icon of its own (removing the last icon stalls)

#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "../ShellCalls.h"
#include "trayicon.h"  // the control's event ids
#include "windows/icons/SizedIcon.h"

using qortest::CountShellCalls;
using qortest::IconWidth;
using qortest::ShellCalls;

namespace {

int gFailures = 0;

void Check(bool ok, const char* what, int line) {
    if (ok) return;
    ++gFailures;
    std::printf("FAIL line %d: %s\n", line, what);
    std::fflush(stdout);
}
#define CHECK(cond) Check((cond), #cond, __LINE__)

// ---- late binding --------------------------------------------------------------

struct Var : VARIANT {
    Var() { VariantInit(this); }
    explicit Var(short v) : Var() { vt = VT_I2, iVal = v; }
    explicit Var(long v) : Var() { vt = VT_I4, lVal = v; }
    explicit Var(bool v) : Var() { vt = VT_BOOL, boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; }
    explicit Var(const wchar_t* v) : Var() { vt = VT_BSTR, bstrVal = SysAllocString(v); }
    explicit Var(const std::wstring& v) : Var() {
        vt = VT_BSTR, bstrVal = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
    }
    explicit Var(IDispatch* v) : Var() {
        vt = VT_DISPATCH, pdispVal = v;
        if (v) v->AddRef();
    }
    Var(const Var&) = delete;
    ~Var() { VariantClear(this); }
    std::wstring Text() const { return vt == VT_BSTR && bstrVal ? bstrVal : L""; }
};

// Calls member `id` with the arguments in their natural order.
HRESULT Call(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT*> args,
             VARIANT* result = nullptr, EXCEPINFO* error = nullptr) {
    std::vector<VARIANTARG> raw;
    for (auto it = args.rbegin(); it != args.rend(); ++it) raw.push_back(**it);
    DISPID put = DISPID_PROPERTYPUT;
    bool isPut = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{raw.data(), isPut ? &put : nullptr, static_cast<UINT>(raw.size()),
                      isPut ? 1u : 0u};
    EXCEPINFO ignored{};
    HRESULT hr =
        object->Invoke(id, IID_NULL, 0, flags, &params, result, error ? error : &ignored, nullptr);
    if (!error) {
        SysFreeString(ignored.bstrSource);
        SysFreeString(ignored.bstrDescription);
        SysFreeString(ignored.bstrHelpFile);
    }
    return hr;
}

IDispatch* Create(const wchar_t* progId) {
    CLSID clsid;
    IDispatch* object = nullptr;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&object));
    if (FAILED(hr)) std::printf("cannot create %ls: 0x%08lx\n", progId, hr);
    return object;
}

void Pump(DWORD milliseconds) {
    DWORD end = GetTickCount() + milliseconds;
    for (DWORD now = GetTickCount(); static_cast<LONG>(end - now) > 0; now = GetTickCount()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// ---- icons and texts -------------------------------------------------------------

const short kIconIds[] = {1010,  1661,  10011, 10021, 10022, 10031, 10032, 10041, 10051,
                          10052, 10053, 10061, 10071, 10081, 10091, 10101, 10111, 10112};

IDispatch* GetIcon(IDispatch* icons, short id) {
    short inOut = id;
    Var ref, result;
    ref.vt = VT_BYREF | VT_I2, ref.piVal = &inOut;
    if (FAILED(Call(icons, 1, DISPATCH_METHOD, {&ref}, &result)) || result.vt != VT_DISPATCH)
        return nullptr;
    IDispatch* picture = result.pdispVal;
    picture->AddRef();
    return picture;
}

// The icon behind a picture, and the size it has.
int IconSize(IDispatch* picture) {
    IPicture* ole = nullptr;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&ole))))
        return 0;
    OLE_HANDLE handle = 0;
    SHORT type = 0;
    ole->get_Type(&type);
    ole->get_Handle(&handle);
    ole->Release();
    return type == PICTYPE_ICON
               ? IconWidth(static_cast<HICON>(LongToHandle(static_cast<LONG>(handle))))
               : 0;
}

// A library picture's icon drawn at size x size, as the tray control asks for it.
HICON SizedIconOf(IDispatch* picture, int size) {
    qor::icons::ISizedIcon* sizes = nullptr;
    HICON icon = nullptr;
    if (picture && SUCCEEDED(picture->QueryInterface(__uuidof(qor::icons::ISizedIcon),
                                                     reinterpret_cast<void**>(&sizes)))) {
        sizes->IconOfSize(size, size, &icon);
        sizes->Release();
    }
    return icon;
}

void TestIcons() {
    IDispatch* icons = Create(L"QORIcons.Icons");
    CHECK(icons);
    if (!icons) return;
    const int small = GetSystemMetrics(SM_CXSMICON);
    for (short id : kIconIds) {
        IDispatch* picture = GetIcon(icons, id);
        if (IconSize(picture) != small) std::printf("icon %d: size %d\n", id, IconSize(picture));
        CHECK(IconSize(picture) == small);
        if (picture) picture->Release();
        for (short size : {16, 24, 48}) {
            Var result, idArg(id), sizeArg(size);
            CHECK(SUCCEEDED(Call(icons, 2, DISPATCH_METHOD, {&idArg, &sizeArg}, &result)));
            CHECK(result.vt == VT_DISPATCH && IconSize(result.pdispVal) == size);
        }
        // The picture also gives its icon at every size the notification area may want.
        Var sized(GetIcon(icons, id));
        for (int size : {16, 20, 24, 28, 32, 40, 48, 64}) {
            HICON icon = SizedIconOf(sized.pdispVal, size);
            if (IconWidth(icon) != size)
                std::printf("icon %d at %d: %d\n", id, size, IconWidth(icon));
            CHECK(IconWidth(icon) == size);
            DestroyIcon(icon);
        }
        CHECK(IconSize(sized.pdispVal) == small);  // the picture itself is unchanged
        CHECK(!SizedIconOf(sized.pdispVal, 0) && !SizedIconOf(sized.pdispVal, 257));
    }
    // An unknown id fails with a COM error that says which icon is missing.
    short unknown = 4242;
    Var ref, result;
    ref.vt = VT_BYREF | VT_I2, ref.piVal = &unknown;
    EXCEPINFO error{};
    CHECK(Call(icons, 1, DISPATCH_METHOD, {&ref}, &result, &error) == DISP_E_EXCEPTION);
    CHECK(error.bstrDescription && std::wcsstr(error.bstrDescription, L"4242"));
    icons->Release();
}

// A form as the translator sees it: CaptionCount and Caption(index).
class FakeForm : public IDispatch {
  public:
    std::vector<std::wstring> captions;
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (riid != IID_IUnknown && riid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (!lstrcmpiW(names[0], L"CaptionCount")) return *ids = 1, S_OK;
        if (!lstrcmpiW(names[0], L"Caption")) return *ids = 2, S_OK;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        if (id == 1 && (flags & DISPATCH_PROPERTYGET)) {
            V_VT(result) = VT_I4, V_I4(result) = static_cast<LONG>(captions.size());
            return S_OK;
        }
        if (id != 2 || p->cArgs == 0) return DISP_E_MEMBERNOTFOUND;
        VARIANT& index = p->rgvarg[p->cArgs - 1];
        if (V_VT(&index) != VT_I4 || V_I4(&index) < 0 ||
            V_I4(&index) >= static_cast<LONG>(captions.size()))
            return DISP_E_BADINDEX;
        std::wstring& caption = captions[V_I4(&index)];
        if (flags & DISPATCH_PROPERTYPUT) {
            caption = V_BSTR(&p->rgvarg[0]);
        } else {
            V_VT(result) = VT_BSTR, V_BSTR(result) = SysAllocString(caption.c_str());
        }
        return S_OK;
    }
};

void SetLanguage(const wchar_t* language) {
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Norvane\\5521\\qorIcon\\Settings", 0, nullptr, 0,
                    KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExW(key, L"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(language),
                   static_cast<DWORD>((std::wcslen(language) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring Translate(IDispatch* translator, const wchar_t* literal) {
    Var text(literal), ref, result;
    ref.vt = VT_BYREF | VT_BSTR, ref.pbstrVal = &text.bstrVal;
    CHECK(SUCCEEDED(Call(translator, 1, DISPATCH_METHOD, {&ref}, &result)));
    return result.Text();
}

void TestTranslate() {
    struct Row {
        const wchar_t* language;
        const wchar_t* literal;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"en", L"#01109#Dial", L"Dial"},
        {L"en", L"#01110#Bis", L"Redial"},  // the table wins over the default wording
        {L"en", L"#01113#E&xit", L"E&xit"},
        {L"en", L"#05541#Not available", L"Not available"},
        {L"en", L"#09999#Left as written", L"Left as written"},       // no such number
        {L"en", L"Start in offline mode", L"Start in offline mode"},  // no literal
        {L"en", L"#0110#Dial", L"#0110#Dial"},                        // four digits: no literal
        {L"de", L"#01109#Dial", L"W\u00e4hlen"},
        {L"de", L"#01001#Extension:", L"Nebenstelle:"},
        {L"de", L"#05541#Not available", L"Nicht verf\u00fcgbar"},
        {L"de", L"#09999#Left as written", L"Left as written"},
        {L"de", L"#01216#Ctrl+Shift", L"Strg+Umschalt"},
        {L"xx", L"#01108#Answer", L"Answer"},  // unknown language: English
    };
    for (const Row& row : rows) {
        SetLanguage(row.language);
        for (const wchar_t* progId : {L"QORTranslate.CaptionTranslator", L"QORIcons.StringTable"}) {
            IDispatch* translator = Create(progId);
            CHECK(translator);
            if (!translator) continue;
            std::wstring text = Translate(translator, row.literal);
            if (text != row.expected)
                std::printf("%ls %ls: '%ls' gave '%ls'\n", progId, row.language, row.literal,
                            text.c_str());
            CHECK(text == row.expected);
            translator->Release();
        }
    }
    SetLanguage(L"de");
    FakeForm form;
    form.captions = {L"#01107#Hang Up", L"-", L"S-Norvane Dialwise", L"#01206#connected"};
    IDispatch* translator = Create(L"QORTranslate.CaptionTranslator");
    Var formArg(static_cast<IDispatch*>(&form));
    CHECK(translator && SUCCEEDED(Call(translator, 2, DISPATCH_METHOD, {&formArg})));
    const std::vector<std::wstring> expected = {L"Auflegen", L"-", L"S-Norvane Dialwise",
                                                L"verbunden"};
    CHECK(form.captions == expected);
    if (translator) translator->Release();
}

// ---- logging -----------------------------------------------------------------------

std::string ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string data(65536, '\0');
    DWORD read = 0;
    ::ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr);
    CloseHandle(file);
    data.resize(read);
    return data;
}

bool LooksLikeLogLine(const std::string& line, const char* tail) {
    // "YYYY-MM-DD hh:mm:ss.mmm " then the codes and the text.
    const char* shape = "dddd-dd-dd dd:dd:dd.ddd ";
    for (size_t i = 0; shape[i]; ++i) {
        if (i >= line.size()) return false;
        bool digit = line[i] >= '0' && line[i] <= '9';
        if (shape[i] == 'd' ? !digit : line[i] != shape[i]) return false;
    }
    return line.substr(24) == tail;
}

void TestLog(const std::wstring& scratch) {
    CreateDirectoryW(scratch.c_str(), nullptr);
    SetEnvironmentVariableW(L"LOCALAPPDATA", scratch.c_str());
    IDispatch* logger = Create(L"QORLog.Logger");
    CHECK(logger);
    if (!logger) return;
    Var source(7L), c1(3L), c2(5L), text(L"QorIcon frmMain.RefreshNumState - x\r\nnext");
    Var c3(1L), c4(4L), text2(L"Gr\u00fc\u00dfe");
    CHECK(SUCCEEDED(Call(logger, 1, DISPATCH_METHOD, {&source, &c1, &c2, &text})));
    CHECK(SUCCEEDED(Call(logger, 1, DISPATCH_METHOD, {&source, &c3, &c4, &text2})));
    std::string log = ReadWholeFile(scratch + L"\\Norvane\\5521\\qorIcon.log");
    size_t end = log.find("\r\n");
    CHECK(end != std::string::npos);
    CHECK(LooksLikeLogLine(log.substr(0, end), "7 3 5 QorIcon frmMain.RefreshNumState - x  next"));
    CHECK(LooksLikeLogLine(log.substr(end + 2),
                           "7 1 4 Gr\xc3\xbc\xc3\x9f"
                           "e\r\n"));

    // A line that would take the log past 5 MB first moves it to qorIcon.old.log;
    // the next cap replaces that older file, so two files at most remain.
    const std::wstring path = scratch + L"\\Norvane\\5521\\qorIcon.log";
    const std::wstring old = scratch + L"\\Norvane\\5521\\qorIcon.old.log";
    for (char filler : {'a', 'b'}) {
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const std::string block(5 * 1024 * 1024 - 10, filler);
        DWORD written = 0;
        ::WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
        CloseHandle(file);
        CHECK(SUCCEEDED(Call(logger, 1, DISPATCH_METHOD, {&source, &c3, &c4, &text2})));
        CHECK(ReadWholeFile(old).substr(0, 4) == std::string(4, filler));
        const std::string fresh = ReadWholeFile(path);
        CHECK(LooksLikeLogLine(fresh,
                               "7 1 4 Gr\xc3\xbc\xc3\x9f"
                               "e\r\n"));
    }

    // A file where the company folder should be: nothing can be written, and the
    // caller hears nothing of it.
    std::wstring blocked = scratch + L"\\blocked";
    CreateDirectoryW(blocked.c_str(), nullptr);
    CloseHandle(CreateFileW((blocked + L"\\Norvane").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
    SetEnvironmentVariableW(L"LOCALAPPDATA", blocked.c_str());
    CHECK(SUCCEEDED(Call(logger, 1, DISPATCH_METHOD, {&source, &c1, &c2, &text})));
    SetEnvironmentVariableW(L"LOCALAPPDATA", (scratch + L"\\missing\\deeper").c_str());
    CHECK(SUCCEEDED(Call(logger, 1, DISPATCH_METHOD, {&source, &c1, &c2, &text})));
    CHECK(GetFileAttributesW((scratch + L"\\missing").c_str()) == INVALID_FILE_ATTRIBUTES);
    logger->Release();
}

// ---- tray icon -----------------------------------------------------------------------

enum Dispid : DISPID {
    kItem = 0,
    kShortCut = 0x68030001,
    kShortCutActive = 0x68030002,
    kBlinking = 0x68030005,
    kBlinkIcon = 0x68030006,
    kVisible = 0x68030008,
    kToolTip = 0x68030009,
    kIcon = 0x6803000A,
    kOLEDrag = 0x6003001D,
};

// Records every event with its arguments after the index; fills the drag data.
class Sink : public IDispatch {
  public:
    struct Raised {
        DISPID id;
        long first;  // Value, Button, Shift or Effect: the first argument after Index
        bool operator==(const Raised&) const = default;
    };
    std::vector<Raised> events;
    // When set, a right press opens a popup menu owned by this window at the
    // pointer, as the tray form does; where the pointer was is kept.
    HWND menuOwner = nullptr;
    POINT pointerAtMenu{};

    // The events of buttons and clicks, in order; pointer moves left out.
    std::vector<Raised> Presses() const {
        std::vector<Raised> presses;
        for (const auto& e : events)
            if (e.id != TrayIconEventMouseMove) presses.push_back(e);
        return presses;
    }

    int Count(DISPID id, long first) const {
        int n = 0;
        for (const auto& e : events) n += e.id == id && e.first == first;
        return n;
    }
    int Count(DISPID id) const {
        int n = 0;
        for (const auto& e : events) n += e.id == id;
        return n;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != events_)
            return *out = nullptr, E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        // Arguments arrive last first: rgvarg[cArgs - 1] is Index.
        long first = 0;
        if (p->cArgs >= 2) {
            VARIANT& a = p->rgvarg[p->cArgs - 2];
            if (V_VT(&a) == (VT_BYREF | VT_I2)) first = *V_I2REF(&a);
            if (V_VT(&a) == (VT_BYREF | VT_I4)) first = *V_I4REF(&a);
        }
        if (id == TrayIconEventOLEStartDrag && p->cArgs == 3) {
            IDispatch* data = *V_DISPATCHREF(&p->rgvarg[1]);
            Var text(L"0301234"), format(1L);
            CHECK(data && SUCCEEDED(Call(data, 1, DISPATCH_METHOD, {&text, &format})));
            *V_I4REF(&p->rgvarg[0]) = 3;
        }
        events.push_back({id, first});
        if (id == TrayIconEventMouseDown && first == 2 && menuOwner) {
            GetCursorPos(&pointerAtMenu);
            ShowMenuAtPointer(menuOwner);
        }
        return S_OK;
    }
    IID events_ = IID_NULL;

  private:
    static void ShowMenuAtPointer(HWND owner);
};

RECT gMenuRect{};

// Closes the popup as a user pressing Escape would, after noting where it was.
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (HWND menu = FindWindowW(L"#32768", nullptr)) GetWindowRect(menu, &gMenuRect);
    EndMenu();
}

void Sink::ShowMenuAtPointer(HWND owner) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Answer");
    POINT at{};
    GetCursorPos(&at);
    gMenuRect = {};
    SetForegroundWindow(owner);
    SetTimer(nullptr, 0, 300, CloseMenu);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

std::vector<HWND> ShellIcons() {
    std::vector<HWND> found;
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    for (HWND child = nullptr;
         tray && (child = FindWindowExW(tray, child, L"__winex11_tray_icon", nullptr));)
        found.push_back(child);
    return found;
}

// Waits until the shell shows `count` icons.
bool WaitForIcons(size_t count) {
    for (int i = 0; i < 40 && ShellIcons().size() != count; ++i) Pump(100);
    return ShellIcons().size() == count;
}

// The tooltip text the shell keeps for an icon, read from the shell's process.
std::wstring ShellToolTip(HWND icon) {
    struct Search {
        HWND icon;
        DWORD pid;
        HANDLE process;
        BYTE* remote;
        std::wstring text;
    } s{icon, 0, nullptr, nullptr, {}};
    GetWindowThreadProcessId(icon, &s.pid);
    s.process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, s.pid);
    if (!s.process) return {};
    s.remote = static_cast<BYTE*>(
        VirtualAllocEx(s.process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            wchar_t name[64];
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid != s.pid || !GetClassNameW(window, name, 64) ||
                lstrcmpiW(name, TOOLTIPS_CLASSW) != 0)
                return TRUE;
            TTTOOLINFOW info{};
            info.cbSize = sizeof(info);
            info.hwnd = s.icon;
            info.uId = reinterpret_cast<UINT_PTR>(s.icon);
            info.lpszText = reinterpret_cast<LPWSTR>(s.remote + 1024);
            wchar_t text[512] = {};
            WriteProcessMemory(s.process, s.remote, &info, sizeof(info), nullptr);
            WriteProcessMemory(s.process, s.remote + 1024, text, sizeof(text), nullptr);
            DWORD_PTR unused;
            SendMessageTimeoutW(window, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(s.remote),
                                SMTO_ABORTIFHUNG, 2000, &unused);
            ReadProcessMemory(s.process, s.remote + 1024, text, sizeof(text) - 2, nullptr);
            if (!text[0]) return TRUE;
            s.text = text;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    VirtualFreeEx(s.process, s.remote, 0, MEM_RELEASE);
    CloseHandle(s.process);
    return s.text;
}

int gTimerTicks = 0;
HWND gControlWindow = nullptr;
LRESULT CALLBACK CountTimers(int code, WPARAM removed, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && removed == PM_REMOVE && msg->message == WM_TIMER &&
        msg->hwnd == gControlWindow)
        ++gTimerTicks;
    return CallNextHookEx(nullptr, code, removed, lParam);
}

void Post(HWND icon, UINT message) {
    PostMessageW(icon, message, 0, MAKELPARAM(8, 8));
}

// The sizes of the icons given to the shell by the calls from `from` on.
std::vector<int> IconsSent(size_t from) {
    std::vector<int> sizes;
    const auto& calls = ShellCalls().calls;
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].message != NIM_SETVERSION && (calls[i].data.uFlags & NIF_ICON))
            sizes.push_back(calls[i].iconWidth);
    return sizes;
}

// One tray icon control shown in the notification area with a library picture,
// a sink listening to its events, and the shell's calls recorded from its start.
struct ShownTray {
    IDispatch* icons = Create(L"QORIcons.Icons");
    IDispatch* control = Create(L"TrayIconCtl.TrayIcon");
    IDispatch* item = nullptr;
    Sink sink;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    size_t before = ShellIcons().size();  // the shell's icons before ours
    HWND shellIcon = nullptr;             // the shell's window of our icon
    NOTIFYICONDATAW added{};              // what the control gave the shell to add it
    bool ok = false;

    explicit ShownTray(short iconId) {
        const bool recording = qortest::RecordShellCalls();
        CHECK(icons && control && recording);
        if (!icons || !control || !recording) return;
        Var index(short{1}), result;
        CHECK(SUCCEEDED(Call(control, kItem, DISPATCH_PROPERTYGET, {&index}, &result)));
        item = result.pdispVal;
        item->AddRef();
        IProvideClassInfo2* classInfo = nullptr;
        IConnectionPointContainer* container = nullptr;
        control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo));
        CHECK(classInfo &&
              SUCCEEDED(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &sink.events_)));
        control->QueryInterface(IID_IConnectionPointContainer,
                                reinterpret_cast<void**>(&container));
        CHECK(container && SUCCEEDED(container->FindConnectionPoint(sink.events_, &point)));
        CHECK(point && SUCCEEDED(point->Advise(&sink, &cookie)));
        if (classInfo) classInfo->Release();
        if (container) container->Release();

        const size_t from = ShellCalls().calls.size();
        Var picture(GetIcon(icons, iconId)), yes(true);
        CHECK(SUCCEEDED(Call(item, kIcon, DISPATCH_PROPERTYPUTREF, {&picture})));
        CHECK(SUCCEEDED(Call(item, kVisible, DISPATCH_PROPERTYPUT, {&yes})));
        CHECK(WaitForIcons(before + 1));
        std::vector<HWND> shown = ShellIcons();
        shellIcon = shown.size() > before ? shown.back() : nullptr;
        for (size_t i = from; i < ShellCalls().calls.size(); ++i)
            if (ShellCalls().calls[i].message == NIM_ADD) added = ShellCalls().calls[i].data;
        CHECK(added.hWnd && added.uCallbackMessage);
        ok = point && cookie && added.hWnd;
    }
    ~ShownTray() {
        if (item) {
            Var no(false);
            CHECK(SUCCEEDED(Call(item, kVisible, DISPATCH_PROPERTYPUT, {&no})));
            CHECK(WaitForIcons(before));
            item->Release();
        }
        if (point) {
            point->Unadvise(cookie);
            point->Release();
        }
        if (control) control->Release();
        if (icons) icons->Release();
    }
    ShownTray(const ShownTray&) = delete;
    ShownTray& operator=(const ShownTray&) = delete;

    // Posts what the shell posts the icon's owner (version 4): the notice in the low
    // word, the icon's id in the high word, and where it happened.
    void Notify(UINT notice, POINT anchor = {}) const {
        PostMessageW(added.hWnd, added.uCallbackMessage, MAKEWPARAM(anchor.x, anchor.y),
                     MAKELPARAM(notice, added.uID));
    }
    // The middle of the shell's icon, where the shell anchors the menu.
    POINT Anchor() const {
        RECT rect{100, 100, 120, 120};
        if (shellIcon) GetWindowRect(shellIcon, &rect);
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
};

void TestTray() {
    ShownTray tray(10011);
    if (!tray.ok) return;
    IDispatch* icon = tray.item;
    Sink& sink = tray.sink;
    HWND ours = tray.shellIcon;
    const size_t before = tray.before;
    Var badIndex(short{2}), none;
    CHECK(FAILED(Call(tray.control, kItem, DISPATCH_PROPERTYGET, {&badIndex}, &none)));

    Var ringing(GetIcon(tray.icons, 10032)), yes(true), no(false);
    Var tip(L"Extension: 2101");
    CHECK(SUCCEEDED(Call(icon, kToolTip, DISPATCH_PROPERTYPUT, {&tip})));
    Pump(50);  // the shell hears of it once the thread is back at its messages
    CHECK(ShellToolTip(ours) == L"Extension: 2101");

    // Tooltips are cut at 127 characters; half a surrogate pair is dropped with it.
    Var longTip(std::wstring(200, L'x'));
    CHECK(SUCCEEDED(Call(icon, kToolTip, DISPATCH_PROPERTYPUT, {&longTip})));
    Pump(50);
    CHECK(ShellToolTip(ours) == std::wstring(127, L'x'));
    Var pairTip(std::wstring(126, L'y') + L"\U0001F4DE and more");
    CHECK(SUCCEEDED(Call(icon, kToolTip, DISPATCH_PROPERTYPUT, {&pairTip})));
    Pump(50);
    CHECK(ShellToolTip(ours) == std::wstring(126, L'y'));

    // A click raises Click once the double-click time has passed; a double click
    // raises DblClick and no Click. The shell follows each left release with its
    // selection notice and each right release with its menu notice: no more events.
    Post(ours, WM_LBUTTONDOWN);
    Post(ours, WM_LBUTTONUP);
    Pump(GetDoubleClickTime() + 400);
    CHECK(sink.Count(TrayIconEventMouseDown, 1) == 1 && sink.Count(TrayIconEventMouseUp, 1) == 1);
    CHECK(sink.Count(TrayIconEventClick, 1) == 1);
    sink.events.clear();
    Post(ours, WM_LBUTTONDOWN);
    Post(ours, WM_LBUTTONUP);
    Post(ours, WM_LBUTTONDBLCLK);
    Post(ours, WM_LBUTTONUP);
    Pump(GetDoubleClickTime() + 400);
    CHECK(sink.Count(TrayIconEventDblClick, 1) == 1 && sink.Count(TrayIconEventClick) == 0);

    sink.events.clear();
    Post(ours, WM_RBUTTONDOWN);
    Post(ours, WM_RBUTTONUP);
    Pump(300);
    CHECK(sink.Count(TrayIconEventMouseDown, 2) == 1 && sink.Count(TrayIconEventMouseUp, 2) == 1);
    CHECK(sink.Count(TrayIconEventShortCutClick) == 0);

    // Short dial: a right click with Ctrl held while ShortCutActive.
    sink.events.clear();
    Var ctrl(short{2});
    CHECK(SUCCEEDED(Call(icon, kShortCut, DISPATCH_PROPERTYPUT, {&ctrl})));
    CHECK(SUCCEEDED(Call(icon, kShortCutActive, DISPATCH_PROPERTYPUT, {&yes})));
    keybd_event(VK_CONTROL, 0, 0, 0);
    Pump(100);
    Post(ours, WM_RBUTTONDOWN);
    Post(ours, WM_RBUTTONUP);
    Pump(300);
    keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    CHECK(sink.Count(TrayIconEventShortCutClick, 2) == 1 &&
          sink.Count(TrayIconEventMouseDown) == 0);
    CHECK(SUCCEEDED(Call(icon, kShortCutActive, DISPATCH_PROPERTYPUT, {&no})));

    // The pointer leaving the icon is reported with a negative value.
    sink.events.clear();
    POINT cursor;
    GetCursorPos(&cursor);
    Post(ours, WM_MOUSEMOVE);
    Pump(100);
    CHECK(sink.Count(TrayIconEventMouseMove, 0) == 1);
    SetCursorPos(cursor.x + 40, cursor.y + 40);
    Pump(700);
    CHECK(sink.Count(TrayIconEventMouseMove, -1) == 1);

    // Blinking runs a timer only while it blinks.
    gControlWindow = FindWindowW(L"QorTrayIconWindow", nullptr);
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountTimers, nullptr, GetCurrentThreadId());
    CHECK(gControlWindow && hook);
    CHECK(SUCCEEDED(Call(icon, kBlinkIcon, DISPATCH_PROPERTYPUTREF, {&ringing})));
    CHECK(SUCCEEDED(Call(icon, kBlinking, DISPATCH_PROPERTYPUT, {&yes})));
    gTimerTicks = 0;
    Pump(1700);
    CHECK(gTimerTicks >= 2);
    CHECK(SUCCEEDED(Call(icon, kBlinking, DISPATCH_PROPERTYPUT, {&no})));
    Pump(100);
    gTimerTicks = 0;
    Pump(1200);
    CHECK(gTimerTicks == 0);
    UnhookWindowsHookEx(hook);
    Var blinkNothing;
    blinkNothing.vt = VT_DISPATCH, blinkNothing.pdispVal = nullptr;
    CHECK(SUCCEEDED(Call(icon, kBlinkIcon, DISPATCH_PROPERTYPUTREF, {&blinkNothing})));

    // The shell forgets every icon when it restarts and says so with TaskbarCreated.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = gControlWindow;
    data.uID = 1;
    CHECK(Shell_NotifyIconW(NIM_DELETE, &data));
    CHECK(WaitForIcons(before));
    DWORD_PTR unused;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0,
                        SMTO_ABORTIFHUNG, 2000, &unused);
    CHECK(WaitForIcons(before + 1));

    // A drag lets the handler fill the data, then runs (and ends at once: no button is held).
    sink.events.clear();
    CHECK(SUCCEEDED(Call(icon, kOLEDrag, DISPATCH_METHOD, {})));
    CHECK(sink.Count(TrayIconEventOLEStartDrag) == 1 &&
          sink.Count(TrayIconEventOLECompleteDrag) == 1);
}

// The changes of one presentation (picture, blink picture, blinking, tooltip) reach
// the shell in one call, once the thread is back at its messages; the same again
// sends nothing. (The whole road of a call through the real form: wine.client.)
// Reading a property back, and showing or hiding the icon, tell the shell at once.
void TestBatch() {
    ShownTray tray(10011);
    if (!tray.ok) return;
    Var ringing(GetIcon(tray.icons, 10031)), blink(GetIcon(tray.icons, 10032)), yes(true),
        no(false), answer(L"Answer 0612345678");
    const DWORD start = GetTickCount();  // blinking starts with the first presentation
    for (int expected : {1, 0}) {
        const size_t from = ShellCalls().calls.size();
        CHECK(SUCCEEDED(Call(tray.item, kIcon, DISPATCH_PROPERTYPUTREF, {&ringing})));
        CHECK(SUCCEEDED(Call(tray.item, kBlinkIcon, DISPATCH_PROPERTYPUTREF, {&blink})));
        CHECK(SUCCEEDED(Call(tray.item, kBlinking, DISPATCH_PROPERTYPUT, {&yes})));
        CHECK(SUCCEEDED(Call(tray.item, kToolTip, DISPATCH_PROPERTYPUT, {&answer})));
        const int during = CountShellCalls(from, NIM_MODIFY);
        Pump(50);
        // A blink is a change of its own: only what is done before the first blink counts.
        const bool timely = GetTickCount() - start < 400;
        const int after = CountShellCalls(from, NIM_MODIFY);
        if (during != 0 || (timely && after != expected))
            std::printf("%d modifications meanwhile, %d after\n", during, after);
        CHECK(during == 0 && (!timely || after == expected));
    }
    CHECK(ShellToolTip(tray.shellIcon) == L"Answer 0612345678");
    CHECK(SUCCEEDED(Call(tray.item, kBlinking, DISPATCH_PROPERTYPUT, {&no})));

    // Read back: sent before the answer.
    Var readBack(L"read back"), value;
    size_t from = ShellCalls().calls.size();
    CHECK(SUCCEEDED(Call(tray.item, kToolTip, DISPATCH_PROPERTYPUT, {&readBack})));
    CHECK(CountShellCalls(from, NIM_MODIFY) == 0);
    CHECK(SUCCEEDED(Call(tray.item, kToolTip, DISPATCH_PROPERTYGET, {}, &value)));
    CHECK(CountShellCalls(from, NIM_MODIFY) == 1 && value.Text() == L"read back");
    Pump(50);
    CHECK(CountShellCalls(from, NIM_MODIFY) == 1);

    // Hidden and shown again at once, the add carrying what was set just before.
    from = ShellCalls().calls.size();
    Var last(L"shown again");
    CHECK(SUCCEEDED(Call(tray.item, kVisible, DISPATCH_PROPERTYPUT, {&no})));
    CHECK(CountShellCalls(from, NIM_DELETE) == 1);
    CHECK(SUCCEEDED(Call(tray.item, kToolTip, DISPATCH_PROPERTYPUT, {&last})));
    CHECK(SUCCEEDED(Call(tray.item, kVisible, DISPATCH_PROPERTYPUT, {&yes})));
    const auto& calls = ShellCalls().calls;
    CHECK(CountShellCalls(from, NIM_ADD) == 1 && calls.back().message == NIM_SETVERSION &&
          std::wstring(calls[calls.size() - 2].data.szTip) == L"shown again");
    CHECK(WaitForIcons(tray.before + 1));
    Pump(50);
    CHECK(CountShellCalls(from, NIM_MODIFY) == 0);
}

using Raised = Sink::Raised;

// The keyboard drives the tray as the mouse does: a selection is a left click, the
// context-menu key a right click whose menu opens at the icon, and afterwards the
// keyboard focus goes back to the notification area.
void TestKeys() {
    ShownTray tray(10011);
    if (!tray.ok) return;
    const POINT anchor = tray.Anchor();
    struct Row {
        const char* what;
        std::vector<UINT> notices;
        bool fromKeys;
    };
    const Row selections[] = {
        {"Space", {NIN_KEYSELECT}, true},
        {"Enter, which the shell reports twice", {NIN_KEYSELECT, NIN_KEYSELECT}, true},
        {"a selection no click came before", {NIN_SELECT}, true},
        {"a click and the shell's selection after it",
         {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT},
         false},
    };
    const std::vector<Raised> press = {{TrayIconEventMouseDown, 1}, {TrayIconEventMouseUp, 1}};
    for (const Row& row : selections) {
        tray.sink.events.clear();
        const size_t from = ShellCalls().calls.size();
        for (UINT notice : row.notices) tray.Notify(notice, anchor);
        Pump(100);
        const bool pressed = tray.sink.Presses() == press;  // Click waits, as for a click
        Pump(GetDoubleClickTime() + 400);
        const bool clicked =
            tray.sink.Presses() == std::vector<Raised>{press[0], press[1], {TrayIconEventClick, 1}};
        const int focus = CountShellCalls(from, NIM_SETFOCUS);
        if (!pressed || !clicked || focus != row.fromKeys)
            std::printf("%s: %zu events, focus given back %d times\n", row.what,
                        tray.sink.Presses().size(), focus);
        CHECK(pressed && clicked && focus == row.fromKeys);
    }

    // The form opens its menu where the pointer is: the control puts the pointer on
    // the icon meanwhile, then back. Shift+F10 holds Shift: still no short dial.
    HWND form = CreateWindowExW(0, L"STATIC", L"form", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                nullptr, nullptr);
    tray.sink.menuOwner = form;
    Var shift(short{1}), yes(true);
    CHECK(SUCCEEDED(Call(tray.item, kShortCut, DISPATCH_PROPERTYPUT, {&shift})));
    CHECK(SUCCEEDED(Call(tray.item, kShortCutActive, DISPATCH_PROPERTYPUT, {&yes})));
    const Row menus[] = {
        {"the menu key", {WM_CONTEXTMENU}, true},
        {"a right click and the shell's menu notice after it",
         {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU},
         false},
        {"Shift+F10 with the short dial on Shift", {WM_CONTEXTMENU}, true},
    };
    for (const Row& row : menus) {
        SetCursorPos(anchor.x + 150, anchor.y + 100);
        POINT start{}, after{};
        GetCursorPos(&start);
        const bool withShift = &row == &menus[2];
        if (withShift) keybd_event(VK_SHIFT, 0, 0, 0);
        Pump(50);
        tray.sink.events.clear();
        const size_t from = ShellCalls().calls.size();
        for (UINT notice : row.notices) tray.Notify(notice, anchor);
        Pump(800);
        if (withShift) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
        GetCursorPos(&after);
        const POINT at = row.fromKeys ? anchor : start;
        const POINT menu{gMenuRect.left, gMenuRect.top}, pointer = tray.sink.pointerAtMenu;
        const bool ok = tray.sink.Presses() == std::vector<Raised>{{TrayIconEventMouseDown, 2},
                                                                   {TrayIconEventMouseUp, 2}} &&
                        pointer.x == at.x && pointer.y == at.y && menu.x == at.x &&
                        menu.y == at.y && after.x == start.x && after.y == start.y &&
                        CountShellCalls(from, NIM_SETFOCUS) == row.fromKeys;
        if (!ok)
            std::printf("%s: %zu events; menu at %ld,%ld, pointer at %ld,%ld then %ld,%ld\n",
                        row.what, tray.sink.Presses().size(), menu.x, menu.y, pointer.x, pointer.y,
                        after.x, after.y);
        CHECK(ok);
    }
    tray.sink.menuOwner = nullptr;
    DestroyWindow(form);
}

// The notification area wants another icon size at each DPI: the control asks the
// library's picture for that size, and chooses again on every change.
void TestDpi() {
    ShownTray tray(10011);
    if (!tray.ok) return;
    const int small = GetSystemMetrics(SM_CXSMICON);
    CHECK(IconsSent(0) == std::vector<int>{small});

    // The same picture set again sends nothing: the shell would repaint for nothing.
    Var shown;
    CHECK(SUCCEEDED(Call(tray.item, kIcon, DISPATCH_PROPERTYGET, {}, &shown)));
    size_t from = ShellCalls().calls.size();
    CHECK(SUCCEEDED(Call(tray.item, kIcon, DISPATCH_PROPERTYPUTREF, {&shown})));
    CHECK(IconsSent(from).empty());

    struct Change {
        UINT message;
        UINT dpi;
        std::vector<int> sent;
    };
    // A shell that still knows the icon refuses the restart's add: the same icon
    // then goes again as a change.
    const Change changes[] = {
        {WM_DPICHANGED, 120, {20}}, {WM_DPICHANGED, 192, {32}},
        {WM_DPICHANGED, 192, {}},   {WM_SETTINGCHANGE, 0, {small}},  // back to the window's own DPI
        {WM_DPICHANGED, 144, {24}}, {RegisterWindowMessageW(L"TaskbarCreated"), 0, {small, small}},
        {WM_DPICHANGED, 96, {}},    {WM_DPICHANGED, 144, {24}},
    };
    RECT suggested{0, 0, 100, 100};
    for (const Change& row : changes) {
        from = ShellCalls().calls.size();
        SendMessageW(tray.added.hWnd, row.message, MAKEWPARAM(row.dpi, row.dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        const std::vector<int> sent = IconsSent(from);
        if (sent != row.sent)
            std::printf("message %04x at %u DPI: %zu icons sent, the first %d px\n", row.message,
                        row.dpi, sent.size(), sent.empty() ? 0 : sent[0]);
        CHECK(sent == row.sent);
    }

    // Both blink pictures come in the size of the DPI.
    Var ringing(GetIcon(tray.icons, 10032)), yes(true), no(false);
    CHECK(SUCCEEDED(Call(tray.item, kBlinkIcon, DISPATCH_PROPERTYPUTREF, {&ringing})));
    from = ShellCalls().calls.size();
    CHECK(SUCCEEDED(Call(tray.item, kBlinking, DISPATCH_PROPERTYPUT, {&yes})));
    Pump(1300);
    CHECK(SUCCEEDED(Call(tray.item, kBlinking, DISPATCH_PROPERTYPUT, {&no})));
    const std::vector<int> blinks = IconsSent(from);
    CHECK(blinks.size() >= 2 && blinks == std::vector<int>(blinks.size(), 24));
}

// ---- helpers of the harness ---------------------------------------------------------

void Keeper() {
    HWND window = CreateWindowExW(0, L"STATIC", L"keeper", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpyW(data.szTip, L"keeper");
    std::printf(Shell_NotifyIconW(NIM_ADD, &data) ? "ready\n" : "no tray\n");
    std::fflush(stdout);
    for (MSG msg; GetMessageW(&msg, nullptr, 0, 0) > 0;) DispatchMessageW(&msg);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring name = argc > 1 ? argv[1] : L"";
    if (name == L"keeper") return Keeper(), 0;
    OleInitialize(nullptr);
    if (name == L"icons") {
        TestIcons();
    } else if (name == L"translate") {
        TestTranslate();
    } else if (name == L"log" && argc > 2) {
        TestLog(argv[2]);
    } else if (name == L"tray") {
        TestTray();
    } else if (name == L"keys") {
        TestKeys();
    } else if (name == L"dpi") {
        TestDpi();
    } else if (name == L"batch") {
        TestBatch();
    } else {
        std::printf("unknown case\n");
        return 2;
    }
    OleUninitialize();
    std::printf("RESULT %ls %s\n", name.c_str(), gFailures ? "failed" : "ok");
    return gFailures ? 1 : 0;
}
