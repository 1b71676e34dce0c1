#pragma once
// Creation of the outside components the tray form holds. Each creation may fail
// with a QorError (for instance error 429 when the component is not registered).

#include <memory>

#include "core/contracts/IconLibrary.h"
#include "core/contracts/LogWriter.h"
#include "core/contracts/Translators.h"
#include "core/contracts/TrayIcon.h"

namespace qor {

class IOutsideComponents {
  public:
    virtual ~IOutsideComponents() = default;
    virtual std::shared_ptr<IIconLibrary> CreateIconLibrary() = 0;
    virtual std::shared_ptr<IStringTable> CreateStringTable() = 0;
    virtual std::shared_ptr<ICaptionTranslator> CreateCaptionTranslator() = 0;
    virtual std::shared_ptr<ILogWriter> CreateLogWriter() = 0;
    // The tray icon control of the form. It keeps a window of its own for the
    // notification area and needs none of the form's.
    virtual std::shared_ptr<ITrayIcon> CreateTrayIcon() = 0;
};

}  // namespace qor
