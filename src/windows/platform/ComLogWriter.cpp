#include "windows/platform/ComLogWriter.h"

#include "windows/com/Automation.h"

namespace qor::win {

ComLogWriter::ComLogWriter()
    : logger_(com::CreateByProgId(L"QORLog.Logger", "The logging component")) {}

void ComLogWriter::WriteLog(std::int32_t sourceId, std::int32_t code1, std::int32_t code2,
                            const std::string& text) {
    com::Variant values[] = {com::MakeI4(sourceId), com::MakeI4(code1), com::MakeI4(code2),
                             com::MakeText(text)};
    VARIANT args[] = {*values[0].Get(), *values[1].Get(), *values[2].Get(), *values[3].Get()};
    logger_.Invoke(L"WriteLog", DISPATCH_METHOD, args);
}

}  // namespace qor::win
