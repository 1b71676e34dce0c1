#include "core/diagnostics/ErrorReporter.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "core/common/VersionInfo.h"

namespace qor {

namespace {

// Debugger output must not become a second failure of the reporting procedure.
void SafeDebugOutput(IPlatform& platform, const std::string& text) noexcept {
    try {
        platform.DebugOutput(text);
    } catch (...) {
    }
}

// Runs one building step; a failure is noted on the debugger output and the
// building goes on with the next step.
template <class F>
void BuildStep(IPlatform& platform, F&& step) noexcept {
    try {
        step();
    } catch (...) {
        const ErrorInfo failure = CurrentError();
        try {
            SafeDebugOutput(platform,
                            "mLogErrorEntlib.StrLogError - " + failure.description + "\r\n");
        } catch (...) {
        }
    }
}

std::string ErrorPart(const ErrorInfo& error) {
    if (error.number == 0) return "-";
    char hex[16];
    // Negative numbers show their 32-bit two's complement: eight digits.
    std::snprintf(hex, sizeof hex, "%X", static_cast<std::uint32_t>(error.number));
    return error.description + " - " + std::to_string(error.number) + " (0x" + hex + ")";
}

}  // namespace

std::string StrLogError(IPlatform& platform, const std::string& label, const ErrorInfo& error,
                        const LateBoundPtr& window, std::string& extra) {
    // Take the values before anything below can raise and replace them.
    ErrorInfo caught;
    BuildStep(platform, [&] { caught = error; });

    std::string errorPart;
    std::string place;
    BuildStep(platform, [&] { errorPart = ErrorPart(caught); });
    BuildStep(platform, [&] {
        place = label + " - " + (caught.source.empty() ? std::string(kProductName) : caught.source);
    });
    if (window) {
        BuildStep(platform, [&] {
            std::vector<Variant> args;
            place += "." + window->Invoke("Caption", args).ToText();
        });
    }
    if (caught.line != 0)
        BuildStep(platform, [&] { place += " line " + std::to_string(caught.line); });
    BuildStep(platform, [&] {
        if (place.empty()) place = "-";
    });
    BuildStep(platform, [&] {
        if (extra.empty()) extra = "-";
    });
    std::string result;
    BuildStep(platform, [&] { result = place + " " + extra + " " + errorPart; });
    return result;
}

ErrorReporter::ErrorReporter(IPlatform& platform, IOutsideComponents& components)
    : platform_(platform), components_(components) {}

void ErrorReporter::LogErrorInit(std::int32_t sourceId) {
    sourceId_ = sourceId;
    if (errorLogger_) return;
    try {
        errorLogger_ = components_.CreateLogWriter();
    } catch (...) {
        const ErrorInfo failure = CurrentError();
        try {
            SafeDebugOutput(platform_,
                            "mLogErrorEntlib.LogErrorInit - " + failure.description + "\r\n");
        } catch (...) {
        }
    }
}

void ErrorReporter::LogError(const std::string& label, const ErrorInfo& error,
                             const LateBoundPtr& window, std::string extra) {
    try {
        const std::string line = StrLogError(platform_, label, error, window, extra);
        // Without a logging object the call itself is what fails, as it would on an
        // object variable that was never set.
        if (!errorLogger_) Raise(err::kObjectNotSet);
        errorLogger_->WriteLog(sourceId_, 3, 5, line);
    } catch (...) {
        const ErrorInfo failure = CurrentError();
        try {
            SafeDebugOutput(platform_,
                            "mLogErrorEntlib.LogError - " + failure.description + "\r\n");
        } catch (...) {
        }
    }
}

}  // namespace qor
