#include "native/NativePlatform.h"

#include <utility>

#include "core/common/Convert.h"

namespace qor {

NativePlatform::NativePlatform() = default;
NativePlatform::~NativePlatform() = default;

// ---- Registry

std::int32_t NativePlatform::OpenKey(RegKey root, const std::string& subKey, std::uint32_t access,
                                     RegKey& result) {
    return registry_.OpenKey(root, subKey, access, result);
}

std::int32_t NativePlatform::QueryValue(RegKey key, const std::string& valueName,
                                        std::uint32_t* type, std::uint8_t* data,
                                        std::uint32_t* size) {
    return registry_.QueryValue(key, valueName, type, data, size);
}

std::int32_t NativePlatform::CreateKey(RegKey root, const std::string& subKey,
                                       const std::string& className, std::uint32_t options,
                                       std::uint32_t access, RegKey& result,
                                       std::uint32_t* disposition) {
    return registry_.CreateKey(root, subKey, className, options, access, result, disposition);
}

std::int32_t NativePlatform::SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t size) {
    return registry_.SetValue(key, valueName, type, data, size);
}

std::int32_t NativePlatform::DeleteValue(RegKey key, const std::string& valueName) {
    return registry_.DeleteValue(key, valueName);
}

std::int32_t NativePlatform::DeleteKey(RegKey key, const std::string& subKey) {
    return registry_.DeleteKey(key, subKey);
}

std::int32_t NativePlatform::CloseKey(RegKey key) {
    return registry_.CloseKey(key);
}

// ---- Windows

WindowHandle NativePlatform::NewWindow(const std::string& title) {
    WindowHandle handle = nextWindow_;
    nextWindow_ += 0x10;
    std::uintptr_t original = nextOriginalToken_++;
    originalProcs_[original] = handle;
    windows_[handle] = Window{title, original};
    return handle;
}

WindowHandle NativePlatform::CreateFormWindow(const std::string& caption) {
    return NewWindow(caption);
}

void NativePlatform::DestroyFormWindow(WindowHandle window) {
    RemoveTopLevelWindow(window);
}

WindowHandle NativePlatform::AddTopLevelWindow(const std::string& title) {
    return NewWindow(title);
}

void NativePlatform::RemoveTopLevelWindow(WindowHandle window) {
    // A destroyed window takes its timer with it. Its original procedure token stays
    // known so that a late CallPreviousWindowProc still lands somewhere harmless.
    timers_.erase(window);
    windows_.erase(window);
}

WindowHandle NativePlatform::FindWindowByTitle(const std::string& title) {
    const std::string wanted = Upper(title);
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if (Upper(it->second.title) == wanted) return it->first;
    }
    return 0;
}

bool NativePlatform::SetForegroundWindow(WindowHandle window) {
    foregroundCalls.push_back(window);
    return WindowExists(window);
}

// ---- Timer

void NativePlatform::StartTimer(WindowHandle window, std::uint32_t intervalMs,
                                std::function<void()> onTick) {
    ++timerStarts;
    timers_[window] = Timer{intervalMs, std::move(onTick)};
}

void NativePlatform::StopTimer(WindowHandle window) {
    timers_.erase(window);
}

std::uint32_t NativePlatform::TimerInterval(WindowHandle window) const {
    auto it = timers_.find(window);
    return it == timers_.end() ? 0 : it->second.interval;
}

bool NativePlatform::FireTimer(WindowHandle window) {
    if (window == 0) {
        if (timers_.size() != 1) return false;
        window = timers_.begin()->first;
    }
    auto it = timers_.find(window);
    if (it == timers_.end()) return false;
    // The callback may stop or restart the timer: run a copy.
    auto onTick = it->second.onTick;
    if (onTick) onTick();
    return true;
}

// ---- Popup menu

std::string NativePlatform::ItemName(const MenuItem& item) {
    if (item.index < 0) return item.name;
    return item.name + "(" + std::to_string(item.index) + ")";
}

