#pragma once
// Side-by-side manifests for registration-free use: one assembly per server
// module ("Norvane.<module>"), listing its classes with their ProgIDs, the type
// libraries it embeds and the marshaled interfaces, all from the module's
// registration plan; and an application manifest naming those assemblies, for a
// client that carries the modules in its own folder.

#include <string>
#include <vector>

#include "deploy/TypeLibFacts.h"

namespace qor::deploy {

struct ManifestModule {
    std::string fileName;  // "qorIcon.dll"
    std::vector<EmbeddedTypeLib> libraries;
};

// "Norvane.qorIcon" for "qorIcon.dll".
std::string AssemblyName(const std::string& company, const std::string& fileName);

// `version` has four parts ("5.5.21.7"); `win64` picks the processor architecture.
std::string WriteAssemblyManifest(const std::string& company, const ManifestModule& module,
                                  const std::string& version, bool win64);
std::string WriteApplicationManifest(const std::string& company,
                                     const std::vector<ManifestModule>& modules,
                                     const std::string& version, bool win64);

}  // namespace qor::deploy
