#include "core/common/Error.h"

#include <new>

namespace qor {

std::string DescriptionOf(std::int32_t number) {
    switch (number) {
        case err::kInvalidCall:
            return "Invalid procedure call or argument";
        case err::kOverflow:
            return "Overflow";
        case err::kOutOfMemory:
            return "Out of memory";
        case err::kSubscriptOutOfRange:
            return "Subscript out of range";
        case err::kTypeMismatch:
            return "Type mismatch";
        case err::kInternal:
            return "Internal error";
        case err::kFileNotFound:
            return "File not found";
        case err::kObjectNotSet:
            return "Object variable or With block variable not set";
        case err::kObjectRequired:
            return "Object required";
        case err::kCannotCreateObject:
            return "ActiveX component can't create object";
        case err::kNoSuchMember:
            return "Object doesn't support this property or method";
        case err::kKeyExists:
            return "This key is already associated with an element of this collection";
        default:
            return "Application-defined or object-defined error";
    }
}

void Raise(std::int32_t number) {
    throw QorError(number, DescriptionOf(number));
}

void Raise(std::int32_t number, std::string description, std::string source) {
    throw QorError(number, std::move(description), std::move(source));
}

ErrorInfo CurrentError() noexcept {
    try {
        throw;
    } catch (const QorError& e) {
        return e.Info();
    } catch (const std::bad_alloc&) {
        return {err::kOutOfMemory, DescriptionOf(err::kOutOfMemory), kErrorSource, 0};
    } catch (const std::exception& e) {
        return {err::kInternal, e.what(), kErrorSource, 0};
    } catch (...) {
        return {err::kInternal, DescriptionOf(err::kInternal), kErrorSource, 0};
    }
}

}  // namespace qor
