#pragma once
// Small helpers shared by the form's source files.

#include "core/common/Error.h"

namespace qor {

// What the user is told when Answer or Hang Up finds no call to act on.
inline constexpr const char* kNoCallToAnswer = "Trying to answer... but there is no Current Call";
inline constexpr const char* kNoCallToHangUp = "Trying to HangUp... but there is no Current Call";

// Runs one step whose failure is skipped: the procedure goes on with the next step.
template <class F>
void SkipOnError(F&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

// Reference that must be set before use: a missing object is error 91, as the
// client's objects report it.
template <class P>
auto& Required(const P& pointer) {
    if (!pointer) Raise(err::kObjectNotSet);
    return *pointer;
}

}  // namespace qor
