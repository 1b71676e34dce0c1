// The installer source and the side-by-side manifests generated from a module's
// type libraries.

#include <gtest/gtest.h>

#include <algorithm>

#include "deploy/InstallerSource.h"
#include "deploy/LinkRegistration.h"
#include "deploy/Manifests.h"
#include "deploy/TypeLibFixtures.h"

using namespace qor::deploy;

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// How many statements of the package's SQL hold `part`.
std::size_t Statements(const std::vector<std::string>& sql, const std::string& part) {
    return std::count_if(sql.begin(), sql.end(), [&](const auto& s) { return Has(s, part); });
}

PackageContents Contents(bool win64) {
    PackageContents package;
    package.win64 = win64;
    package.productName = "qorIcon (test)";
    package.manufacturer = "Norvane";
    package.version = "5.5.21.7";
    package.upgradeCode = "{F19D63DB-060D-4E9F-AA69-52AD2052A5A4}";
    package.installFolder = "Norvane\\qorIcon";
    package.mainFeature = {"Complete", "qorIcon", "everything"};
    package.optionalFeatures = {{"CallHandler", "Call links", "tel: links"}};
    return package;
}

}  // namespace

TEST(PackageSource, ModulesAreRegisteredByTheTableAndTextIsEscaped) {
    QOR_LOAD_TLB(lib, "sample64");
    PackageContents package = Contents(true);
    package.files = {{"sample.dll", "sample.dll", {{1, lib}}, ""},
                     {"sdk/a.idl", "sdk/a.idl", {}, ""}};
    const PackageSource out = WritePackageSource(package);
    const std::string& wxs = out.wxs;

    EXPECT_TRUE(Has(wxs, "<Directory Id=\"ProgramFiles64Folder\">"));
    EXPECT_TRUE(Has(wxs, "Win64=\"yes\""));
    EXPECT_TRUE(Has(wxs,
                    "Key=\"CLSID\\{0A6E1DE0-6666-4A6E-9000-00000000000F}\\InprocServer32\" "
                    "Type=\"string\" Value=\"[#f_sample.dll]\""));
    EXPECT_TRUE(Has(wxs, "Value=\"[INSTALLDIR]\""));
    // Brackets are formatted text in a package; < and & are XML.
    EXPECT_TRUE(Has(wxs, "Value=\"Sample [\\[]library[\\]] &amp; co\""));
    EXPECT_TRUE(Has(wxs, "Value=\"A &lt;creatable&gt; thing\""));
    // A folder without files of ours is removed once empty; files get one component each.
    EXPECT_TRUE(Has(wxs, "<RemoveFolder Id=\"rm_Norvane\" On=\"uninstall\"/>"));
    EXPECT_TRUE(Has(wxs, "<File Id=\"f_sdk_a.idl\" Name=\"a.idl\" Source=\"sdk/a.idl\""));
    ASSERT_EQ(2u, out.sql.size());  // builds of one version replace each other
    EXPECT_TRUE(Has(out.sql[1],
                    "VALUES ('{F19D63DB-060D-4E9F-AA69-52AD2052A5A4}', '5.5.21.7', 513, "
                    "'WIX_UPGRADE_DETECTED')"));
    // No file of the optional feature: no feature.
    EXPECT_FALSE(Has(wxs, "CallHandler"));
}

TEST(PackageSource, ForeignLibraryInstallsOnlyWhereAbsentAndFeaturesFollowTheirFiles) {
    QOR_LOAD_TLB(own, "qorIcon32");
    QOR_LOAD_TLB(dialer, "QorDial32");
    PackageContents package = Contents(false);
    package.files = {{"qorIcon.dll", "qorIcon.dll", {{1, own}, {2, dialer}}, ""},
                     {"qorcall.exe", "qorcall.exe", {}, "CallHandler"}};
    const PackageSource out = WritePackageSource(package);

    EXPECT_TRUE(Has(out.wxs, "<Directory Id=\"ProgramFilesFolder\">"));
    EXPECT_FALSE(Has(out.wxs, "Win64=\"yes\""));
    const std::string component = "c_lib_70D9F8E0_C87D_4619_AAA4_9A1002563639_f_qorIcon.dll";
    // Installed where the library is missing, or registered with a module of ours.
    EXPECT_TRUE(Has(out.wxs, "<Component Id=\"" + component + "\""));
    EXPECT_TRUE(Has(out.wxs,
                    "Key=\"TypeLib\\{70D9F8E0-C87D-4619-AAA4-9A1002563639}\\1.0\\0\\win32\" "
                    "Type=\"string\" Value=\"[#f_qorIcon.dll]\\2\" KeyPath=\"yes\""));
    EXPECT_EQ(
        1u, Statements(out.sql,
                       "INSERT INTO `RegLocator` (`Signature_`, `Root`, `Key`, `Type`) "
                       "VALUES ('REGISTERED_70D9F8E0_C87D_4619_AAA4_9A1002563639', "
                       "0, 'TypeLib\\{70D9F8E0-C87D-4619-AAA4-9A1002563639}\\1.0\\0\\win32', 2)"));
    EXPECT_EQ(1u, Statements(out.sql,
                             "SET `Condition` = 'NOT REGISTERED_70D9F8E0_C87D_4619_AAA4_"
                             "9A1002563639 OR REGISTERED_70D9F8E0_C87D_4619_AAA4_9A1002563639 "
                             "~>> \"\\qorIcon.dll\\2\"' WHERE `Component` = '" +
                                 component + "'"));
    // The searches run: wixl schedules none of its own.
    EXPECT_EQ(1u, Statements(out.sql,
                             "INTO `InstallExecuteSequence` (`Action`, `Sequence`) "
                             "VALUES ('AppSearch', 50)"));
    EXPECT_EQ(1u, Statements(out.sql, "INTO `InstallUISequence`"));
    // The optional feature is part of the main one, off unless asked for.
    EXPECT_TRUE(Has(out.wxs,
                    "      <Feature Id=\"CallHandler\" Level=\"2\" Title=\"Call links\" "
                    "Description=\"tel: links\">\n        <ComponentRef Id=\"c_qorcall.exe\"/>\n"
                    "      </Feature>\n    </Feature>\n"));
    EXPECT_EQ(1u, Statements(out.sql, "VALUES ('CallHandler', 1, 'CALLHANDLER = 1')"));

    // The same package built again names its components the same: upgrades rely on it.
    EXPECT_EQ(out.wxs, WritePackageSource(package).wxs);
}

