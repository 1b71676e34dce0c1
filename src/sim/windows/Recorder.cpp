#include "sim/windows/Recorder.h"

#include <cstring>
#include <stdexcept>
#include <string_view>

#include "windows/com/Owners.h"

namespace qor::sim::win {

namespace {

struct StandIn {
    const char* dll;
    const char* function;
    void* replacement;
};

// The address of a stand-in as the import table holds it.
template <class Fn>
void* Address(Fn* fn) {
    return reinterpret_cast<void*>(fn);
}

void WriteSlot(void** slot, void* value) {
    DWORD previous = 0;
    // mingw's import table usually lies in a writable section, but a linker may put it
    // among read-only data: open the one pointer for the write.
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) return;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, previous, &previous);
}

std::vector<PopupEntry> ReadMenu(HMENU menu, int depth) {
    std::vector<PopupEntry> entries;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        // No buffer first: the call answers the text's length in cch.
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        PopupEntry entry;
        entry.separator = (info.fType & MFT_SEPARATOR) != 0;
        entry.checked = (info.fState & MFS_CHECKED) != 0;
        // Wine reports separators as grayed; grayed only means something for commands.
        entry.grayed = !entry.separator && (info.fState & MFS_GRAYED) != 0;
        entry.isDefault = (info.fState & MFS_DEFAULT) != 0;
        // A submenu's id is whatever its handle left there; only commands have one.
        entry.id = entry.separator || info.hSubMenu ? 0 : info.wID;
        if (!entry.separator && info.cch > 0) {
            std::string text(info.cch + 1, '\0');
            MENUITEMINFOA textInfo{};
            textInfo.cbSize = sizeof textInfo;
            textInfo.fMask = MIIM_STRING;
            textInfo.dwTypeData = text.data();
            textInfo.cch = static_cast<UINT>(text.size());
            if (GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &textInfo))
                entry.caption = text.c_str();
        }
        // A menu cannot contain itself, but a bound keeps a broken one from recursing.
        if (info.hSubMenu && depth < 8) entry.children = ReadMenu(info.hSubMenu, depth + 1);
        entries.push_back(std::move(entry));
    }
    return entries;
}

// Whether a user could pick `id` in the menu: an enabled command at any level.
bool Choosable(const std::vector<PopupEntry>& entries, UINT id) {
    for (const auto& entry : entries) {
        if (entry.grayed || entry.separator) continue;
        if (entry.id == id && entry.children.empty()) return true;
        if (Choosable(entry.children, id)) return true;
    }
    return false;
}
}  // namespace

Recorder::Recorder(HMODULE module) {
    if (instance_) throw std::logic_error("Another Recorder is patching this process");
    // Pinned: were the module unloaded while patched, restoring its table would
    // write into freed memory.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(module), &module_))
        throw std::runtime_error("The module to record is not loaded");

    const StandIn standIns[] = {
        {"user32.dll", "MessageBoxA", Address(&MessageBoxStandIn)},
        {"user32.dll", "MessageBeep", Address(&MessageBeepStandIn)},
        {"user32.dll", "TrackPopupMenu", Address(&TrackPopupMenuStandIn)},
        {"user32.dll", "TrackPopupMenuEx", Address(&TrackPopupMenuExStandIn)},
        {"user32.dll", "SetForegroundWindow", Address(&SetForegroundWindowStandIn)},
        {"kernel32.dll", "CreateProcessA", Address(&CreateProcessStandIn)},
    };
    instance_ = this;
    debugHandler_ = AddVectoredExceptionHandler(1, &CollectDebugOutput);

    auto* base = reinterpret_cast<BYTE*>(module_);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return;
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;

    patches_.reserve(std::size(standIns));  // no allocation, so no throw, once patching
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name != 0; ++d) {
        const char* dll = reinterpret_cast<const char*>(base + d->Name);
        HMODULE imported = GetModuleHandleA(dll);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        // The name table may be missing (a bound image): then the slots are matched
        // by the address they already hold.
        const auto* names =
            d->OriginalFirstThunk
                ? reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk)
                : nullptr;
        for (std::size_t i = 0; slots[i].u1.Function != 0; ++i) {
            const char* importedName = nullptr;
            if (names && !IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal))
                importedName = reinterpret_cast<const char*>(
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData)
                        ->Name);
            for (const auto& standIn : standIns) {
                if (_stricmp(dll, standIn.dll) != 0) continue;
                const bool same = importedName
                                      ? std::strcmp(importedName, standIn.function) == 0
                                      : imported && reinterpret_cast<void*>(slots[i].u1.Function) ==
                                                        reinterpret_cast<void*>(GetProcAddress(
                                                            imported, standIn.function));
                if (!same || Patched(standIn.function)) continue;
                void** slot = reinterpret_cast<void**>(&slots[i].u1.Function);
                patches_.push_back({standIn.function, slot, *slot});
                WriteSlot(slot, standIn.replacement);
            }
        }
    }
}

Recorder::~Recorder() {
    for (const auto& patch : patches_) WriteSlot(patch.slot, patch.original);
    if (debugHandler_) RemoveVectoredExceptionHandler(debugHandler_);
    instance_ = nullptr;
    FreeLibrary(module_);
}

bool Recorder::Patched(const char* function) const {
    for (const auto& patch : patches_)
        if (std::strcmp(patch.function, function) == 0) return true;
    return false;
}

