#pragma once
// The fixed answers of the scripting object's IObjectSafety: safe for untrusted
// callers on its automation interface, safe for untrusted data on the three
// persistence interfaces, nothing else. The safety state cannot be changed, so
// nothing is stored per object. The Windows layer forwards IObjectSafety here.

#include <cstdint>
#include <string>

namespace qor::basSafeCtl {

// The platform's INTERFACESAFE_FOR_UNTRUSTED_CALLER/_DATA, E_NOINTERFACE, E_POINTER
// and E_FAIL under names of our own: the platform's are macros, and the Windows
// layer includes this header beside them.
inline constexpr std::uint32_t kInterfaceSafeForUntrustedCaller = 1;
inline constexpr std::uint32_t kInterfaceSafeForUntrustedData = 2;

inline constexpr std::int32_t kSOk = 0;
inline constexpr std::int32_t kENoInterface = static_cast<std::int32_t>(0x80004002u);
inline constexpr std::int32_t kEPointer = static_cast<std::int32_t>(0x80004003u);
inline constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);

// Interface identifiers as the registry writes them.
inline constexpr const char* kIidIDispatch = "{00020400-0000-0000-C000-000000000046}";
inline constexpr const char* kIidIPersistStorage = "{0000010A-0000-0000-C000-000000000046}";
inline constexpr const char* kIidIPersistStream = "{00000109-0000-0000-C000-000000000046}";
inline constexpr const char* kIidIPersistPropertyBag = "{37D84F60-42CB-11CE-8135-00AA004BB851}";

// Registry text (braces, hyphens, upper case, 38 characters) of an identifier as it
// lies in memory: a 32-bit and two 16-bit fields little-endian, then 8 bytes.
std::string FormatGuid(const std::uint8_t (&bytes)[16]);

// `riid` is the address of an interface identifier, or null. Supported options are
// always set to both bits first; enabled options only when the interface is known.
std::int32_t GetInterfaceSafetyOptions(const void* riid, std::uint32_t* pdwSupportedOptions,
                                       std::uint32_t* pdwEnabledOptions) noexcept;
// Succeeds only when the options asked for are exactly the ones already given.
std::int32_t SetInterfaceSafetyOptions(const void* riid, std::uint32_t dwOptionsSetMask,
                                       std::uint32_t dwEnabledOptions) noexcept;

}  // namespace qor::basSafeCtl