const MenuItem* NativePlatform::TrackPopupMenu(WindowHandle /*owner*/, const MenuItem& root,
                                               const MenuItem* defaultItem) {
    PopupShown shown;
    for (const auto& child : root.children) {
        if (child->visible) shown.visibleItems.push_back(ItemName(*child));
    }
    if (defaultItem) shown.defaultItem = ItemName(*defaultItem);
    popups.push_back(std::move(shown));
    return onPopup ? onPopup(root, defaultItem) : nullptr;
}

// ---- Window procedures

std::intptr_t NativePlatform::CallProc(std::uintptr_t proc, WindowHandle window,
                                       std::uint32_t message, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    if (proc == 0) return 0;
    if (originalProcs_.count(proc)) {
        receivedByOriginal.push_back(Message{window, message, wParam, lParam});
        return 0;
    }
    return reinterpret_cast<WndProcFn>(proc)(window, message, wParam, lParam);
}

std::uintptr_t NativePlatform::SubclassWindow(WindowHandle window, WndProcFn newProc) {
    auto it = windows_.find(window);
    if (it == windows_.end() || !newProc) return 0;
    return std::exchange(it->second.proc, reinterpret_cast<std::uintptr_t>(newProc));
}

void NativePlatform::RestoreWindowProc(WindowHandle window, std::uintptr_t previousProc) {
    auto it = windows_.find(window);
    if (it != windows_.end() && previousProc != 0) it->second.proc = previousProc;
}

std::intptr_t NativePlatform::CallPreviousWindowProc(std::uintptr_t previousProc,
                                                     WindowHandle window, std::uint32_t message,
                                                     std::uintptr_t wParam, std::intptr_t lParam) {
    return CallProc(previousProc, window, message, wParam, lParam);
}

std::intptr_t NativePlatform::SendMessage(WindowHandle window, std::uint32_t msg,
                                          std::uintptr_t wParam, std::intptr_t lParam) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return 0;
    return CallProc(it->second.proc, window, msg, wParam, lParam);
}

bool NativePlatform::IsSubclassed(WindowHandle window) const {
    auto it = windows_.find(window);
    return it != windows_.end() && originalProcs_.count(it->second.proc) == 0;
}

// ---- User interaction

void NativePlatform::ShowMessage(const std::string& text, const std::string& title) {
    messageBoxes.push_back(text);
    messageBoxTitles.push_back(title);
}

void NativePlatform::Beep() {
    ++beeps;
}

void NativePlatform::SetClipboardText(std::string text) {
    clipboard_ = std::move(text);
}

void NativePlatform::ClearClipboard() {
    clipboard_.reset();
}

bool NativePlatform::ClipboardHasText() {
    return clipboard_.has_value();
}

std::string NativePlatform::ClipboardText() {
    ++clipboardReads;
    return clipboard_.value_or(std::string());
}

// ---- Processes

void NativePlatform::AddProgram(const std::string& path) {
    programs_.insert(Upper(path));
}

std::uint32_t NativePlatform::StartProcess(const std::string& commandLine, int showMode) {
    // The real start reads a NUL-terminated line: anything after a NUL never arrives.
    const std::string line = commandLine.substr(0, commandLine.find('\0'));
    // The program is the first token: a quoted path, or everything up to the first blank.
    std::string program;
    if (!line.empty() && line[0] == '"') {
        auto end = line.find('"', 1);
        program = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    } else {
        program = line.substr(0, line.find(' '));
    }
    if (program.empty() || programs_.count(Upper(program)) == 0) {
        failedProcessStarts.push_back(StartedProcess{line, showMode});
        return 2;  // ERROR_FILE_NOT_FOUND
    }
    processes.push_back(StartedProcess{line, showMode});
    return 0;
}

// ---- Diagnostics

void NativePlatform::DebugOutput(const std::string& text) {
    debugLines.push_back(text);
}

std::string NativePlatform::ModuleFolder() {
    return moduleFolder;
}

}  // namespace qor
