#pragma once
// The logging class: WriteLog appends one line and never reports a failure.

#include "qorlog.h"
#include "windows/com/Dispatch.h"

namespace qor::logging {

class LoggerObject final : public com::DispatchObject<LoggerObject, ILogger> {
  public:
    STDMETHODIMP WriteLog(LONG sourceId, LONG code1, LONG code2, BSTR text) override;
};

HRESULT CreateLogger(REFIID riid, void** out) noexcept;

}  // namespace qor::logging
