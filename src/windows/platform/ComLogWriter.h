#pragma once
// The outside logging component ("QORLog.Logger"), reached by name as any server
// offering WriteLog would be. Creating it fails with error 429 when it is not
// registered; the caller decides whether that matters.

#include "core/contracts/LogWriter.h"
#include "windows/com/Automation.h"

#include <oaidl.h>

namespace qor::win {

class ComLogWriter final : public ILogWriter {
  public:
    ComLogWriter();
    void WriteLog(std::int32_t sourceId, std::int32_t code1, std::int32_t code2,
                  const std::string& text) override;

  private:
    com::NamedDispatch logger_;  // WriteLog looked up once
};

}  // namespace qor::win
