#include "windows/com/Errors.h"

#include <new>

#include "windows/com/ComPtr.h"
#include "windows/com/Text.h"

namespace qor::com {

void ThrowIfFailed(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        char text[96];
        wsprintfA(text, "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
        throw ComError(hr, text);
    }
}

HRESULT HResultFromErrorNumber(std::int32_t number) noexcept {
    if (number < 0) return static_cast<HRESULT>(number);
    if (number == 0 || number > 0xFFFF) return E_FAIL;
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
}

std::int32_t ErrorNumberFromHResult(HRESULT hr) noexcept {
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) return HRESULT_CODE(hr);
    if (hr == E_OUTOFMEMORY) return qor::err::kOutOfMemory;
    if (hr == DISP_E_TYPEMISMATCH) return qor::err::kTypeMismatch;
    if (hr == DISP_E_OVERFLOW) return qor::err::kOverflow;
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) return qor::err::kNoSuchMember;
    if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING) return qor::err::kCannotCreateObject;
    return static_cast<std::int32_t>(hr);
}

void SetErrorInfo(const std::wstring& description, const std::wstring& source,
                  REFIID iid) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.Put()))) return;
    create->SetGUID(iid);
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    create->SetSource(const_cast<LPOLESTR>(source.c_str()));
    if (auto info = create.As<IErrorInfo>()) ::SetErrorInfo(0, info.Get());
}

HRESULT ReportCurrentException(REFIID iid, const wchar_t* defaultSource) noexcept {
    try {
        try {
            throw;
        } catch (const qor::QorError& e) {
            const auto& info = e.Info();
            SetErrorInfo(Widen(info.description),
                         info.source.empty() ? defaultSource : Widen(info.source), iid);
            return HResultFromErrorNumber(info.number);
        } catch (const ComError& e) {
            SetErrorInfo(Widen(e.what()), defaultSource, iid);
            return e.Result();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& e) {
            SetErrorInfo(Widen(e.what()), defaultSource, iid);
            return E_FAIL;
        } catch (...) {
            return E_UNEXPECTED;
        }
    } catch (...) {
        // Building the error info itself failed (out of memory): the code is enough.
        return E_FAIL;
    }
}

}  // namespace qor::com
