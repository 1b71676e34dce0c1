#include "sim/windows/WineWorld.h"

#include <fstream>
#include <functional>
#include <stdexcept>

#include "sim/windows/FormProbe.h"
#include "windows/com/Automation.h"
#include "windows/com/Text.h"

namespace qor::sim::win {

namespace {

constexpr char kFormClass[] = "qorIconTrayForm";
constexpr char kWindowClass[] = "qoriconSimWindow";
constexpr UINT kMsgConfigChanged = 0x446;

HKEY Root(RegKey root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(root));
}

void Check(LSTATUS status, const std::string& what) {
    if (status != ERROR_SUCCESS)
        throw std::runtime_error(what + " failed with Windows error " + std::to_string(status));
}

com::UniqueHkey CreateKey(RegKey root, const std::string& path) {
    com::UniqueHkey key;
    Check(RegCreateKeyExA(Root(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          key.Put(), nullptr),
          "opening registry key " + path);
    return key;
}

std::string LogFilePath() {
    char base[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", base, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::string(base) + "\\Norvane\\5521\\qorIcon.log";
}

BOOL CALLBACK FindFormWindow(HWND hwnd, LPARAM found) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    if (lstrcmpA(name, kFormClass) != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The form's menu as a tree, to lay over the popup the DLL built from it.
struct MenuNode {
    const MenuEntryView* item = nullptr;
    std::vector<MenuNode> children;
};

MenuNode MenuTree(const FormView& form) {
    MenuNode root;
    std::vector<MenuNode*> path{&root};
    for (const auto& item : form.items) {
        const auto depth = static_cast<std::size_t>(item.depth);
        if (depth + 1 > path.size()) continue;  // malformed depth: skip
        path.resize(depth + 1);
        path.back()->children.push_back({&item, {}});
        path.push_back(&path.back()->children.back());
    }
    return root;
}

}  // namespace

WineWorld::WineWorld() {
    // The scenario starts from what a fresh user would have.
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Norvane\\5521\\QORDial");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Norvane\\5521\\QORPhone");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Norvane\\5521\\Install");
    logPath_ = LogFilePath();
    if (!logPath_.empty()) DeleteFileA(logPath_.c_str());
    ClearClipboard();

    WNDCLASSA wc{};
    wc.lpfnWndProc = &PlainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);

    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"qorIcon.Launcher", &clsid)))
        throw std::runtime_error("qorIcon.Launcher is not registered (regsvr32 qorIcon.dll)");
    const HRESULT hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                        launcherFactory_.PutVoid());
    if (FAILED(hr))
        throw std::runtime_error("qorIcon.dll does not load: HRESULT " + std::to_string(hr));
    dll_ = GetModuleHandleA("qorIcon.dll");
    if (!dll_) throw std::runtime_error("qorIcon.Launcher is not served by qorIcon.dll");
    recorder_ = std::make_unique<Recorder>(dll_);
    recorder_->onPopup = [this](const std::vector<PopupEntry>& entries) {
        return AnswerPopup(entries);
    };
    tray_ = std::make_unique<TrayObserver>([this](DWORD ms) { Pump(ms); });
}

WineWorld::~WineWorld() {
    try {
        if (link_.HasLauncher()) link_.Release();
    } catch (...) {
        // The scenario is over; a failing release was reported by its own step.
    }
    clickToCall_ = nullptr;
    windows_.clear();
    // The next scenario in this prefix must not find this one's programs.
    for (const auto& program : programs_) DeleteFileA(program.c_str());
    Pump(50);
    tray_.reset();
    recorder_.reset();
}

// ---- Message loop

bool WineWorld::Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    bool dispatched = false;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && msg.hwnd == FormWindow() && msg.hwnd) {
                // The form's ticks are the scenario's to give.
                if (!tickWanted_) continue;
                tickWanted_ = false;
                ticked_ = true;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            if (msg.message != WM_TIMER && msg.message != WM_PAINT && msg.message != WM_NULL)
                dispatched = true;
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return dispatched;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

bool WineWorld::Settle() {
    return Pump(40);
}

HWND WineWorld::FormWindow() const {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindFormWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// ---- Settings and the desktop

void WineWorld::SetRegistryString(RegKey root, const std::string& path, const std::string& name,
                                  const std::string& value) {
    com::UniqueHkey key = CreateKey(root, path);
    Check(RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1)),
          "writing " + name);
}