void* Recorder::Original(const char* function) const {
    for (const auto& patch : patches_)
        if (std::strcmp(patch.function, function) == 0) return patch.original;
    return nullptr;
}

UINT Recorder::ChoosePopup(HMENU menu) noexcept {
    try {
        auto entries = ReadMenu(menu, 0);
        popups.push_back(entries);
        if (!onPopup) return 0;
        const UINT chosen = onPopup(entries);
        // A real menu can only answer one of its enabled commands.
        return chosen != 0 && Choosable(entries, chosen) ? chosen : 0;
    } catch (...) {
        return 0;  // dismissed, as a menu the user closed
    }
}

BOOL Recorder::Track(HMENU menu, UINT flags, HWND owner) noexcept {
    Recorder* self = instance_;
    if (!self) return FALSE;
    const UINT chosen = self->ChoosePopup(menu);
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    // Otherwise the menu tells its owner as a real one does, after it closed.
    if (chosen != 0 && owner && !(flags & TPM_NONOTIFY))
        PostMessageA(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return TRUE;
}

int WINAPI Recorder::MessageBoxStandIn(HWND, LPCSTR text, LPCSTR, UINT) {
    if (Recorder* self = instance_) {
        try {
            self->messageBoxes.push_back(text ? text : "");
        } catch (...) {
        }
    }
    return IDOK;
}

BOOL WINAPI Recorder::MessageBeepStandIn(UINT) {
    if (Recorder* self = instance_) ++self->beeps;
    return TRUE;
}

BOOL WINAPI Recorder::TrackPopupMenuStandIn(HMENU menu, UINT flags, int, int, int, HWND owner,
                                            const RECT*) {
    return Track(menu, flags, owner);
}

BOOL WINAPI Recorder::TrackPopupMenuExStandIn(HMENU menu, UINT flags, int, int, HWND owner,
                                              LPTPMPARAMS) {
    return Track(menu, flags, owner);
}

BOOL WINAPI Recorder::CreateProcessStandIn(LPCSTR application, LPSTR commandLine,
                                           LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                                           DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA startupInfo,
                                           LPPROCESS_INFORMATION processInformation) {
    Recorder* self = instance_;
    if (!self || !processInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        // A program that is not there does not start, as with the real call; the
        // caller's failure path is part of what is being watched.
        std::string program = application ? application : "";
        if (program.empty() && commandLine) {
            const std::string line = commandLine;
            program = line.starts_with('"') ? line.substr(1, line.find('"', 1) - 1)
                                            : line.substr(0, line.find(' '));
        }
        if (GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        ProcessView started;
        started.commandLine = commandLine ? commandLine : application ? application : "";
        // Without the flag the program would choose for itself, as with SW_SHOWDEFAULT.
        started.showMode = startupInfo && (startupInfo->dwFlags & STARTF_USESHOWWINDOW)
                               ? startupInfo->wShowWindow
                               : SW_SHOWDEFAULT;
        self->processes.push_back(std::move(started));
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    // Real handles the caller may wait on and close. They are this process's own, with
    // no right to end it, so a caller that tries to stop "its" program fails.
    const HANDLE current = GetCurrentProcess();
    HANDLE process = nullptr, thread = nullptr;
    if (!DuplicateHandle(current, current, current, &process,
                         SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0))
        return FALSE;
    if (!DuplicateHandle(current, GetCurrentThread(), current, &thread,
                         SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, 0)) {
        CloseHandle(process);
        return FALSE;
    }
    processInformation->hProcess = process;
    processInformation->hThread = thread;
    processInformation->dwProcessId = GetCurrentProcessId();
    processInformation->dwThreadId = GetCurrentThreadId();
    return TRUE;
}

BOOL WINAPI Recorder::SetForegroundWindowStandIn(HWND window) {
    Recorder* self = instance_;
    if (!self) return FALSE;
    try {
        self->foregroundCalls.push_back(window);
    } catch (...) {
    }
    using Fn = BOOL(WINAPI*)(HWND);
    const auto original = reinterpret_cast<Fn>(self->Original("SetForegroundWindow"));
    return original ? original(window) : FALSE;
}

// OutputDebugString raises this exception for a debugger to show; a vectored handler
// sees it first, under Wine as under Windows, and lets it go on unchanged.
LONG CALLBACK Recorder::CollectDebugOutput(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& r = *info->ExceptionRecord;
    Recorder* self = instance_;
    if (self && r.ExceptionCode == DBG_PRINTEXCEPTION_C && r.NumberParameters >= 2 &&
        r.ExceptionInformation[0] > 0 && r.ExceptionInformation[1] != 0) {
        const char* text = reinterpret_cast<const char*>(r.ExceptionInformation[1]);
        // The length counts the terminator.
        self->AddDebugText(text, strnlen(text, r.ExceptionInformation[0] - 1));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Each output is at least one line, as the component writes one message per call;
// "\r\n" inside or at the end separates lines.
void Recorder::AddDebugText(const char* text, std::size_t length) noexcept {
    try {
        com::ExclusiveLock lock(debugLock_);
        std::string_view rest(text, length);
        while (!rest.empty()) {
            const auto end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            debugLines.emplace_back(line);
            if (end == std::string_view::npos) break;
            rest.remove_prefix(end + 1);
        }
    } catch (...) {
        // A line lost is better than an exception inside exception dispatch.
    }
}

}  // namespace qor::sim::win
