// Proves the outside parts under Wine the way the component uses them: created by
// ProgID and called late-bound through the dispatch ids of their contracts.
//   partstest <case>   runs one case and ends with "RESULT <case> ok|failed"
//   partstest keeper   keeps one tray icon of its own (removing the last icon stalls)
//   partstest gallery <file>  shows one tray icon per state and writes their rects

#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

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
    ICONINFO info{};
    int size = 0;
    if (type == PICTYPE_ICON &&
        GetIconInfo(static_cast<HICON>(LongToHandle(static_cast<LONG>(handle))), &info)) {
        BITMAP bitmap{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        size = bitmap.bmWidth;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    ole->Release();
    return size;
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
enum Event : DISPID {
    kMouseMove = 1,
    kMouseDown,
    kMouseUp,
    kClick,
    kDblClick,
    kShortCutClick,
    kOLEStartDrag,
    kOLEDragOver,
    kOLECompleteDrag
};

// Records every event with its arguments after the index; fills the drag data.
class Sink : public IDispatch {
  public:
    struct Raised {
        DISPID id;
        long first;  // Value, Button, Shift or Effect: the first argument after Index
    };
    std::vector<Raised> events;

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
        if (id == kOLEStartDrag && p->cArgs == 3) {
            IDispatch* data = *V_DISPATCHREF(&p->rgvarg[1]);
            Var text(L"0301234"), format(1L);
            CHECK(data && SUCCEEDED(Call(data, 1, DISPATCH_METHOD, {&text, &format})));
            *V_I4REF(&p->rgvarg[0]) = 3;
        }
        events.push_back({id, first});
        return S_OK;
    }
    IID events_ = IID_NULL;
};

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

void TestTray() {
    IDispatch* icons = Create(L"QORIcons.Icons");
    IDispatch* control = Create(L"TrayIconCtl.TrayIcon");
    CHECK(icons && control);
    if (!icons || !control) return;
    const size_t before = ShellIcons().size();

    Var index(short{1}), item;
    CHECK(SUCCEEDED(Call(control, kItem, DISPATCH_PROPERTYGET, {&index}, &item)));
    Var badIndex(short{2}), none;
    CHECK(FAILED(Call(control, kItem, DISPATCH_PROPERTYGET, {&badIndex}, &none)));
    IDispatch* icon = item.pdispVal;

    Sink sink;
    IProvideClassInfo2* classInfo = nullptr;
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo));
    CHECK(classInfo &&
          SUCCEEDED(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &sink.events_)));
    control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    CHECK(container && SUCCEEDED(container->FindConnectionPoint(sink.events_, &point)));
    CHECK(point && SUCCEEDED(point->Advise(&sink, &cookie)));

    Var idle(GetIcon(icons, 10011)), ringing(GetIcon(icons, 10032)), yes(true), no(false);
    CHECK(SUCCEEDED(Call(icon, kIcon, DISPATCH_PROPERTYPUTREF, {&idle})));
    Var tip(L"Extension: 2101");
    CHECK(SUCCEEDED(Call(icon, kToolTip, DISPATCH_PROPERTYPUT, {&tip})));
    CHECK(SUCCEEDED(Call(icon, kVisible, DISPATCH_PROPERTYPUT, {&yes})));
    CHECK(WaitForIcons(before + 1));
    std::vector<HWND> shown = ShellIcons();
    HWND ours = shown.empty() ? nullptr : shown.back();
    CHECK(ShellToolTip(ours) == L"Extension: 2101");

    // Tooltips are cut at 127 characters; half a surrogate pair is dropped with it.
    Var longTip(std::wstring(200, L'x'));
    CHECK(SUCCEEDED(Call(icon, kToolTip, DISPATCH_PROPERTYPUT, {&longTip})));
    CHECK(ShellToolTip(ours) == std::wstring(127, L'x'));
    Var pairTip(std::wstring(126, L'y') + L"\U0001F4DE and more");
    CHECK(SUCCEEDED(Call(icon, kToolTip, DISPATCH_PROPERTYPUT, {&pairTip})));
    CHECK(ShellToolTip(ours) == std::wstring(126, L'y'));

    // A click raises Click once the double-click time has passed; a double click
    // raises DblClick and no Click.
    Post(ours, WM_LBUTTONDOWN);
    Post(ours, WM_LBUTTONUP);
    Pump(GetDoubleClickTime() + 400);
    CHECK(sink.Count(kMouseDown, 1) == 1 && sink.Count(kMouseUp, 1) == 1);
    CHECK(sink.Count(kClick, 1) == 1);
    sink.events.clear();
    Post(ours, WM_LBUTTONDOWN);
    Post(ours, WM_LBUTTONUP);
    Post(ours, WM_LBUTTONDBLCLK);
    Post(ours, WM_LBUTTONUP);
    Pump(GetDoubleClickTime() + 400);
    CHECK(sink.Count(kDblClick, 1) == 1 && sink.Count(kClick) == 0);

    sink.events.clear();
    Post(ours, WM_RBUTTONDOWN);
    Post(ours, WM_RBUTTONUP);
    Pump(300);
    CHECK(sink.Count(kMouseDown, 2) == 1 && sink.Count(kMouseUp, 2) == 1);
    CHECK(sink.Count(kShortCutClick) == 0);

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
    CHECK(sink.Count(kShortCutClick, 2) == 1 && sink.Count(kMouseDown) == 0);
    CHECK(SUCCEEDED(Call(icon, kShortCutActive, DISPATCH_PROPERTYPUT, {&no})));

    // The pointer leaving the icon is reported with a negative value.
    sink.events.clear();
    POINT cursor;
    GetCursorPos(&cursor);
    Post(ours, WM_MOUSEMOVE);
    Pump(100);
    CHECK(sink.Count(kMouseMove, 0) == 1);
    SetCursorPos(cursor.x + 40, cursor.y + 40);
    Pump(700);
    CHECK(sink.Count(kMouseMove, -1) == 1);

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
    CHECK(sink.Count(kOLEStartDrag) == 1 && sink.Count(kOLECompleteDrag) == 1);

    CHECK(SUCCEEDED(Call(icon, kVisible, DISPATCH_PROPERTYPUT, {&no})));
    CHECK(WaitForIcons(before));
    point->Unadvise(cookie);
    point->Release();
    container->Release();
    classInfo->Release();
    control->Release();
    icons->Release();
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

