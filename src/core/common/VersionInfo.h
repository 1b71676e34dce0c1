#pragma once
// What the component's version information says; the registry paths and the
// error reporter's fallback source are built from it.

namespace qor {
inline constexpr const char* kCompanyName = "Norvane";
inline constexpr const char* kProductName = "QORDial";
inline constexpr const char* kLibraryName = "qorIcon";
}  // namespace qor
