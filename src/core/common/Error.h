#pragma once
// The component's run-time error: number, description, source and line, as the
// client sees it in a COM error and as the error reporter writes it.

#include <cstdint>
#include <exception>
#include <string>

namespace qor {

// Error numbers the component raises itself (the classic automation numbers, so a
// client that already knows them reads them the same way).
namespace err {
inline constexpr std::int32_t kInvalidCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kInternal = 51;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kObjectRequired = 424;
inline constexpr std::int32_t kCannotCreateObject = 429;
inline constexpr std::int32_t kNoSuchMember = 438;
inline constexpr std::int32_t kKeyExists = 457;
}  // namespace err

// Source text of errors raised by the component's own code.
inline constexpr const char* kErrorSource = "qorIcon";

struct ErrorInfo {
    std::int32_t number = 0;
    std::string description;
    std::string source;
    std::int32_t line = 0;
};

class QorError : public std::exception {
  public:
    explicit QorError(ErrorInfo info) : info_(std::move(info)) {}
    QorError(std::int32_t number, std::string description, std::string source = kErrorSource)
        : info_{number, std::move(description), std::move(source), 0} {}

    const ErrorInfo& Info() const noexcept { return info_; }
    std::int32_t Number() const noexcept { return info_.number; }
    const char* what() const noexcept override { return info_.description.c_str(); }

  private:
    ErrorInfo info_;
};

// The standard description of an error number we raise ("Overflow", "Type mismatch"...).
std::string DescriptionOf(std::int32_t number);

// Throws the error with its standard description.
[[noreturn]] void Raise(std::int32_t number);
[[noreturn]] void Raise(std::int32_t number, std::string description,
                        std::string source = kErrorSource);

// Inside a catch block: the error being handled, whatever was thrown. Foreign
// exceptions become "Out of memory" or an internal error carrying their text.
ErrorInfo CurrentError() noexcept;

}  // namespace qor
