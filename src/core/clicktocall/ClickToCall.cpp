#include "core/clicktocall/ClickToCall.h"

#include "core/common/Convert.h"
#include "core/common/VersionInfo.h"
#include "core/diagnostics/ErrorReporter.h"

namespace qor {

namespace {

// Procedure labels of the error lines; each ends with one space.
constexpr std::string_view kLabelCallEdn = "ClickToCall.CallEdn ";
constexpr std::string_view kLabelAppEdn = "ClickToCall.AppEdn ";
constexpr std::string_view kLabelAppConnected = "ClickToCall.AppConnected ";
constexpr std::string_view kLabelAppRunning = "ClickToCall.AppRunning ";
constexpr std::string_view kLabelClassInitialize = "ClickToCall.Class_Initialize ";
constexpr std::string_view kLabelClassTerminate = "ClickToCall.Class_Terminate ";
constexpr std::string_view kLabelAnotherInstance = "ClickToCall.AnotherInstance ";

// The client's installation (machine settings) and its user settings.
constexpr const char* kInstallAppName = "5521";
constexpr const char* kInstallSection = "Install";
constexpr const char* kInstallPathValue = "Path";
constexpr const char* kClientAppName = "5521\\QORPhone";
constexpr const char* kClientSection = "Settings";
constexpr const char* kLoginValue = "CSLogin";
constexpr const char* kConnectionStateValue = "CSConnectionState";
constexpr const char* kNotConnected = "0";

constexpr const char* kRequestScheme = "qorphone://";

// System error codes for a program file or its folder that does not exist.
constexpr std::uint32_t kSystemFileNotFound = 2;
constexpr std::uint32_t kSystemPathNotFound = 3;

// A system error code as an error number, the way COM carries one.
std::int32_t ErrorNumberFromSystem(std::uint32_t code) {
    return static_cast<std::int32_t>(0x80070000u | (code & 0xFFFFu));
}

// A caller's text as it goes on the command line: without NULs, which would end
// the line where the process start reads it, and without surrounding spaces.
std::string Part(std::string text) {
    std::erase(text, '\0');
    return Trim(text);
}

// The names and the number are passed as the caller gave them, bar NULs and
// surrounding spaces: the client parses them from its command line.
std::string CommandLine(const std::string& installPath, const std::string& edn,
                        const std::string& firstName, const std::string& lastName) {
    std::string names;
    if (const std::string last = Part(lastName); !last.empty()) names = "lname:" + last;
    if (const std::string first = Part(firstName); !first.empty())
        names = Trim(names + " fname:" + first);
    // The program path is quoted and comes first, so nothing a caller passes can
    // change which program runs.
    std::string commandLine = "\"" + installPath + kClientProgram + "\" ";
    // Without a number the client is only started; the names are dropped.
    if (const std::string number = Part(edn); !number.empty())
        commandLine += Trim(names + " " + kRequestScheme + number);
    return commandLine;
}

}  // namespace

std::string ReadClientInstallPath(CRegSettings& reg) {
    reg.hKey(reg::kLocalMachine);
    reg.MSubKey("Software");
    reg.Company(kCompanyName);
    reg.AppName(kInstallAppName);
    return reg.GetSetting(kInstallSection, kInstallPathValue, "");
}

void StartClient(IPlatform& platform, const std::string& installPath, const std::string& edn,
                 const std::string& firstName, const std::string& lastName) {
    // Started even when the client runs: handing the request to a running instance
    // is the client's business.
    const std::uint32_t status =
        platform.StartProcess(CommandLine(installPath, edn, firstName, lastName), kShowMinimized);
    if (status == 0) return;
    if (status == kSystemFileNotFound || status == kSystemPathNotFound) Raise(err::kFileNotFound);
    Raise(ErrorNumberFromSystem(status),
          "The client program could not be started (system error " + std::to_string(status) + ")");
}

template <typename Body>
void ClickToCall::Guarded(std::string_view label, Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        LocalLogError(label, CurrentError(), {});
    }
}

ClickToCall::ClickToCall(IPlatform& platform) noexcept : platform_(platform) {
    // A failure leaves the later steps undone, even with the reader still pointing
    // at the machine settings: the members then answer what those give.
    Guarded(kLabelClassInitialize, [this] {
        reg_ = std::make_unique<CRegSettings>(platform_);
        sInstallPath_ = ReadClientInstallPath(*reg_);
        reg_->hKey(reg::kCurrentUser);
        reg_->MSubKey("Software");
        reg_->Company(kCompanyName);
        reg_->AppName(kClientAppName);
    });
}

ClickToCall::~ClickToCall() {
    Guarded(kLabelClassTerminate, [this] { reg_.reset(); });
}

// This member and AppConnectivity cannot fail, so they have nothing to report.
std::string ClickToCall::ExecuteCommand(const std::string& strCommand,
                                        const std::string& strParams) noexcept {
    // Kept in the scripting interface for commands to come; none is defined yet.
    static_cast<void>(strCommand);
    static_cast<void>(strParams);
    return {};
}

void ClickToCall::CallEdn(const std::string& EDN, const std::string& FirstName,
                          const std::string& LastName) noexcept {
    Guarded(kLabelCallEdn,
            [&] { StartClient(platform_, sInstallPath_, EDN, FirstName, LastName); });
}

std::int16_t ClickToCall::AppConnectivity() noexcept {
    return iConnectivity_;
}

std::string ClickToCall::AppEdn() noexcept {
    std::string result;
    Guarded(kLabelAppEdn, [&] {
        sAppEdn_ = Reg().GetSetting(kClientSection, kLoginValue, "");
        result = sAppEdn_;
    });
    return result;
}

bool ClickToCall::AppConnected() noexcept {
    bool result = false;
    Guarded(kLabelAppConnected, [&] {
        bAppRunning_ = AnotherInstance();
        // The client's own state is only trusted while the client runs: a stopped
        // client leaves its last state behind in the registry.
        if (bAppRunning_ && Reg().GetSetting(kClientSection, kConnectionStateValue,
                                             kNotConnected) != kNotConnected) {
            bAppConnected_ = true;
            result = true;
            return;
        }
        bAppConnected_ = false;
    });
    return result;
}

bool ClickToCall::AppRunning() noexcept {
    bool result = false;
    Guarded(kLabelAppRunning, [&] {
        bAppRunning_ = AnotherInstance();
        result = bAppRunning_;
    });
    return result;
}

bool ClickToCall::AnotherInstance() noexcept {
    bool result = false;
    Guarded(kLabelAnotherInstance,
            [&] { result = platform_.FindWindowByTitle(kClientWindowTitle) != 0; });
    return result;
}

void ClickToCall::LocalLogError(std::string_view label, const ErrorInfo& error,
                                std::string extra) noexcept {
    // Only the debugger output: the object lives in a script host, away from the
    // tray's logging component.
    try {
        platform_.DebugOutput(StrLogError(platform_, std::string(label), error, nullptr, extra));
    } catch (...) {
        try {
            platform_.DebugOutput(std::string("ClickToCall.") + "LocalLogError - " +
                                  CurrentError().description + "\r\n");
        } catch (...) {
            // The debugger output itself fails: there is nowhere left to report.
        }
    }
}

CRegSettings& ClickToCall::Reg() {
    // Missing only when its creation failed at construction.
    if (!reg_) Raise(err::kObjectNotSet);
    return *reg_;
}

}  // namespace qor
