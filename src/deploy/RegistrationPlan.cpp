#include "deploy/RegistrationPlan.h"

#include <cstdio>
#include <stdexcept>

namespace qor::deploy {

namespace {

// The automation marshaler for dual and oleautomation interfaces, and the plain
// dispatch marshaler for a pure dispinterface: what RegisterTypeLib writes.
constexpr char kUniversalMarshaler[] = "{00020424-0000-0000-C000-000000000046}";
constexpr char kDispatchMarshaler[] = "{00020420-0000-0000-C000-000000000046}";
// Every class we serve lives in the client's single-threaded apartment.
constexpr char kThreadingModel[] = "Apartment";
// Only the flags a library declares; LIBFLAG_FHASDISKIMAGE (8) describes a loaded
// copy, which oleaut32 reports and the file does not hold.
constexpr std::uint16_t kDeclaredLibFlags = 0x7;

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::string PlatformKey(SysKind kind) {
    switch (kind) {
        case SysKind::Win16:
            return "win16";
        case SysKind::Win32:
            return "win32";
        case SysKind::Win64:
            return "win64";
        default:
            throw std::runtime_error("type library for an unsupported platform");
    }
}

bool Marshaled(const TypeFacts& type) {
    return type.kind == TypeKind::Dispatch ||
           (type.kind == TypeKind::Interface && (type.flags & kTypeFlagOleAutomation));
}

LibraryPlan PlanLibrary(const EmbeddedTypeLib& embedded, const Placement& where) {
    const TypeLibFacts& lib = embedded.facts;
    LibraryPlan plan;
    plan.resource = embedded.resource;
    plan.own = embedded.resource == 1;
    plan.guid = lib.guid;
    plan.version = Hex(lib.major) + "." + Hex(lib.minor);
    plan.helpDir = where.folder;
    plan.flags = std::to_string(lib.flags & kDeclaredLibFlags);
    const std::string versionKey = "TypeLib\\" + lib.guid + "\\" + plan.version;
    plan.pathKey = versionKey + "\\" + Hex(lib.lcid) + "\\" + PlatformKey(lib.sysKind);
    plan.path = where.modulePath;
    if (embedded.resource != 1) plan.path += "\\" + std::to_string(embedded.resource);

    auto& v = plan.values;
    v.push_back({plan.pathKey, "", plan.path});
    v.push_back({versionKey, "", lib.helpString.empty() ? lib.name : lib.helpString});
    v.push_back({versionKey + "\\FLAGS", "", plan.flags});
    v.push_back({versionKey + "\\HELPDIR", "", plan.helpDir});
    for (const TypeFacts& type : lib.types) {
        if (!Marshaled(type)) continue;
        const bool pureDispatch = type.kind == TypeKind::Dispatch && !(type.flags & kTypeFlagDual);
        InterfacePlan i{type.guid, type.name,
                        pureDispatch ? kDispatchMarshaler : kUniversalMarshaler};
        const std::string key = "Interface\\" + i.iid;
        v.push_back({key, "", i.name});
        v.push_back({key + "\\ProxyStubClsid", "", i.proxyStubClsid});
        v.push_back({key + "\\ProxyStubClsid32", "", i.proxyStubClsid});
        v.push_back({key + "\\TypeLib", "", lib.guid});
        v.push_back({key + "\\TypeLib", "Version", plan.version});
        plan.interfaces.push_back(std::move(i));
    }
    return plan;
}

}  // namespace

std::string ProgIdOf(const TypeLibFacts& library, const TypeFacts& coclass) {
    return library.name + "." + coclass.name;
}

ServerPlan PlanServer(const std::vector<EmbeddedTypeLib>& libraries, const Placement& where) {
    const EmbeddedTypeLib* own = nullptr;
    for (const auto& lib : libraries)
        if (lib.resource == 1) own = &lib;
    if (!own) throw std::runtime_error("the module embeds no type library of its own (resource 1)");

    ServerPlan plan;
    for (const TypeFacts& type : own->facts.types) {
        if (type.kind != TypeKind::CoClass || !(type.flags & kTypeFlagCanCreate)) continue;
        ClassPlan c{type.guid, ProgIdOf(own->facts, type),
                    type.helpString.empty() ? ProgIdOf(own->facts, type) : type.helpString,
                    kThreadingModel, own->facts.guid};
        const std::string key = "CLSID\\" + c.clsid;
        auto& v = plan.classValues;
        v.push_back({key, "", c.description});
        v.push_back({key + "\\InprocServer32", "", where.modulePath});
        v.push_back({key + "\\InprocServer32", "ThreadingModel", c.threadingModel});
        v.push_back({key + "\\ProgID", "", c.progId});
        v.push_back({key + "\\TypeLib", "", c.libraryGuid});
        v.push_back({c.progId, "", c.description});
        v.push_back({c.progId + "\\CLSID", "", c.clsid});
        plan.classes.push_back(std::move(c));
    }
    for (const auto& lib : libraries) plan.libraries.push_back(PlanLibrary(lib, where));
    return plan;
}

}  // namespace qor::deploy
