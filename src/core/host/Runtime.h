#pragma once
// The component inside one process: the ports it runs on, the component-wide
// globals and the one tray form. The Windows DLL makes one at attach; tests and the
// simulator make one per run. Only one exists at a time.

#include <cstdint>
#include <memory>

#include "core/contracts/OutsideComponents.h"
#include "core/contracts/Platform.h"
#include "core/diagnostics/ErrorReporter.h"
#include "core/diagnostics/cLogFile.h"

namespace qor {

class frmMain;

class Runtime {
  public:
    Runtime(IPlatform& platform, IOutsideComponents& components);
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // The runtime of this process; null when none exists.
    static Runtime* Current();

    IPlatform& Platform() { return platform_; }
    IOutsideComponents& Components() { return components_; }

    // The form's default instance, created on first touch.
    frmMain& Form();
    bool FormExists() const { return form_ != nullptr; }
    bool FormLoaded() const;

    // Component-wide globals, set up by the form's load.
    std::int32_t DeveloperLevel = 0;
    ErrorReporter& Errors() { return errors_; }
    cLogFile* LogFile() { return logFile_.get(); }
    cLogFile& CreateLogFile();
    std::shared_ptr<ICaptionTranslator> CaptionTranslator;

  private:
    IPlatform& platform_;
    IOutsideComponents& components_;
    ErrorReporter errors_;
    std::unique_ptr<cLogFile> logFile_;
    std::unique_ptr<frmMain> form_;
};

}  // namespace qor
