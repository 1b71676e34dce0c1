#pragma once
// What registering a COM server writes, derived from the type libraries the
// module embeds and nothing else: its classes (the creatable coclasses of its own
// library, resource 1, with ProgID "Library.Class" and the coclass's help string
// as description), and for each embedded library the TypeLib key and the
// Interface keys that let the automation marshaler find it. The DLLs register
// by this plan (machine-wide or per user), and the build turns the same plan
// into the installer's registry table and the side-by-side manifests.
//
// A library other than resource 1 belongs to someone else (the client's dialer
// library, embedded for its types): it is registered only where it is not
// registered yet, and removed only where it still points at this module.

#include <string>
#include <vector>

#include "deploy/TypeLibFacts.h"

namespace qor::deploy {

// One registry value below the classes root (HKEY_CLASSES_ROOT or
// HKCU\Software\Classes); an empty name is the key's default value.
struct RegistryValue {
    std::string key;
    std::string name;
    std::string data;
    bool operator==(const RegistryValue&) const = default;
};

// How the values spell where the module is: a real path for regsvr32, the
// installer's formatted text ("[#file]", "[INSTALLDIR]") for the package.
struct Placement {
    std::string modulePath;
    std::string folder;  // ends with a backslash
};

struct ClassPlan {
    std::string clsid;
    std::string progId;
    std::string description;
    std::string threadingModel;
    std::string libraryGuid;
};

struct InterfacePlan {
    std::string iid;
    std::string name;
    std::string proxyStubClsid;
};

struct LibraryPlan {
    int resource = 1;
    bool own = true;
    std::string guid;
    std::string version;  // "5.5" (hexadecimal parts, as the registry spells them)
    std::string helpDir;  // the placement's folder
    std::string flags;    // decimal LIBFLAGS
    std::string pathKey;  // TypeLib\{guid}\5.5\0\win64: its default value is the path
    std::string path;     // the module, "\2" appended for resource 2 and up
    std::vector<InterfacePlan> interfaces;
    std::vector<RegistryValue> values;  // pathKey's value first
};

struct ServerPlan {
    std::vector<ClassPlan> classes;
    std::vector<RegistryValue> classValues;
    std::vector<LibraryPlan> libraries;
};

// Throws std::runtime_error when the module has no library of its own.
ServerPlan PlanServer(const std::vector<EmbeddedTypeLib>& libraries, const Placement& where);

std::string ProgIdOf(const TypeLibFacts& library, const TypeFacts& coclass);

}  // namespace qor::deploy