void WineWorld::SetRegistryDword(RegKey root, const std::string& path, const std::string& name,
                                 std::uint32_t value) {
    com::UniqueHkey key = CreateKey(root, path);
    const DWORD data = value;
    Check(RegSetValueExA(key.Get(), name.c_str(), 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&data), sizeof data),
          "writing " + name);
}

void WineWorld::DeleteRegistryValue(RegKey root, const std::string& path, const std::string& name) {
    com::UniqueHkey key;
    if (RegOpenKeyExA(Root(root), path.c_str(), 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key.Get(), name.c_str());
}

void WineWorld::SetClipboard(const std::string& text) {
    if (!OpenClipboard(nullptr)) throw std::runtime_error("the clipboard cannot be opened");
    EmptyClipboard();
    com::UniqueHglobal memory(GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    bool copied = false;
    if (memory) {
        com::GlobalLockGuard lock(memory.Get());
        if (lock.Data()) CopyMemory(lock.Data(), text.c_str(), text.size() + 1);
        copied = lock.Data() != nullptr;
    }
    // Once placed, the clipboard owns the block.
    const bool placed = copied && SetClipboardData(CF_TEXT, memory.Get()) != nullptr;
    if (placed) memory.Release();
    CloseClipboard();
    if (!placed) throw std::runtime_error("the text could not be put on the clipboard");
}

void WineWorld::ClearClipboard() {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    CloseClipboard();
}

void WineWorld::OpenWindow(const std::string& title) {
    if (FindWindowA(nullptr, title.c_str())) return;
    HWND window = CreateWindowExA(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                  100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) throw std::runtime_error("cannot open a window titled " + title);
    windows_.emplace_back(window);
}

bool WineWorld::CloseWindow(const std::string& title) {
    HWND window = FindWindowA(nullptr, title.c_str());
    if (!window) return false;
    // A window the scenario opened goes with its owner; one it did not open is
    // asked to go directly, as before (only this thread's windows can be).
    const auto before = windows_.size();
    std::erase_if(windows_, [window](const com::UniqueHwnd& w) { return w.Get() == window; });
    if (windows_.size() == before) DestroyWindow(window);
    return true;
}

bool WineWorld::WindowOpen(const std::string& title) {
    return FindWindowA(nullptr, title.c_str()) != nullptr;
}

void WineWorld::AddProgram(const std::string& path) {
    // Every folder on the way, then an empty file: the component only needs to
    // find the program; starting it is recorded, not done.
    for (auto slash = path.find('\\', 3); slash != std::string::npos;
         slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
    CloseHandle(file);
    programs_.push_back(path);
}

// ---- The tray icon

void WineWorld::TrayMove() {
    tray_->Move();
}

void WineWorld::TrayLeave() {
    tray_->Leave();
}

void WineWorld::TrayPress(std::int16_t button, std::int16_t shift) {
    tray_->Press(button, shift);
}

void WineWorld::TrayRelease(std::int16_t button, std::int16_t shift) {
    tray_->Release(button, shift);
}

void WineWorld::TrayClick(std::int16_t button) {
    tray_->Click(button);
}

void WineWorld::TrayDoubleClick() {
    tray_->DoubleClick();
}

void WineWorld::TrayShortDial(std::int16_t shift) {
    tray_->ShortDial(shift);
}

void WineWorld::TrayDrag() {
    tray_->Drag();
}

PopupOutcome WineWorld::RightClickPopup(const std::string& choice) {
    PopupOutcome outcome;
    const auto before = recorder_->popups.size();
    popupChoice_ = choice;
    popupFound_ = false;
    try {
        tray_->RightPress();
    } catch (...) {
        popupChoice_.clear();
        throw;
    }
    popupChoice_.clear();
    outcome.shown = recorder_->popups.size() > before;
    outcome.found = popupFound_;
    tray_->Release(2);
    return outcome;
}

// The popup the DLL built, laid over the form's menu: the n-th entry shown is the
// n-th visible item. An entry whose caption is not that item's is named by its
// caption with a '?', so that an expectation on it fails and says why.
UINT WineWorld::AnswerPopup(const std::vector<PopupEntry>& entries) {
    FormView form;
    ReadFormProbe(dll_, form);
    const MenuNode tree = MenuTree(form);
    PopupView view;
    UINT chosen = 0;
    std::function<void(const std::vector<PopupEntry>&, const MenuNode&, bool)> lay =
        [&](const std::vector<PopupEntry>& shown, const MenuNode& parent, bool top) {
            std::vector<const MenuNode*> visible;
            for (const auto& child : parent.children)
                if (child.item->visible) visible.push_back(&child);
            for (std::size_t i = 0; i < shown.size(); ++i) {
                const auto& entry = shown[i];
                const MenuNode* node = i < visible.size() ? visible[i] : nullptr;
                const bool same = node && (entry.separator ? node->item->separator
                                                           : node->item->caption == entry.caption);
                const std::string name = same ? node->item->name : "?" + entry.caption;
                if (top) view.visibleItems.push_back(name);
                if (entry.isDefault) view.defaultItem = name;
                if (same && !popupChoice_.empty() && name == popupChoice_ && entry.id) {
                    chosen = entry.id;
                    popupFound_ = true;
                }
                if (!entry.children.empty()) lay(entry.children, same ? *node : MenuNode{}, false);
            }
        };
    lay(entries, tree, true);
    popups_.push_back(std::move(view));
    return chosen;
}

// ---- The tray form

bool WineWorld::HasForm() {
    FormView form;
    return ReadFormProbe(dll_, form);
}

FormView WineWorld::Form() {
    FormView form;
    ReadFormProbe(dll_, form);
    return form;
}

void WineWorld::Tick() {
    if (!FormWindow()) return;
    tickWanted_ = true;
    ticked_ = false;
    // The form's timer runs every 100 ms while an action is pending; when none
    // comes in ten intervals (room for a busy machine), the timer is not running
    // and the tick is lost, as it is natively.
    for (int slice = 0; slice < 20 && !ticked_; ++slice) Pump(50);
    tickWanted_ = false;
}

void WineWorld::SendConfigChanged(std::uintptr_t wParam, std::intptr_t lParam) {
    HWND form = FormWindow();
    if (!form) throw std::runtime_error("the tray form has no window");
    SendMessageA(form, kMsgConfigChanged, wParam, lParam);
}

// ---- ClickToCall

IDispatch& WineWorld::ClickToCallObject() {
    if (!clickToCall_) clickToCall_ = com::CreateByProgId(L"qorIcon.ClickToCall");
    return *clickToCall_.Get();
}

void WineWorld::NewClickToCall() {
    clickToCall_ = nullptr;
    ClickToCallObject();
}

void WineWorld::CallEdn(const std::string& edn, const std::string& firstName,
                        const std::string& lastName) {
    com::Variant args[] = {com::MakeText(edn), com::MakeText(firstName), com::MakeText(lastName)};
    VARIANT raw[] = {*args[0].Get(), *args[1].Get(), *args[2].Get()};
    com::InvokeByName(&ClickToCallObject(), L"CallEdn", DISPATCH_METHOD, raw);
}

bool WineWorld::AppRunning() {
    return com::BoolOf(*com::InvokeByName(&ClickToCallObject(), L"AppRunning",
                                          DISPATCH_METHOD | DISPATCH_PROPERTYGET)
                            .Get());
}

bool WineWorld::AppConnected() {
    return com::BoolOf(*com::InvokeByName(&ClickToCallObject(), L"AppConnected",
                                          DISPATCH_METHOD | DISPATCH_PROPERTYGET)
                            .Get());
}

std::string WineWorld::AppEdn() {
    return com::TextOf(
        *com::InvokeByName(&ClickToCallObject(), L"AppEdn", DISPATCH_METHOD | DISPATCH_PROPERTYGET)
             .Get());
}

std::int16_t WineWorld::AppConnectivity() {
    return com::Int16Of(*com::InvokeByName(&ClickToCallObject(), L"AppConnectivity",
                                           DISPATCH_METHOD | DISPATCH_PROPERTYGET)
                             .Get());
}

// ---- Recordings

Recordings WineWorld::Recorded() {
    Recordings r;
    r.messageBoxes = recorder_->messageBoxes;
    r.beeps = recorder_->beeps;
    r.processes = recorder_->processes;
    r.debugLines = recorder_->debugLines;
    r.popups = popups_;
    r.drags = tray_->Drags();
    const HWND form = FormWindow();
    for (HWND window : recorder_->foregroundCalls)
        if (form && window == form) ++r.formForegroundCalls;
    if (!logPath_.empty()) {
        std::ifstream log(logPath_);
        for (std::string line; std::getline(log, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            r.logLines.push_back(line);
        }
    }
    return r;
}

}  // namespace qor::sim::win
