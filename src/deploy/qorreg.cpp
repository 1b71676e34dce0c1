// qorreg: the build's view of what the server modules register, read from the
// modules themselves (their TYPELIB resources), turned into the installer source,
// the side-by-side manifests, or a listing.
//
//   qorreg package --arch x64|x86 --version 5.5.21.7 --product NAME --manufacturer NAME
//                  --upgrade-code {GUID} --folder 'Norvane\qorIcon' --stage DIR
//                  [--exclude SUFFIX]... [--feature ID=TITLE=DESCRIPTION=FILE]...
//                  [--link-handler FILE] --wxs OUT.wxs --sql OUT.sql
//   qorreg manifests --arch x64|x86 --version V --company NAME --out DIR MODULE...
//   qorreg registry --folder 'C:\dir\' MODULE...   what regsvr32 writes, one value a line
//   qorreg classes MODULE...                        "ProgID CLSID description", one a line
//
// A module is a .dll or .ocx with a TYPELIB resource; in `package`, every such
// file of the staged tree is registered by the package's own registry table, and
// the link handler (qorcall.exe) by the rows of its own registration table. An
// optional feature is off by default; ID in capitals (=1) turns it on.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "deploy/InstallerSource.h"
#include "deploy/Manifests.h"
#include "deploy/RegistrationPlan.h"
#include "deploy/TypeLibFile.h"

namespace fs = std::filesystem;
using namespace qor::deploy;

namespace {

struct Arguments {
    std::multimap<std::string, std::string> options;
    std::vector<std::string> positional;

    std::string One(const std::string& name) const {
        auto found = options.find(name);
        if (found == options.end()) throw std::runtime_error("missing --" + name);
        return found->second;
    }
    std::vector<std::string> All(const std::string& name) const {
        std::vector<std::string> values;
        for (auto [i, end] = options.equal_range(name); i != end; ++i) values.push_back(i->second);
        return values;
    }
};

Arguments Parse(int argc, char** argv) {
    Arguments args;
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        if (word.rfind("--", 0) == 0) {
            if (i + 1 >= argc) throw std::runtime_error(word + " needs a value");
            args.options.emplace(word.substr(2), argv[++i]);
        } else {
            args.positional.push_back(word);
        }
    }
    return args;
}

bool Win64(const Arguments& args) {
    const std::string arch = args.One("arch");
    if (arch != "x64" && arch != "x86") throw std::runtime_error("--arch is x64 or x86");
    return arch == "x64";
}

std::vector<EmbeddedTypeLib> LibrariesOf(const std::string& path) {
    return ReadEmbeddedTypeLibs(ReadFileBytes(path));
}

bool IsModule(const fs::path& path) {
    const std::string ext = path.extension().string();
    return ext == ".dll" || ext == ".ocx" || ext == ".DLL" || ext == ".OCX";
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

int Package(const Arguments& args) {
    PackageContents package;
    package.win64 = Win64(args);
    package.productName = args.One("product");
    package.manufacturer = args.One("manufacturer");
    package.version = args.One("version");
    package.upgradeCode = args.One("upgrade-code");
    package.installFolder = args.One("folder");
    package.mainFeature = {"Complete", package.productName,
                           "The component and its parts, registered for every user"};
    // Optional features name the files that make them: ID=TITLE=DESCRIPTION=FILE.
    std::map<std::string, std::string> featureOfFile;
    for (const std::string& f : args.All("feature")) {
        std::vector<std::string> parts;
        std::size_t from = 0;
        for (std::size_t at; (at = f.find('=', from)) != std::string::npos; from = at + 1)
            parts.push_back(f.substr(from, at - from));
        parts.push_back(f.substr(from));
        if (parts.size() != 4) throw std::runtime_error("--feature is ID=TITLE=DESCRIPTION=FILE");
        package.optionalFeatures.push_back({parts[0], parts[1], parts[2]});
        featureOfFile[parts[3]] = parts[0];
    }
    const auto linkHandler = args.All("link-handler");
    const fs::path stage = args.One("stage");
    const auto excluded = args.All("exclude");
    std::vector<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(stage))
        if (entry.is_regular_file()) paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    for (const fs::path& path : paths) {
        const std::string relative = fs::relative(path, stage).generic_string();
        bool skip = false;
        for (const auto& suffix : excluded)
            skip = skip ||
                   (relative.size() >= suffix.size() &&
                    relative.compare(relative.size() - suffix.size(), suffix.size(), suffix) == 0);
        if (skip) continue;
        // wixl reads sources relative to where it runs: the staged folder.
        PackageFile file{relative, relative, {}, {}};
        file.linkHandler = std::find(linkHandler.begin(), linkHandler.end(),
                                     path.filename().string()) != linkHandler.end();
        if (IsModule(path)) file.libraries = LibrariesOf(path.string());
        auto feature = featureOfFile.find(path.filename().string());
        if (feature != featureOfFile.end()) file.feature = feature->second;
        package.files.push_back(std::move(file));
    }
    const PackageSource source = WritePackageSource(package);
    WriteText(args.One("wxs"), source.wxs);
    std::string sql;
    for (const auto& statement : source.sql) sql += statement + "\n";
    WriteText(args.One("sql"), sql);
    return 0;
}

int Manifests(const Arguments& args) {
    const bool win64 = Win64(args);
    const std::string version = args.One("version");
    const std::string company = args.One("company");
    const fs::path out = args.One("out");
    fs::create_directories(out);
    std::vector<ManifestModule> modules;
    for (const auto& path : args.positional) {
        ManifestModule module{fs::path(path).filename().string(), LibrariesOf(path)};
        WriteText((out / (AssemblyName(company, module.fileName) + ".manifest")).string(),
                  WriteAssemblyManifest(company, module, version, win64));
        modules.push_back(std::move(module));
    }
    WriteText((out / "client.exe.manifest").string(),
              WriteApplicationManifest(company, modules, version, win64));
    return 0;
}

int Registry(const Arguments& args) {
    const std::string folder = args.One("folder");
    for (const auto& path : args.positional) {
        const std::string file = fs::path(path).filename().string();
        const ServerPlan plan = PlanServer(LibrariesOf(path), {folder + file, folder});
        auto print = [](const RegistryValue& v) {
            std::printf("%s|%s|%s\n", v.key.c_str(), v.name.c_str(), v.data.c_str());
        };
        for (const auto& v : plan.classValues) print(v);
        for (const auto& lib : plan.libraries)
            for (const auto& v : lib.values) print(v);
    }
    return 0;
}

int Classes(const Arguments& args) {
    for (const auto& path : args.positional)
        for (const auto& c : PlanServer(LibrariesOf(path), {path, ""}).classes)
            std::printf("%s %s %s\n", c.progId.c_str(), c.clsid.c_str(), c.description.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        const Arguments args = Parse(argc, argv);
        if (command == "package") return Package(args);
        if (command == "manifests") return Manifests(args);
        if (command == "registry") return Registry(args);
        if (command == "classes") return Classes(args);
        std::fprintf(stderr,
                     "usage: qorreg package|manifests|registry|classes ... (see qorreg.cpp)\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qorreg: %s\n", e.what());
        return 1;
    }
}
