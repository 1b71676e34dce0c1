#pragma once
// Collects this process's debugger output for a test.

#include <windows.h>

#include <string>

namespace qortest {

// Collects this process's debugger output. OutputDebugString raises an exception
// that a debugger would turn into its output; a vectored handler sees it first,
// under Wine as under Windows, and lets it go on to the caller's own handler.
class DebugOutput {
  public:
    DebugOutput() : handler_(AddVectoredExceptionHandler(1, &Collect)) { text_.clear(); }
    ~DebugOutput() { RemoveVectoredExceptionHandler(handler_); }
    const std::string& Text() const { return text_; }

  private:
    static LONG CALLBACK Collect(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD& r = *info->ExceptionRecord;
        if (r.ExceptionCode == DBG_PRINTEXCEPTION_C && r.NumberParameters >= 2 &&
            r.ExceptionInformation[0] > 0)
            text_.append(reinterpret_cast<const char*>(r.ExceptionInformation[1]),
                         r.ExceptionInformation[0] - 1);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    static inline std::string text_;
    PVOID handler_;
};

}  // namespace qortest
