#pragma once
// The Windows Installer source (.wxs, for wixl) of one architecture's package: a
// per-machine install into Program Files, one component per file, and the COM
// registration of every server module written by the package's own registry
// table from the module's registration plan (never by running
// self-registration). A library that belongs to someone else (resource 2 and
// up) goes into a component of its own that installs only where that library is
// not registered yet. The link handler's registration goes with its file,
// machine-wide, each link scheme in a component of its own that installs only
// where no other program handles that scheme. Optional features are off unless
// asked for. What wixl cannot say (those conditions and searches, feature levels,
// upgrades between builds of one version) comes out as SQL for msibuild to apply
// to the package.

#include <string>
#include <vector>

#include "deploy/TypeLibFacts.h"

namespace qor::deploy {

struct PackageFile {
    std::string relativePath;                // below the install folder, '/' separated
    std::string sourcePath;                  // where wixl reads it
    std::vector<EmbeddedTypeLib> libraries;  // empty: not a COM server
    std::string feature;                     // empty: the main feature
    bool linkHandler = false;  // qorcall.exe: its registration (LinkRegistration.h) goes with it
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
    std::vector<PackageFeature>
        optionalFeatures;  // each with files naming it; parts of the main one
    std::vector<PackageFile> files;
};

struct PackageSource {
    std::string wxs;
    std::vector<std::string> sql;  // to run on the built package, in order
};

PackageSource WritePackageSource(const PackageContents& package);

}  // namespace qor::deploy
