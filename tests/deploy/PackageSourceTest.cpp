// The installer source and the side-by-side manifests generated from a module's
// type libraries.

#include <gtest/gtest.h>

#include "deploy/InstallerSource.h"
#include "deploy/Manifests.h"
#include "deploy/TypeLibFixtures.h"

using namespace qor::deploy;

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

PackageContents Spec(bool win64) {
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
    PackageContents package = Spec(true);
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
    PackageContents package = Spec(false);
    package.files = {{"qorIcon.dll", "qorIcon.dll", {{1, own}, {2, dialer}}, ""},
                     {"qorcall.exe", "qorcall.exe", {}, "CallHandler"}};
    const PackageSource out = WritePackageSource(package);

    EXPECT_TRUE(Has(out.wxs, "<Directory Id=\"ProgramFilesFolder\">"));
    EXPECT_FALSE(Has(out.wxs, "Win64=\"yes\""));
    const std::string component = "c_lib_70D9F8E0_C87D_4619_AAA4_9A1002563639_f_qorIcon.dll";
    EXPECT_TRUE(Has(out.wxs, "<Component Id=\"" + component + "\""));
    EXPECT_TRUE(Has(out.wxs,
                    "Key=\"TypeLib\\{70D9F8E0-C87D-4619-AAA4-9A1002563639}\\1.0\\0\\win32\" "
                    "Type=\"string\" Value=\"[#f_qorIcon.dll]\\2\" KeyPath=\"yes\""));
    ASSERT_EQ(5u, out.sql.size());
    EXPECT_TRUE(Has(out.sql[0], "INSERT INTO `RegLocator`"));
    EXPECT_TRUE(
        Has(out.sql[0], "TypeLib\\{70D9F8E0-C87D-4619-AAA4-9A1002563639}\\1.0\\0\\win32', 2)"));
    EXPECT_TRUE(Has(out.sql[2],
                    "'NOT REGISTERED_70D9F8E0_C87D_4619_AAA4_9A1002563639' WHERE "
                    "`Component` = '" +
                        component + "'"));
    EXPECT_TRUE(Has(out.wxs, "<Feature Id=\"CallHandler\""));
    EXPECT_TRUE(Has(out.wxs, "<ComponentRef Id=\"c_qorcall.exe\"/>"));

    // The same package built again names its components the same: upgrades rely on it.
    EXPECT_EQ(out.wxs, WritePackageSource(package).wxs);
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
