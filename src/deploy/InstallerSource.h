#pragma once
// The Windows Installer source (.wxs, for wixl) of one architecture's package: a
// per-machine install into Program Files, one component per file, and the COM
// registration of every server module written by the package's own registry
// table from the module's registration plan (never by running
// self-registration). A library that belongs to someone else (resource 2 and
// up) goes into a component of its own that installs only where that library is
// not registered yet. What wixl cannot say (those conditions, upgrades between
// builds of one version) comes out as SQL for msibuild to apply to the package.

#include <string>
#include <vector>

#include "deploy/TypeLibFacts.h"

namespace qor::deploy {

struct PackageFile {
    std::string relativePath;                // below the install folder, '/' separated
    std::string sourcePath;                  // where wixl reads it
    std::vector<EmbeddedTypeLib> libraries;  // empty: not a COM server
    std::string feature;                     // empty: the main feature
};

struct PackageFeature {
    std::string id;
    std::string title;
    std::string description;
};

struct PackageContents {
    bool win64 = true;
    std::string productName;
    std::string manufacturer;
    std::string version;        // "5.5.21.7"
    std::string upgradeCode;    // "{...}", one per architecture, never changed
    std::string installFolder;  // below Program Files, '\' separated: "Norvane\qorIcon"
    PackageFeature mainFeature;
    std::vector<PackageFeature> optionalFeatures;  // each with files naming it
    std::vector<PackageFile> files;
};

struct PackageSource {
    std::string wxs;
    std::vector<std::string> sql;  // to run on the built package, in order
};

PackageSource WritePackageSource(const PackageContents& package);

}  // namespace qor::deploy
