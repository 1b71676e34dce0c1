#include "windows/logger/LoggerObject.h"

#include "windows/com/ClassFactory.h"
#include "windows/logger/LogFileWriter.h"

namespace qor::logging {

STDMETHODIMP LoggerObject::WriteLog(LONG sourceId, LONG code1, LONG code2, BSTR text) {
    try {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        // The folder is looked up on every call: the user's profile may appear or
        // become writable while the program runs.
        AppendLine(LogFolder(),
                   FormatLine(now, sourceId, code1, code2,
                              std::wstring_view(text ? text : L"", SysStringLen(text))));
    } catch (...) {
        // Logging is best effort: the caller is reporting something else already.
    }
    return S_OK;
}

HRESULT CreateLogger(REFIID riid, void** out) noexcept {
    return com::CreateWithNew<LoggerObject>(riid, out);
}

}  // namespace qor::logging
