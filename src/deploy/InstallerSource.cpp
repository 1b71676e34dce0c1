#include "deploy/InstallerSource.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>

#include "deploy/LinkRegistration.h"
#include "deploy/RegistrationPlan.h"
#include "deploy/XmlText.h"

namespace qor::deploy {

namespace {

// Registry keys and values are formatted text in a package: a literal bracket
// must be written as [\[] or [\]]. The placement stands in as markers until the
// rest is escaped, then becomes the installer's own references.
constexpr char kModuleMarker[] = "\x1emodule\x1e";
constexpr char kFolderMarker[] =
    "\x1e"
    "folder\x1e";

std::string Formatted(std::string text, const std::string& fileId) {
    std::string out;
    for (char c : text) {
        if (c == '[')
            out += "[\\[]";
        else if (c == ']')
            out += "[\\]]";
        else
            out += c;
    }
    auto replace = [&out](const std::string& marker, const std::string& with) {
        for (auto at = out.find(marker); at != std::string::npos; at = out.find(marker, at))
            out.replace(at, marker.size(), with);
    };
    replace(kModuleMarker, "[#" + fileId + "]");
    replace(kFolderMarker, "[INSTALLDIR]");
    return out;
}

// Identifiers of the package's tables: letters, digits, '_' and '.', not
// starting with a digit, at most 72 characters.
std::string Identifier(const std::string& prefix, const std::string& text) {
    std::string id = prefix;
    for (char c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '.';
        id += ok ? c : '_';
    }
    if (id.size() > 72) throw std::runtime_error("name too long for a package identifier: " + text);
    return id;
}

// A fixed GUID for a component that has no file to derive one from: a hash of
// the package's upgrade code and the component's name (FNV-1a, two seeds), shaped
// as a name-based GUID so it never collides with a random one.
std::string NamedGuid(const std::string& upgradeCode, const std::string& name) {
    auto fnv = [](std::uint64_t hash, const std::string& text) {
        for (unsigned char c : text) hash = (hash ^ c) * 0x100000001B3ull;
        return hash;
    };
    const std::string key = upgradeCode + "/" + name;
    std::uint64_t high = fnv(0xCBF29CE484222325ull, key);
    std::uint64_t low = fnv(0x84222325CBF29CE4ull, key);
    high = (high & ~0xF000ull) | 0x5000ull;            // version 5
    low = (low & ~(0xC0ull << 56)) | (0x80ull << 56);  // RFC 4122 variant
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>(high >> 16 & 0xFFFF),
                  static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

// Roots of the RegLocator table.
constexpr int kHkcr = 0;
constexpr int kHklm = 2;

struct Folder {
    std::map<std::string, Folder> children;
    std::vector<const PackageFile*> files;
};

void WriteValue(std::string& out, const std::string& root, const std::string& key,
                const std::string& name, const std::string& data, const std::string& fileId,
                const std::string& indent, bool keyPath = false) {
    out +=
        indent + "<RegistryValue Root=\"" + root + "\" Key=\"" + Xml(Formatted(key, fileId)) + "\"";
    if (!name.empty()) out += " Name=\"" + Xml(Formatted(name, fileId)) + "\"";
    out += " Type=\"string\" Value=\"" + Xml(Formatted(data, fileId)) + "\"";
    out += keyPath ? " KeyPath=\"yes\"/>\n" : "/>\n";
}

void RegistryValues(std::string& out, const std::vector<RegistryValue>& values,
                    const std::string& fileId, const std::string& indent) {
    for (const auto& v : values) WriteValue(out, "HKCR", v.key, v.name, v.data, fileId, indent);
}

// The link handler's rows of one scheme, or its own (scheme null), machine-wide.
// A scheme's key path is its open command: the value that says whose it is.
void LinkValues(std::string& out, const char* scheme, const std::string& fileId,
                const std::string& indent) {
    for (const auto& v : kLinkRegistration) {
        if ((v.scheme == nullptr) != (scheme == nullptr)) continue;
        if (scheme && std::string(scheme) != v.scheme) continue;
        const bool keyPath = scheme && v.key == OpenCommandKey(scheme) && *v.name == '\0';
        WriteValue(out, "HKLM", v.key, v.name, WithExe(v.data, kModuleMarker), fileId, indent,
                   keyPath);
    }
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string SqlText(std::string text) {
    for (auto at = text.find('\''); at != std::string::npos; at = text.find('\'', at + 2))
        text.replace(at, 1, "''");
    return "'" + text + "'";
}

class Writer {
  public:
    explicit Writer(const PackageContents& package) : package_(package) {}

    PackageSource Write() {
        for (const auto& file : package_.files) {
            Folder* folder = &root_;
            std::string path = file.relativePath;
            for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/')) {
                folder = &folder->children[path.substr(0, slash)];
                path.erase(0, slash + 1);
            }
            folder->files.push_back(&file);
        }

        const std::string win64 = package_.win64 ? "yes" : "no";
        out_ += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
        out_ += "<!-- Generated by qorreg from the binaries it packages; do not edit. -->\n";
        out_ += "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n";
        out_ += "  <Product Id=\"*\" Name=\"" + Xml(package_.productName) + "\" Manufacturer=\"" +
                Xml(package_.manufacturer) + "\" Version=\"" + Xml(package_.version) +
                "\" UpgradeCode=\"" + Xml(package_.upgradeCode) + "\" Language=\"1033\">\n";
        out_ +=
            "    <Package InstallerVersion=\"200\" Compressed=\"yes\" InstallScope=\"perMachine\""
            " Description=\"" +
            Xml(package_.productName) + "\"/>\n";
        out_ += "    <Media Id=\"1\" Cabinet=\"files.cab\" EmbedCab=\"yes\"/>\n";
        out_ += "    <MajorUpgrade DowngradeErrorMessage=\"A newer " + Xml(package_.productName) +
                " is already installed.\"/>\n";
        out_ += "    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n";
        out_ += std::string("      <Directory Id=\"") +
                (package_.win64 ? "ProgramFiles64Folder" : "ProgramFilesFolder") + "\">\n";
        std::string indent = "        ";
        std::string folderPath = package_.installFolder;
        std::vector<std::string> levels;
        for (auto slash = folderPath.find('\\'); slash != std::string::npos;
             slash = folderPath.find('\\')) {
            levels.push_back(folderPath.substr(0, slash));
            folderPath.erase(0, slash + 1);
        }
        // Folders above the install folder hold no file of ours: each gets a
        // component that removes it at uninstall once it is empty.
        for (const auto& level : levels) {
            const std::string id = Identifier("d_", level);
            const std::string component = Identifier("c_", level);
            out_ += indent + "<Directory Id=\"" + id + "\" Name=\"" + Xml(level) + "\">\n";
            out_ += indent + "  <Component Id=\"" + component + "\" Guid=\"" +
                    NamedGuid(package_.upgradeCode, component) + "\" Win64=\"" + win64 + "\">\n";
            out_ += indent + "    <RemoveFolder Id=\"" + Identifier("rm_", level) +
                    "\" On=\"uninstall\"/>\n";
            out_ += indent + "  </Component>\n";
            components_[""].push_back(component);
            indent += "  ";
        }
        out_ += indent + "<Directory Id=\"INSTALLDIR\" Name=\"" + Xml(folderPath) + "\">\n";
        WriteFolder(root_, "", indent + "  ", win64);
        out_ += indent + "</Directory>\n";
        for (std::size_t i = 0; i < levels.size(); ++i) {
            indent.resize(indent.size() - 2);
            out_ += indent + "</Directory>\n";
        }
        out_ += "      </Directory>\n    </Directory>\n";

        // Builds of one version (they differ in the fourth part, which Windows
        // Installer does not compare) replace each other, instead of piling up.
        // The attributes are part of the row's key: the row is written anew, with
        // the maximum version included (256 + 1: migrate features).
        sql_.push_back("DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'");
        sql_.push_back(
            "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) "
            "VALUES ('" +
            package_.upgradeCode + "', '" + package_.version +
            "', 513, "
            "'WIX_UPGRADE_DETECTED')");
        WriteFeatures();
        out_ += "  </Product>\n</Wix>\n";
        return {out_, sql_};
    }

  private:
    void WriteFolder(const Folder& folder, const std::string& path, const std::string& indent,
                     const std::string& win64) {
        for (const PackageFile* file : folder.files) WriteFile(*file, indent, win64);
        for (const auto& [name, child] : folder.children) {
            const std::string childPath = path.empty() ? name : path + "/" + name;
            out_ += indent + "<Directory Id=\"" + Identifier("d_", childPath) + "\" Name=\"" +
                    Xml(name) + "\">\n";
            WriteFolder(child, childPath, indent + "  ", win64);
            out_ += indent + "</Directory>\n";
        }
    }

    void WriteFile(const PackageFile& file, const std::string& indent, const std::string& win64) {
        const std::string id = Identifier("f_", file.relativePath);
        const std::string component = Identifier("c_", file.relativePath);
        const std::string name = file.relativePath.substr(file.relativePath.rfind('/') + 1);
        components_[file.feature].push_back(component);
        out_ +=
            indent + "<Component Id=\"" + component + "\" Guid=\"*\" Win64=\"" + win64 + "\">\n";
        out_ += indent + "  <File Id=\"" + id + "\" Name=\"" + Xml(name) + "\" Source=\"" +
                Xml(file.sourcePath) + "\" KeyPath=\"yes\"/>\n";
        ServerPlan plan;
        if (!file.libraries.empty()) {
            plan = PlanServer(file.libraries, {kModuleMarker, kFolderMarker});
            RegistryValues(out_, plan.classValues, id, indent + "  ");
            for (const auto& lib : plan.libraries)
                if (lib.own) RegistryValues(out_, lib.values, id, indent + "  ");
        }
        if (file.linkHandler) LinkValues(out_, nullptr, id, indent + "  ");
        out_ += indent + "</Component>\n";
        for (const auto& lib : plan.libraries)
            if (!lib.own) WriteForeignLibrary(lib, id, name, file.feature, indent, win64);
        if (file.linkHandler) WriteLinkSchemes(id, file.feature, indent, win64);
    }

    // Each scheme installs only where its open command is missing or is ours
    // already (our ProgID opens the same): an earlier build being upgraded, or
    // qorcall.exe registered by hand. Another program's handler stays its own.
    void WriteLinkSchemes(const std::string& fileId, const std::string& feature,
                          const std::string& indent, const std::string& win64) {
        const std::string ours = "LINK_PROGID_COMMAND";
        Search(ours, kHklm, OpenCommandKey(kLinkProgId));
        std::set<std::string> written;
        for (const auto& v : kLinkRegistration) {
            if (!v.scheme || !written.insert(v.scheme).second) continue;
            const std::string component = Identifier("c_scheme_", v.scheme);
            const std::string property = Identifier("", Upper(v.scheme) + "_COMMAND");
            components_[feature].push_back(component);
            out_ += indent + "<Component Id=\"" + component + "\" Guid=\"" +
                    NamedGuid(package_.upgradeCode, component) + "\" Win64=\"" + win64 + "\">\n";
            LinkValues(out_, v.scheme, fileId, indent + "  ");
            out_ += indent + "</Component>\n";
            Search(property, kHklm, OpenCommandKey(v.scheme));
            sql_.push_back("UPDATE `Component` SET `Condition` = 'NOT " + property + " OR " +
                           property + " = " + ours + "' WHERE `Component` = '" + component + "'");
        }
    }

    // Sets `property` at install to the default value of `key` (a string as it
    // stands), in the package's own registry view.
    void Search(const std::string& property, int root, const std::string& key) {
        if (!searching_) {
            // wixl schedules no search: the standard place, before the launch conditions.
            for (const char* table : {"InstallUISequence", "InstallExecuteSequence"})
                sql_.push_back(std::string("INSERT INTO `") + table +
                               "` (`Action`, `Sequence`) VALUES ('AppSearch', 50)");
            searching_ = true;
        }
        // msidbLocatorTypeRawValue (2), plus 16 for the 64-bit view.
        const int type = 2 + (package_.win64 ? 16 : 0);
        sql_.push_back("INSERT INTO `RegLocator` (`Signature_`, `Root`, `Key`, `Type`) VALUES (" +
                       SqlText(property) + ", " + std::to_string(root) + ", " + SqlText(key) +
                       ", " + std::to_string(type) + ")");
        sql_.push_back("INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES (" +
                       SqlText(property) + ", " + SqlText(property) + ")");
    }

    // Installed only where the library is not registered yet, or registered with
    // a module of this name (ours: an earlier build being upgraded, or regsvr32);
    // once installed it is the package's, and leaves with it. Wine's installer
    // evaluates the condition again at removal, where the package's own
    // registration must not make it skip the component.
    void WriteForeignLibrary(const LibraryPlan& lib, const std::string& fileId,
                             const std::string& moduleName, const std::string& feature,
                             const std::string& indent, const std::string& win64) {
        const std::string component = Identifier("c_lib_", lib.guid.substr(1, 36) + "_" + fileId);
        // A public property (upper case) that the search sets when the library is there.
        const std::string property = Identifier("REGISTERED_", lib.guid.substr(1, 36));
        components_[feature].push_back(component);
        out_ += indent + "<Component Id=\"" + component + "\" Guid=\"" +
                NamedGuid(package_.upgradeCode, component) + "\" Win64=\"" + win64 + "\">\n";
        std::vector<RegistryValue> values = lib.values;
        WriteValue(out_, "HKCR", values.front().key, "", values.front().data, fileId, indent + "  ",
                   true);
        values.erase(values.begin());
        RegistryValues(out_, values, fileId, indent + "  ");
        out_ += indent + "</Component>\n";
        Search(property, kHkcr, lib.pathKey);
        // ~>> : ends with, in any letter case.
        const std::string ours = "\\" + moduleName + "\\" + std::to_string(lib.resource);
        sql_.push_back("UPDATE `Component` SET `Condition` = " +
                       SqlText("NOT " + property + " OR " + property + " ~>> \"" + ours + "\"") +
                       " WHERE `Component` = '" + component + "'");
    }

    // The optional features are parts of the main one, so that asking for one
    // (ADDLOCAL=id) brings the main feature along. Level 2 is above the default
    // install level (1): off unless asked for, by ADDLOCAL or by ID=1 (in
    // capitals), which the Condition table turns into level 1.
    void WriteFeatures() {
        const PackageFeature& main = package_.mainFeature;
        out_ += "    <Feature Id=\"" + Identifier("", main.id) + "\" Level=\"1\" Title=\"" +
                Xml(main.title) + "\" Description=\"" + Xml(main.description) +
                "\" Absent=\"disallow\">\n";
        for (const auto& component : components_[""])
            out_ += "      <ComponentRef Id=\"" + component + "\"/>\n";
        bool conditions = false;
        for (const auto& optional : package_.optionalFeatures) {
            // An optional feature appears once something of it is built.
            if (components_[optional.id].empty()) continue;
            const std::string id = Identifier("", optional.id);
            out_ += "      <Feature Id=\"" + id + "\" Level=\"2\" Title=\"" + Xml(optional.title) +
                    "\" Description=\"" + Xml(optional.description) + "\">\n";
            for (const auto& component : components_[optional.id])
                out_ += "        <ComponentRef Id=\"" + component + "\"/>\n";
            out_ += "      </Feature>\n";
            if (!conditions) {
                sql_.push_back(
                    "CREATE TABLE `Condition` (`Feature_` CHAR(38) NOT NULL, `Level` SHORT NOT "
                    "NULL, `Condition` CHAR(255) PRIMARY KEY `Feature_`, `Level`)");
                conditions = true;
            }
            sql_.push_back("INSERT INTO `Condition` (`Feature_`, `Level`, `Condition`) VALUES (" +
                           SqlText(id) + ", 1, " + SqlText(Upper(id) + " = 1") + ")");
        }
        out_ += "    </Feature>\n";
    }

    const PackageContents& package_;
    Folder root_;
    std::string out_;
    std::vector<std::string> sql_;
    std::map<std::string, std::vector<std::string>> components_;
    bool searching_ = false;  // AppSearch is scheduled
};

}  // namespace

PackageSource WritePackageSource(const PackageContents& package) {
    return Writer(package).Write();
}

}  // namespace qor::deploy
