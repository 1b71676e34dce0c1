#include "windows/platform/Win32Platform.h"

#include <string>
#include <vector>

#include "core/common/Error.h"
#include "windows/com/Owners.h"

namespace qor::win {

namespace {

constexpr char kFormClass[] = "qorIconTrayForm";
constexpr UINT_PTR kTimerId = 1;

// The core names the predefined roots by their 32-bit values; on 64-bit Windows the
// real handles are those values sign-extended.
HKEY ToHkey(RegKey key) {
    if (key >= reg::kClassesRoot && key <= reg::kDynData)
        return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(key)));
    return reinterpret_cast<HKEY>(key);
}

const char* NameOrNull(const std::string& name) {
    return name.empty() ? nullptr : name.c_str();
}

// Our subclass of a window: the core's procedure and the one it replaced.
struct Subclass {
    WndProcFn core;
    WNDPROC previous;
};
// Window procedures run on the window's thread only; the form is single-threaded.
std::map<HWND, Subclass> gSubclasses;

class ClipboardLock {
  public:
    ClipboardLock() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~ClipboardLock() {
        if (open_) CloseClipboard();
    }
    ClipboardLock(const ClipboardLock&) = delete;
    ClipboardLock& operator=(const ClipboardLock&) = delete;
    bool IsOpen() const { return open_; }

  private:
    bool open_;
};

// Builds the Win32 menu of root's visible children; every command item gets its
// index in `items` plus one as its id.
com::UniqueHmenu BuildMenu(const MenuItem& root, const MenuItem* defaultItem,
                           std::vector<const MenuItem*>& items) {
    com::UniqueHmenu menu(CreatePopupMenu());
    if (!menu) throw QorError(err::kOutOfMemory, "Out of memory");
    for (const auto& child : root.children) {
        if (!child->visible) continue;
        if (child->IsSeparator()) {
            AppendMenuA(menu.Get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = (child->checked ? MF_CHECKED : 0) | (child->enabled ? 0 : MF_GRAYED);
        if (!child->children.empty()) {
            com::UniqueHmenu sub = BuildMenu(*child, defaultItem, items);
            // The parent menu owns the submenu from here on (DestroyMenu is recursive).
            if (AppendMenuA(menu.Get(), MF_POPUP | flags, reinterpret_cast<UINT_PTR>(sub.Get()),
                            child->caption.c_str()))
                sub.Release();
            continue;
        }
        items.push_back(child.get());
        const UINT id = static_cast<UINT>(items.size());
        AppendMenuA(menu.Get(), MF_STRING | flags, id, child->caption.c_str());
        if (child.get() == defaultItem) SetMenuDefaultItem(menu.Get(), id, FALSE);
    }
    return menu;
}

}  // namespace

Win32Platform::Win32Platform(HMODULE module) : module_(module) {}

Win32Platform::~Win32Platform() {
    forms_.clear();
    if (windowClass_) UnregisterClassA(kFormClass, module_);
}

void Win32Platform::ReleaseWindowClass() noexcept {
    if (windowClass_ && forms_.empty() && UnregisterClassA(kFormClass, module_)) windowClass_ = 0;
}

// ---- Registry

std::int32_t Win32Platform::OpenKey(RegKey root, const std::string& subKey, std::uint32_t access,
                                    RegKey& result) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExA(ToHkey(root), NameOrNull(subKey), 0, access, &key);
    result = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
    return status;
}

std::int32_t Win32Platform::QueryValue(RegKey key, const std::string& valueName,
                                       std::uint32_t* type, std::uint8_t* data,
                                       std::uint32_t* size) {
    DWORD valueType = 0;
    DWORD valueSize = size ? *size : 0;
    const LSTATUS status = RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr, &valueType,
                                            data, size ? &valueSize : nullptr);
    if (type) *type = valueType;
    if (size) *size = valueSize;
    return status;
}

