#include "core/clicktocall/LinkHandler.h"

#include "core/clicktocall/ClickToCall.h"
#include "core/clicktocall/TelUrl.h"
#include "core/diagnostics/ErrorReporter.h"
#include "core/settings/CRegSettings.h"

namespace qor {

namespace {

constexpr std::string_view kLabelOpenLink = "qorcall.OpenLink ";

// The codes of the component's error lines in the log.
constexpr std::int32_t kLogSource = 0;
constexpr std::int32_t kLogErrorCode1 = 3;
constexpr std::int32_t kLogErrorCode2 = 5;

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

}  // namespace

std::u16string_view CommandLineArgument(std::u16string_view commandLine) {
    // The program: a quoted path up to its closing quote, or up to the first blank.
    std::size_t end = 0;
    if (!commandLine.empty() && commandLine[0] == u'"') {
        end = commandLine.find(u'"', 1);
        end = end == std::u16string_view::npos ? commandLine.size() : end + 1;
    } else {
        while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
    }
    std::u16string_view argument = commandLine.substr(end);
    while (!argument.empty() && IsBlank(argument.front())) argument.remove_prefix(1);
    while (!argument.empty() && IsBlank(argument.back())) argument.remove_suffix(1);
    if (argument.size() >= 2 && argument.front() == u'"' && argument.back() == u'"')
        argument = argument.substr(1, argument.size() - 2);
    return argument;
}

void ReportLine(IPlatform& platform, ILogWriter* log, std::string_view label,
                const ErrorInfo& error, std::string extra) noexcept {
    std::string line;
    try {
        line = StrLogError(platform, std::string(label), error, nullptr, extra);
        platform.DebugOutput(line);
    } catch (...) {
        return;  // no line to write anywhere
    }
    // Without the logging component the debugger output is all there is.
    try {
        if (log) log->WriteLog(kLogSource, kLogErrorCode1, kLogErrorCode2, line);
    } catch (...) {
    }
}

LinkOutcome OpenCallLink(IPlatform& platform, ILogWriter* log, std::u16string_view link) noexcept {
    std::string shown;
    try {
        shown = "\"" + PrintableLink(link) + "\"";
        const DialLink dial = ReadDialLink(link);
        if (!dial.Accepted()) {
            ReportLine(platform, log, kLabelOpenLink,
                       ErrorInfo{err::kInvalidCall, "Link refused: " + dial.refusal, kLinkSource},
                       shown);
            return LinkOutcome::kRefused;
        }
        CRegSettings reg(platform);
        StartClient(platform, ReadClientInstallPath(reg), dial.number);
        return LinkOutcome::kCallStarted;
    } catch (...) {
        ReportLine(platform, log, kLabelOpenLink, CurrentError(), shown);
        return LinkOutcome::kClientNotStarted;
    }
}

}  // namespace qor
