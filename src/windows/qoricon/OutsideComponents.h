#pragma once
// The outside components the tray form holds, created by ProgID and reached by
// name or dispatch id (late binding), so any server offering those members serves:
//   "TrayIconCtl.TrayIcon"            tray icon control (item members by dispatch id)
//   "QORIcons.Icons"                  icon library
//   "QORIcons.StringTable"            string table
//   "QORTranslate.CaptionTranslator"  caption translator
//   "QORLog.Logger"                   logging component
// A server that cannot be created is error 429, its description naming the part
// and what is wrong with its registration (also written to the debugger output);
// the form's failure rules decide what follows.

#include "core/contracts/OutsideComponents.h"

namespace qor::win {

class ComOutsideComponents final : public IOutsideComponents {
  public:
    std::shared_ptr<IIconLibrary> CreateIconLibrary() override;
    std::shared_ptr<IStringTable> CreateStringTable() override;
    std::shared_ptr<ICaptionTranslator> CreateCaptionTranslator() override;
    std::shared_ptr<ILogWriter> CreateLogWriter() override;
    std::shared_ptr<ITrayIcon> CreateTrayIcon() override;
};

}  // namespace qor::win