std::int32_t Win32Platform::CreateKey(RegKey root, const std::string& subKey,
                                      const std::string& className, std::uint32_t options,
                                      std::uint32_t access, RegKey& result,
                                      std::uint32_t* disposition) {
    HKEY key = nullptr;
    DWORD how = 0;
    std::string classCopy = className;
    const LSTATUS status = RegCreateKeyExA(ToHkey(root), subKey.c_str(), 0,
                                           className.empty() ? nullptr : classCopy.data(), options,
                                           access, nullptr, &key, &how);
    result = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
    if (disposition) *disposition = how;
    return status;
}

std::int32_t Win32Platform::SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t size) {
    return RegSetValueExA(ToHkey(key), valueName.c_str(), 0, type, data, size);
}

std::int32_t Win32Platform::DeleteValue(RegKey key, const std::string& valueName) {
    return RegDeleteValueA(ToHkey(key), valueName.c_str());
}

std::int32_t Win32Platform::DeleteKey(RegKey key, const std::string& subKey) {
    return RegDeleteKeyA(ToHkey(key), subKey.c_str());
}

std::int32_t Win32Platform::CloseKey(RegKey key) {
    return RegCloseKey(ToHkey(key));
}

// ---- The form's window and its timer

WindowHandle Win32Platform::CreateFormWindow(const std::string& caption) {
    if (!windowClass_) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Win32Platform::FormWndProc;
        wc.hInstance = module_;
        wc.lpszClassName = kFormClass;
        windowClass_ = RegisterClassExA(&wc);
        if (!windowClass_ && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) windowClass_ = 1;
        if (!windowClass_) throw QorError(err::kInternal, "Cannot register the tray window class");
    }
    // A hidden top-level popup, not a message-only window: only top-level windows
    // hear broadcasts such as the taskbar's re-creation, and other programs find
    // the form by its title.
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kFormClass, caption.c_str(), WS_POPUP, 0, 0, 0,
                                  0, nullptr, nullptr, module_, this);
    if (!window) throw QorError(err::kInternal, "Cannot create the tray window");
    forms_.emplace(window, FormWindow{com::UniqueHwnd(window), nullptr});
    return reinterpret_cast<WindowHandle>(window);
}

void Win32Platform::DestroyFormWindow(WindowHandle window) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    KillTimer(hwnd, kTimerId);
    gSubclasses.erase(hwnd);
    forms_.erase(hwnd);
}

void Win32Platform::StartTimer(WindowHandle window, std::uint32_t intervalMs,
                               std::function<void()> onTick) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    auto form = forms_.find(hwnd);
    if (form == forms_.end()) throw QorError(err::kInternal, "No such tray window");
    form->second.onTick = std::move(onTick);
    if (!SetTimer(hwnd, kTimerId, intervalMs, nullptr))
        throw QorError(err::kInternal, "Cannot start the tray timer");
}

void Win32Platform::StopTimer(WindowHandle window) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    KillTimer(hwnd, kTimerId);
    if (auto it = forms_.find(hwnd); it != forms_.end()) it->second.onTick = nullptr;
}

LRESULT CALLBACK Win32Platform::FormWndProc(HWND hwnd, UINT message, WPARAM wParam,
                                            LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_TIMER && wParam == kTimerId) {
        auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (!self) return 0;
        try {
            auto it = self->forms_.find(hwnd);
            if (it == self->forms_.end() || !it->second.onTick) return 0;
            // A copy: the tick may stop the timer or destroy the window.
            auto tick = it->second.onTick;
            tick();
        } catch (...) {
            // The tick handles its own failures; nothing may reach the dispatcher.
        }
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// ---- Popup menu

const MenuItem* Win32Platform::TrackPopupMenu(WindowHandle owner, const MenuItem& root,
                                              const MenuItem* defaultItem) {
    HWND hwnd = reinterpret_cast<HWND>(owner);
    std::vector<const MenuItem*> items;
    com::UniqueHmenu menu = BuildMenu(root, defaultItem, items);
    POINT at{};
    GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks
    // elsewhere; the WM_NULL afterwards lets the next click work at once.
    ::SetForegroundWindow(hwnd);
    const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
        menu.Get(), TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, hwnd, nullptr));
    PostMessageA(hwnd, WM_NULL, 0, 0);
    if (chosen == 0 || chosen > items.size()) return nullptr;
    return items[chosen - 1];
}