void Gallery(const wchar_t* rectsFile) {
    const short ids[] = {10021, 10022, 10011, 10031, 10032, 10041, 10051, 10052, 10053,
                         10061, 10071, 10081, 10091, 10101, 10111, 10112, 1010,  1661};
    IDispatch* icons = Create(L"QORIcons.Icons");
    std::vector<IDispatch*> controls;
    const size_t before = ShellIcons().size();
    for (short id : ids) {
        IDispatch* control = Create(L"TrayIconCtl.TrayIcon");
        Var index(short{1}), item, picture(GetIcon(icons, id)), yes(true);
        Call(control, kItem, DISPATCH_PROPERTYGET, {&index}, &item);
        Call(item.pdispVal, kIcon, DISPATCH_PROPERTYPUTREF, {&picture});
        Call(item.pdispVal, kVisible, DISPATCH_PROPERTYPUT, {&yes});
        controls.push_back(control);
    }
    WaitForIcons(before + std::size(ids));
    Pump(500);
    // The shell lists icons in the order they came; ours follow the keeper's.
    FILE* out = _wfopen(rectsFile, L"w");
    std::vector<HWND> shown = ShellIcons();
    for (size_t i = 0; i < std::size(ids) && before + i < shown.size(); ++i) {
        RECT r;
        GetWindowRect(shown[before + i], &r);
        std::fprintf(out, "%d %ld %ld %ld %ld\n", ids[i], r.left, r.top, r.right - r.left,
                     r.bottom - r.top);
    }
    std::fclose(out);
    for (;;) Pump(1000);  // the harness ends the prefix when it has its picture
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring name = argc > 1 ? argv[1] : L"";
    if (name == L"keeper") return Keeper(), 0;
    OleInitialize(nullptr);
    if (name == L"gallery" && argc > 2) return Gallery(argv[2]), 0;
    if (name == L"icons") {
        TestIcons();
    } else if (name == L"translate") {
        TestTranslate();
    } else if (name == L"log" && argc > 2) {
        TestLog(argv[2]);
    } else if (name == L"tray") {
        TestTray();
    } else {
        std::printf("unknown case\n");
        return 2;
    }
    OleUninitialize();
    std::printf("RESULT %ls %s\n", name.c_str(), gFailures ? "failed" : "ok");
    return gFailures ? 1 : 0;
}
