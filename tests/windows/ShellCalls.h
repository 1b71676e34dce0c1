#pragma once
// What the tray icon control tells the shell: its module's import of
// Shell_NotifyIconW is routed through a recorder (the import slot of trayicon.ocx
// is patched; nothing else in the process is affected), which notes each call and
// passes it on. For tests that load the control in their own process.

#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <vector>

namespace qortest {

// The width of an icon's image, 0 for none.
inline int IconWidth(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// One Shell_NotifyIconW call, with the width of the icon it handed over (the icon
// may be gone by the time a test looks).
struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
    int iconWidth;
};

struct ShellCallLog {
    std::vector<ShellCall> calls;
    BOOL(WINAPI* next)(DWORD, PNOTIFYICONDATAW) = nullptr;
};

inline ShellCallLog& ShellCalls() {
    static ShellCallLog log;
    return log;
}

inline BOOL WINAPI RecordShellCall(DWORD message, PNOTIFYICONDATAW data) {
    ShellCalls().calls.push_back(
        {message, *data, data->uFlags & NIF_ICON ? IconWidth(data->hIcon) : 0});
    return ShellCalls().next(message, data);
}

// Starts recording; false when trayicon.ocx is not loaded or does not import the
// function. Recording goes on for the life of the module.
inline bool RecordShellCalls() {
    ShellCallLog& log = ShellCalls();
    if (log.next) return true;
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(L"trayicon.ocx"));
    if (!base) return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), "shell32.dll") != 0) continue;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* name =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(name->Name), "Shell_NotifyIconW") != 0)
                continue;
            DWORD protection = 0;
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE,
                           &protection);
            log.next = reinterpret_cast<decltype(log.next)>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(&RecordShellCall);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protection,
                           &protection);
            return true;
        }
    }
    return false;
}

// How many of the calls from index `from` on were `message` (NIM_MODIFY...).
inline int CountShellCalls(size_t from, DWORD message) {
    const auto& calls = ShellCalls().calls;
    int n = 0;
    for (size_t i = from; i < calls.size(); ++i) n += calls[i].message == message;
    return n;
}

}  // namespace qortest
