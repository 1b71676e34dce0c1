#pragma once
// What registration needs to know of a type library: the library itself and the
// kind, identifier, name, help string and flags of each of its types. The DLLs
// read these through oleaut32 from their own resources at run time; the build
// reads the same bytes from the shipped binaries (TypeLibFile.h). Plain data,
// no <windows.h>: the same rules then serve both.

#include <cstdint>
#include <string>
#include <vector>

namespace qor::deploy {

// The values of TYPEKIND, SYSKIND and the flags we look at, as the type library
// format stores them.
enum class TypeKind : std::uint8_t {
    Enum = 0,
    Record = 1,
    Module = 2,
    Interface = 3,
    Dispatch = 4,
    CoClass = 5,
    Alias = 6,
    Union = 7
};
enum class SysKind : std::uint8_t { Win16 = 0, Win32 = 1, Mac = 2, Win64 = 3 };

inline constexpr std::uint16_t kTypeFlagCanCreate = 0x2;        // TYPEFLAG_FCANCREATE
inline constexpr std::uint16_t kTypeFlagDual = 0x40;            // TYPEFLAG_FDUAL
inline constexpr std::uint16_t kTypeFlagOleAutomation = 0x100;  // TYPEFLAG_FOLEAUTOMATION

struct TypeFacts {
    TypeKind kind = TypeKind::Interface;
    std::string guid;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
    std::string name;
    std::string helpString;
    std::uint16_t flags = 0;
};

struct TypeLibFacts {
    std::string guid;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint32_t lcid = 0;
    SysKind sysKind = SysKind::Win32;
    std::uint16_t flags = 0;  // LIBFLAGS as declared
    std::string name;
    std::string helpString;
    std::vector<TypeFacts> types;
};

// The type libraries embedded in one module, by resource number (1 = its own).
struct EmbeddedTypeLib {
    int resource = 1;
    TypeLibFacts facts;
};

}  // namespace qor::deploy