// ---- Subclassing

std::uintptr_t Win32Platform::SubclassWindow(WindowHandle window, WndProcFn newProc) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    if (auto it = gSubclasses.find(hwnd); it != gSubclasses.end()) {
        // Already ours: swap the core's procedure, keep the chain.
        it->second.core = newProc;
        return reinterpret_cast<std::uintptr_t>(it->second.previous);
    }
    gSubclasses[hwnd] = {newProc, nullptr};
    const LONG_PTR previous = SetWindowLongPtrA(
        hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Platform::SubclassTrampoline));
    if (!previous) {
        gSubclasses.erase(hwnd);
        throw QorError(err::kInternal, "Cannot subclass the tray window");
    }
    gSubclasses[hwnd].previous = reinterpret_cast<WNDPROC>(previous);
    return static_cast<std::uintptr_t>(previous);
}

void Win32Platform::RestoreWindowProc(WindowHandle window, std::uintptr_t previousProc) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, static_cast<LONG_PTR>(previousProc));
    gSubclasses.erase(hwnd);
}

std::intptr_t Win32Platform::CallPreviousWindowProc(std::uintptr_t previousProc,
                                                    WindowHandle window, std::uint32_t message,
                                                    std::uintptr_t wParam, std::intptr_t lParam) {
    return CallWindowProcA(reinterpret_cast<WNDPROC>(previousProc), reinterpret_cast<HWND>(window),
                           message, wParam, lParam);
}

LRESULT CALLBACK Win32Platform::SubclassTrampoline(HWND hwnd, UINT message, WPARAM wParam,
                                                   LPARAM lParam) noexcept {
    auto it = gSubclasses.find(hwnd);
    if (it == gSubclasses.end()) return DefWindowProcA(hwnd, message, wParam, lParam);
    const Subclass subclass = it->second;
    try {
        return subclass.core(reinterpret_cast<WindowHandle>(hwnd), message, wParam, lParam);
    } catch (...) {
        // The core's procedure passes every message on itself; if it failed before
        // doing so, the message must still reach the window.
        return subclass.previous ? CallWindowProcA(subclass.previous, hwnd, message, wParam, lParam)
                                 : DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

// ---- User interaction

bool Win32Platform::SetForegroundWindow(WindowHandle window) {
    return ::SetForegroundWindow(reinterpret_cast<HWND>(window)) != FALSE;
}

void Win32Platform::ShowMessage(const std::string& text, const std::string& title) {
    // Without a caption the system would title the box "Error".
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK);
}

void Win32Platform::Beep() {
    MessageBeep(MB_OK);
}

bool Win32Platform::ClipboardHasText() {
    return IsClipboardFormatAvailable(CF_TEXT) != FALSE;
}

std::string Win32Platform::ClipboardText() {
    ClipboardLock clipboard;
    if (!clipboard.IsOpen()) throw QorError(521, "Can't open Clipboard");
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data) return {};
    com::GlobalLockGuard lock(data);
    const auto* text = static_cast<const char*>(lock.Data());
    if (!text) return {};
    // Bounded by the block size: clipboard text need not be terminated.
    const std::size_t capacity = GlobalSize(data);
    std::size_t length = 0;
    while (length < capacity && text[length] != '\0') ++length;
    return std::string(text, length);
}

// ---- Other programs

WindowHandle Win32Platform::FindWindowByTitle(const std::string& title) {
    return reinterpret_cast<WindowHandle>(FindWindowA(nullptr, title.c_str()));
}

std::uint32_t Win32Platform::StartProcess(const std::string& commandLine, int showMode) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');  // CreateProcessA may write into its command line
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showMode);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return GetLastError();
    // The process identifier is not kept: close both handles at once.
    com::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    return 0;
}

// ---- Diagnostics and the component's file

void Win32Platform::DebugOutput(const std::string& text) {
    OutputDebugStringA(text.c_str());
}

std::string Win32Platform::ModuleFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(module_, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace qor::win