TEST(PackageSource, LinkHandlerRegistersMachineWideAndSchemesYieldToAnotherHandler) {
    PackageContents package = Contents(true);
    PackageFile handler{"qorcall.exe", "qorcall.exe", {}, "CallHandler"};
    handler.linkHandler = true;
    package.files = {handler};
    const PackageSource out = WritePackageSource(package);
    const std::string& wxs = out.wxs;

    // Every row of the handler's table once, below HKLM, "{exe}" as the installed file.
    EXPECT_EQ(std::size(kLinkRegistration), Count(wxs, "<RegistryValue Root=\"HKLM\""));
    EXPECT_EQ(0u, Count(wxs, "{exe}"));
    EXPECT_TRUE(Has(wxs,
                    "Key=\"Software\\RegisteredApplications\" Name=\"Norvane.qorcall\" "
                    "Type=\"string\" Value=\"Software\\Classes\\Norvane.qorcall\\Capabilities\""));
    EXPECT_TRUE(Has(wxs,
                    "Key=\"Software\\Classes\\tel\" Name=\"URL Protocol\" Type=\"string\" "
                    "Value=\"\"/>"));
    // Each scheme is a component of its own, known by its command.
    const struct {
        std::string scheme, command;
    } schemes[] = {{"tel", "TEL_COMMAND"}, {"callto", "CALLTO_COMMAND"}};
    for (const auto& [scheme, command] : schemes) {
        const std::string component = "c_scheme_" + scheme;
        EXPECT_TRUE(Has(wxs, "<Component Id=\"" + component + "\""));
        EXPECT_TRUE(Has(
            wxs, "Key=\"Software\\Classes\\" + scheme +
                     "\\shell\\open\\command\" Type=\"string\" "
                     "Value=\"&quot;[#f_qorcall.exe]&quot; &quot;%1&quot;\" KeyPath=\"yes\"/>"));
        EXPECT_TRUE(Has(wxs, "<ComponentRef Id=\"" + component + "\"/>"));
        // Installed where the scheme opens nothing, or already opens this program.
        EXPECT_EQ(1u, Statements(out.sql, "SET `Condition` = 'NOT " + command + " OR " + command +
                                              " = LINK_PROGID_COMMAND' WHERE `Component` = '" +
                                              component + "'"));
        EXPECT_EQ(1u, Statements(out.sql, "VALUES ('" + command + "', 2, 'Software\\Classes\\" +
                                              scheme + "\\shell\\open\\command', 18)"));
    }
    EXPECT_EQ(1u, Statements(out.sql,
                             "VALUES ('LINK_PROGID_COMMAND', 2, "
                             "'Software\\Classes\\Norvane.qorcall\\shell\\open\\command', 18)"));
    EXPECT_EQ(2u, Statements(out.sql, "VALUES ('AppSearch', 50)"));
}

TEST(Manifests, AssemblyListsClassesLibrariesAndInterfaces) {
    QOR_LOAD_TLB(own, "qorIcon64");
    QOR_LOAD_TLB(dialer, "QorDial64");
    const ManifestModule module{"qorIcon.dll", {{1, own}, {2, dialer}}};
    const std::string m = WriteAssemblyManifest("Norvane", module, "5.5.21.7", true);
    EXPECT_TRUE(
        Has(m, "name=\"Norvane.qorIcon\" version=\"5.5.21.7\" processorArchitecture=\"amd64\""));
    EXPECT_TRUE(Has(m, "<file name=\"qorIcon.dll\">"));
    EXPECT_TRUE(Has(m,
                    "clsid=\"{35A71DFA-A28A-4500-A5E6-70973910D5B2}\" threadingModel=\"Apartment\" "
                    "progid=\"qorIcon.MenuEvent\""));
    EXPECT_TRUE(Has(m,
                    "tlbid=\"{70D9F8E0-C87D-4619-AAA4-9A1002563639}\" version=\"1.0\" helpdir=\"\" "
                    "resourceid=\"2\""));
    EXPECT_TRUE(Has(m,
                    "name=\"__MenuEvent\" iid=\"{BCA65941-5D01-4755-BC1D-EB0D50822715}\" "
                    "proxyStubClsid32=\"{00020420-0000-0000-C000-000000000046}\""));

    const std::string app = WriteApplicationManifest("Norvane", {module}, "5.5.21.7", false);
    EXPECT_TRUE(
        Has(app,
            "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
            "name=\"Norvane.qorIcon\" version=\"5.5.21.7\" processorArchitecture=\"x86\"/>"));
}
