#include "deploy/Manifests.h"

#include "deploy/RegistrationPlan.h"
#include "deploy/XmlText.h"

namespace qor::deploy {

namespace {

std::string Identity(const std::string& name, const std::string& version, bool win64) {
    return "<assemblyIdentity type=\"win32\" name=\"" + Xml(name) + "\" version=\"" + Xml(version) +
           "\" processorArchitecture=\"" + (win64 ? "amd64" : "x86") + "\"/>";
}

constexpr char kHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n";

}  // namespace

std::string AssemblyName(const std::string& company, const std::string& fileName) {
    return company + "." + fileName.substr(0, fileName.rfind('.'));
}

std::string WriteAssemblyManifest(const std::string& company, const ManifestModule& module,
                                  const std::string& version, bool win64) {
    const ServerPlan plan = PlanServer(module.libraries, {module.fileName, ""});
    std::string out = kHead;
    out += "  " + Identity(AssemblyName(company, module.fileName), version, win64) + "\n";
    out += "  <file name=\"" + Xml(module.fileName) + "\">\n";
    for (const auto& c : plan.classes)
        out += "    <comClass clsid=\"" + c.clsid + "\" threadingModel=\"" + c.threadingModel +
               "\" progid=\"" + Xml(c.progId) + "\" tlbid=\"" + c.libraryGuid +
               "\" description=\"" + Xml(c.description) + "\"/>\n";
    // Each library by its resource number; the registry's FLAGS and HELPDIR,
    // spelled the way manifests want them (no help folder: the module's own).
    for (const auto& lib : plan.libraries)
        out += "    <typelib tlbid=\"" + lib.guid + "\" version=\"" + lib.version +
               "\" helpdir=\"\" resourceid=\"" + std::to_string(lib.resource) + "\" flags=\"\"/>\n";
    out += "  </file>\n";
    for (const auto& lib : plan.libraries)
        for (const auto& i : lib.interfaces)
            out += "  <comInterfaceExternalProxyStub name=\"" + Xml(i.name) + "\" iid=\"" + i.iid +
                   "\" proxyStubClsid32=\"" + i.proxyStubClsid + "\" tlbid=\"" + lib.guid +
                   "\"/>\n";
    out += "</assembly>\n";
    return out;
}

std::string WriteApplicationManifest(const std::string& company,
                                     const std::vector<ManifestModule>& modules,
                                     const std::string& version, bool win64) {
    std::string out = kHead;
    out +=
        "  <!-- Your program's own identity; the dependencies below bring the tray\n"
        "       component's classes without any registration. -->\n";
    out += "  " + Identity("YourCompany.YourClient", "1.0.0.0", win64) + "\n";
    for (const auto& module : modules)
        out += "  <dependency><dependentAssembly>" +
               Identity(AssemblyName(company, module.fileName), version, win64) +
               "</dependentAssembly></dependency>\n";
    out += "</assembly>\n";
    return out;
}

}  // namespace qor::deploy
