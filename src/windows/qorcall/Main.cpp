// qorcall.exe: the handler of tel: and callto: links. The shell starts it with the
// link as its one argument; it hands the number to the telephony client exactly as
// ClickToCall.CallEdn does, or refuses the link. "/register" and "/unregister",
// optionally followed by "/machine", write or remove its registration.
//
// A window program without windows: started from a browser, it must not flash a
// console. What it has to say goes to the debugger output and the log.

#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/clicktocall/LinkHandler.h"
#include "windows/com/Text.h"
#include "windows/platform/ComLogWriter.h"
#include "windows/platform/Win32Platform.h"
#include "windows/qorcall/Registration.h"

namespace {

using namespace qor;

constexpr std::string_view kLabelRegister = "qorcall.Register ";
constexpr std::string_view kLabelUnregister = "qorcall.Unregister ";
// Exit code when something unexpected (out of memory, say) stopped the program.
constexpr int kCouldNotRun = 6;

// COM for this thread, for the logging component.
class ComApartment {
  public:
    ComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialized_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialized_;
};

// The logging component when it is registered; without it the debugger output is
// all there is, which is no reason to refuse a call.
std::unique_ptr<ILogWriter> OptionalLog() {
    try {
        return std::make_unique<win::ComLogWriter>();
    } catch (...) {
        return nullptr;
    }
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);
    }
}

std::vector<std::u16string> Words(std::u16string_view text) {
    std::vector<std::u16string> words;
    std::u16string word;
    for (const char16_t c : text) {
        if (c == u' ' || c == u'\t') {
            if (!word.empty()) words.push_back(std::exchange(word, {}));
        } else {
            word += (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

int Registration(IPlatform& platform, ILogWriter* log, std::u16string_view switches) {
    const auto words = Words(switches);
    const bool machine = words.size() == 2 && words[1] == u"/machine";
    const bool known =
        (words.size() == 1 || machine) && (words[0] == u"/register" || words[0] == u"/unregister");
    const bool registering = known && words[0] == u"/register";
    const std::string_view label = registering ? kLabelRegister : kLabelUnregister;
    if (!known) {
        ReportLine(platform, log, kLabelRegister,
                   ErrorInfo{err::kInvalidCall, "Unknown switch", kLinkSource},
                   "\"" + com::Narrow(std::wstring(switches.begin(), switches.end())) +
                       "\" (known: /register, /unregister, either followed by /machine)");
        return static_cast<int>(win::links::RegistrationOutcome::kUnknownSwitch);
    }
    const HKEY root = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const auto result = registering ? win::links::Register(root, ProgramPath())
                                    : win::links::Unregister(root, ProgramPath());
    for (const auto& note : result.notes)
        ReportLine(platform, log, label, ErrorInfo{0, {}, kLinkSource}, com::Narrow(note));
    return static_cast<int>(result.outcome);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        ComApartment apartment;
        const std::unique_ptr<ILogWriter> log = OptionalLog();
        win::Win32Platform platform(GetModuleHandleW(nullptr));
        const wchar_t* raw = GetCommandLineW();
        const std::u16string commandLine(raw, raw + std::wcslen(raw));
        const std::u16string_view argument = CommandLineArgument(commandLine);
        // The shell always passes the link's scheme first: only a person or an
        // installer types a switch.
        if (!argument.empty() && argument.front() == u'/')
            return Registration(platform, log.get(), argument);
        return static_cast<int>(OpenCallLink(platform, log.get(), argument));
    } catch (...) {
        OutputDebugStringA("qorcall - could not run");
        return kCouldNotRun;
    }
}
