#pragma once
// The uniform error report: one line built from a caught error, handed to the
// outside logging component; when that fails, a short line on the debugger output.
// Reporting never raises.

#include <cstdint>
#include <memory>
#include <string>

#include "core/common/Error.h"
#include "core/common/Variant.h"
#include "core/contracts/LogWriter.h"
#include "core/contracts/OutsideComponents.h"
#include "core/contracts/Platform.h"

namespace qor {

// Builds the report line "<place> <extra> <error>". `window` may be null; when set,
// its "Caption" is appended to the place. An empty `extra` becomes "-", also in the
// caller's variable. Failures while building go to the debugger output.
std::string StrLogError(IPlatform& platform, const std::string& label, const ErrorInfo& error,
                        const LateBoundPtr& window, std::string& extra);

// Owner of the process-wide logging object (`ErrorLogger`) and `ErrorLogSourceId`.
class ErrorReporter {
  public:
    ErrorReporter(IPlatform& platform, IOutsideComponents& components);

    void LogErrorInit(std::int32_t sourceId);
    void LogError(const std::string& label, const ErrorInfo& error,
                  const LateBoundPtr& window = nullptr, std::string extra = {});

    // The logging object, or null when it could not be created.
    ILogWriter* ErrorLogger() const { return errorLogger_.get(); }
    std::int32_t ErrorLogSourceId() const { return sourceId_; }

  private:
    IPlatform& platform_;
    IOutsideComponents& components_;
    std::shared_ptr<ILogWriter> errorLogger_;
    std::int32_t sourceId_ = 0;
};

}  // namespace qor
