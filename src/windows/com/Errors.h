#pragma once
// How failures cross the COM boundary. Inside, code throws (qor::QorError for the
// component's own errors, ComError for a failed COM call); at every COM method,
// export and window procedure one Guard turns whatever was thrown into an HRESULT
// plus the thread's error info, so the client sees that call's error with its
// number and description and nothing else escapes.

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>

#include "core/common/Error.h"

namespace qor::com {

// A COM call that failed, with the description we could get for it.
class ComError : public std::exception {
  public:
    ComError(HRESULT hr, std::string description) : hr_(hr), description_(std::move(description)) {}
    HRESULT Result() const noexcept { return hr_; }
    const char* what() const noexcept override { return description_.c_str(); }

  private:
    HRESULT hr_;
    std::string description_;
};

// Throws ComError when hr failed; `what` names the call for the description.
void ThrowIfFailed(HRESULT hr, const char* what);

// The HRESULT a client sees for an automation error number: small numbers are the
// classic control errors (0x800A0000 + number), negative numbers are HRESULTs already.
HRESULT HResultFromErrorNumber(std::int32_t number) noexcept;
// The reverse: the error number a late-bound caller reports for an HRESULT.
std::int32_t ErrorNumberFromHResult(HRESULT hr) noexcept;

// Sets the calling thread's error info (what IErrorInfo-aware clients read).
void SetErrorInfo(const std::wstring& description, const std::wstring& source, REFIID iid) noexcept;

// The error info for the exception being handled; call only inside a catch block.
// Returns the HRESULT to hand back.
HRESULT ReportCurrentException(REFIID iid, const wchar_t* defaultSource) noexcept;

// Runs body (which returns void or an HRESULT) and maps anything thrown to an
// HRESULT with error info. The one catch-all of a COM entry point.
template <class F>
HRESULT Guard(REFIID iid, const wchar_t* source, F&& body) noexcept {
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (...) {
        return ReportCurrentException(iid, source);
    }
}

}  // namespace qor::com
