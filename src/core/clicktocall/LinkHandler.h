#pragma once
// The tel:/callto: link handler's work, apart from the program around it: read the
// link, and either refuse it with its reason or start the client with the number
// exactly as ClickToCall.CallEdn does without names.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/common/Error.h"
#include "core/contracts/LogWriter.h"
#include "core/contracts/Platform.h"

namespace qor {

// The handler's exit codes.
enum class LinkOutcome : int {
    kCallStarted = 0,
    kRefused = 1,
    kClientNotStarted = 2,
};

// Source of the handler's report lines.
inline constexpr const char* kLinkSource = "qorcall";

// The argument text of a command line the shell built from `"program" "%1"`: what
// follows the program, with one pair of surrounding quotes removed. Taken whole
// rather than split into arguments, so that a quote inside the link reaches the
// link's own checks instead of silently regrouping it.
std::u16string_view CommandLineArgument(std::u16string_view commandLine);

// Reads the link and starts the client with its number. A refusal or a failed
// start is one report line (see ReportLine).
LinkOutcome OpenCallLink(IPlatform& platform, ILogWriter* log, std::u16string_view link) noexcept;

// One line in the component's error format, on the debugger output and, when `log`
// is given, in the log. Neither can fail the caller: the log is optional.
void ReportLine(IPlatform& platform, ILogWriter* log, std::string_view label,
                const ErrorInfo& error, std::string extra) noexcept;

}  // namespace qor
