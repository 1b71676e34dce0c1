// A small module whose imports the recorder tests patch: each export makes one
// of the calls the tray component makes, so the tests see what a patched module
// sees. It also answers the form description the way qorIcon.dll does.

#include <windows.h>

#include <cstring>
#include <string>

#define EXPORT extern "C" __declspec(dllexport)

EXPORT int ShowBox(const char* text) {
    return MessageBoxA(nullptr, text, nullptr, MB_OK);
}

EXPORT BOOL BeepOnce() {
    return MessageBeep(MB_OK);
}

// Dial (1, default), Offline (2, checked), a separator, Apps with Sub (7) and a
// grayed Locked (8), Exit (3).
EXPORT UINT ShowMenu(HWND owner, UINT flags, BOOL ex) {
    HMENU sub = CreatePopupMenu();
    AppendMenuA(sub, MF_STRING, 7, "Sub");
    AppendMenuA(sub, MF_STRING | MF_GRAYED, 8, "Locked");
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "&Dial");
    AppendMenuA(menu, MF_STRING | MF_CHECKED, 2, "Offline");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Apps");
    AppendMenuA(menu, MF_STRING, 3, "E&xit");
    SetMenuDefaultItem(menu, 1, FALSE);
    const UINT result =
        ex ? static_cast<UINT>(TrackPopupMenuEx(menu, flags, 0, 0, owner, nullptr))
           : static_cast<UINT>(TrackPopupMenu(menu, flags, 0, 0, 0, owner, nullptr));
    DestroyMenu(menu);
    return result;
}

// Starts a program as the component does, then checks what it was handed: the
// handles close, and they give no right to end the program.
EXPORT BOOL Start(const char* commandLine, WORD show, BOOL* handlesUsable) {
    std::string line(commandLine);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return FALSE;
    *handlesUsable = !TerminateProcess(process.hProcess, 1) &&
                     WaitForSingleObject(process.hThread, 0) == WAIT_TIMEOUT &&
                     CloseHandle(process.hProcess) && CloseHandle(process.hThread);
    return TRUE;
}

EXPORT BOOL Foreground(HWND window) {
    return SetForegroundWindow(window);
}

EXPORT void Debug(const char* text) {
    OutputDebugStringA(text);
}

// What this module's import table holds for MessageBoxA right now.
EXPORT void* MessageBoxSlot() {
    return reinterpret_cast<void*>(&MessageBoxA);
}

// The description is long enough that a reader must ask twice.
EXPORT unsigned __stdcall QorIconDescribeForm(char* buffer, unsigned size) {
    std::string text = "state 3\ndefault mnuDial";
    text += "\nitem\t0\tmnuDial\t1\t0\t0\t&Dial\t";
    text += "\nitem\t0\tsep1\t0\t0\t1\t-\t";
    text += "\nitem\t0\tmnuAppSession(0)\t1\t1\t0\tPhone\tmain";
    text += "\nitem\t1\tmnuApp1Menu1(0)\t1\t0\t0\t" + std::string(5000, 'x') + "\t42";
    if (buffer && size > 0) {
        const std::size_t n = text.size() < size ? text.size() : size - 1;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<unsigned>(text.size() + 1);
}
