#include "core/diagnostics/cLogFile.h"

#include "core/common/Error.h"
#include "core/diagnostics/ErrorReporter.h"

namespace qor {

cLogFile::cLogFile(IPlatform& platform, ErrorReporter& reporter)
    : platform_(platform), reporter_(reporter) {}

cLogFile::~cLogFile() {
    logStop();
}

std::int32_t cLogFile::Start(std::string& /*file*/, std::int32_t& mode, std::int32_t& options,
                             std::int32_t& level) {
    // The trace goes to the logging component: the file path is accepted and unused,
    // and FileName stays empty.
    try {
        mode_ = mode;
        options_ = options;
        level_ = level;
        status_ = kRunning;
    } catch (...) {
        const ErrorInfo failure = CurrentError();
        try {
            platform_.DebugOutput("cLogFile.Start " + failure.description);
        } catch (...) {
        }
    }
    return 0;
}

std::int32_t cLogFile::logStop() {
    status_ = kStopped;
    return 0;
}

std::int32_t cLogFile::Message(const std::string& msg, std::int32_t level) {
    if (level > level_ || status_ != kRunning || level_ < 0) return 0;
    std::string text;
    if ((options_ & kOptionIndent) && level > 0)
        text.assign(3 * static_cast<std::size_t>(level), ' ');
    text += msg;
    ILogWriter* logger = reporter_.ErrorLogger();
    if (!logger) Raise(err::kObjectNotSet);
    logger->WriteLog(sourceId_, 1, 4, text);
    if (mode_ & kModeDebugCopy) platform_.DebugOutput(text + "\r\n");
    return 0;
}

std::int32_t cLogFile::Pause() {
    if (status_ != kRunning) return 2;
    status_ = kPaused;
    return 0;
}

std::int32_t cLogFile::Continue() {
    if (status_ != kPaused) return 3;
    status_ = kRunning;
    return 0;
}

}  // namespace qor
