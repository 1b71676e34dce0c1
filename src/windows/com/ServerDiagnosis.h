#pragma once
// Why an in-process server cannot be created, in words an administrator can act
// on: not registered, registered only for programs of the other bitness,
// registered with a file that is gone, or with a file of the other bitness.

#include <windows.h>

#include <string>

namespace qor::com {

// The rest of a sentence that starts with the server's name and ProgID, for
// instance "is not registered". `hr` is what the creation returned.
std::string WhyCannotCreate(const wchar_t* progId, HRESULT hr);

}  // namespace qor::com
