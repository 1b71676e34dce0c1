#pragma once
// Text between the core (8-bit strings in the system's ANSI code page, the same
// text the ANSI Win32 functions see) and automation (UTF-16 BSTRs).

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>

namespace qor::com {

std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);
// UTF-8, for text that must survive any code page (paths in the registration plan).
std::string Utf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// A BSTR is length-prefixed and may hold embedded nulls; null reads as "".
std::string FromBstr(BSTR text);
// A new BSTR the caller owns (for [out] parameters).
BSTR AllocBstr(std::string_view text);
// Registry format of a GUID: "{XXXXXXXX-...}".
std::wstring GuidText(REFGUID guid);

}  // namespace qor::com
