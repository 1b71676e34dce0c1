// The registration plan as the DLLs and the packages derive it from the type
// libraries: what is read from the files, and what is written for it.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "deploy/RegistrationPlan.h"
#include "deploy/TypeLibFixtures.h"

using namespace qor::deploy;

namespace {

const RegistryValue* Find(const std::vector<RegistryValue>& values, const std::string& key,
                          const std::string& name = "") {
    for (const auto& v : values)
        if (v.key == key && v.name == name) return &v;
    return nullptr;
}

std::set<std::string> ProgIds(const TypeLibFacts& lib) {
    std::set<std::string> ids;
    for (const auto& c : PlanServer({{1, lib}}, {"m.dll", "C:\\"}).classes) ids.insert(c.progId);
    return ids;
}

}  // namespace

// The ProgIDs the contract fixes, exactly as spelled: a type library keeps one
// spelling per name, so a parameter named like a class renames the class.
TEST(TypeLibFile, RealLibrariesGiveTheContractsProgIds) {
    const std::vector<std::pair<std::string, std::set<std::string>>> cases = {
        {"qorIcon64", {"qorIcon.Launcher", "qorIcon.MenuEvent", "qorIcon.ClickToCall"}},
        {"qorIcon32", {"qorIcon.Launcher", "qorIcon.MenuEvent", "qorIcon.ClickToCall"}},
        {"trayicon64", {"TrayIconCtl.TrayIcon"}},
        {"qoricons64", {"QORIcons.Icons", "QORIcons.StringTable"}},
        {"qortranslate64", {"QORTranslate.CaptionTranslator"}},
        {"qorlog64", {"QORLog.Logger"}},
        {"QorDial64", {}},
    };
    for (const auto& [name, expected] : cases) {
        QOR_LOAD_TLB(lib, name);
        EXPECT_EQ(expected, ProgIds(lib)) << name;
    }
}

TEST(TypeLibFile, LibraryAttributes) {
    QOR_LOAD_TLB(lib64, "qorIcon64");
    QOR_LOAD_TLB(lib32, "qorIcon32");
    EXPECT_EQ("{C16EF350-6D92-4AFB-9DFE-B9B62D8CD7A1}", lib64.guid);
    EXPECT_EQ("qorIcon", lib64.name);
    EXPECT_EQ("qorIcon notification-area component", lib64.helpString);
    EXPECT_EQ(5, lib64.major);
    EXPECT_EQ(5, lib64.minor);
    EXPECT_EQ(0u, lib64.lcid);
    EXPECT_EQ(SysKind::Win64, lib64.sysKind);
    EXPECT_EQ(SysKind::Win32, lib32.sysKind);
}

TEST(TypeLibFile, MalformedInputIsRefusedNotReadPast) {
    QOR_LOAD_TLB(lib, "sample32");
    (void)lib;
    const auto bytes = ReadFileBytes(qortest::TlbPath("sample32"));
    for (std::size_t size : {std::size_t{0}, std::size_t{3}, std::size_t{0x54}, bytes.size() / 2}) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + size);
        EXPECT_THROW(ReadTypeLib(cut), std::runtime_error) << size;
    }
    auto notMsft = bytes;
    notMsft[0] = 'X';
    EXPECT_THROW(ReadTypeLib(notMsft), std::runtime_error);
    EXPECT_THROW(ReadEmbeddedTypeLibs(bytes), std::runtime_error);  // a .tlb is no module
}

TEST(RegistrationPlan, ClassesAreTheCreatableCoclassesOfTheOwnLibrary) {
    QOR_LOAD_TLB(lib, "sample32");
    const ServerPlan plan = PlanServer({{1, lib}}, {"C:\\P\\s.dll", "C:\\P\\"});
    ASSERT_EQ(2u, plan.classes.size());  // Part is noncreatable
    EXPECT_EQ("SampleLib.Thing", plan.classes[0].progId);
    EXPECT_EQ("A <creatable> thing", plan.classes[0].description);
    EXPECT_EQ("SampleLib.Quiet", plan.classes[1].description);  // no help string: the ProgID
    const std::string clsid = "CLSID\\{0A6E1DE0-6666-4A6E-9000-00000000000F}";
    EXPECT_EQ("C:\\P\\s.dll", Find(plan.classValues, clsid + "\\InprocServer32")->data);
    EXPECT_EQ("Apartment",
              Find(plan.classValues, clsid + "\\InprocServer32", "ThreadingModel")->data);
    EXPECT_EQ("{0A6E1DE0-6666-4A6E-9000-00000000000F}",
              Find(plan.classValues, "SampleLib.Thing\\CLSID")->data);
}

TEST(RegistrationPlan, LibraryKeysAndMarshaledInterfaces) {
    QOR_LOAD_TLB(lib, "sample32");
    const ServerPlan plan = PlanServer({{1, lib}}, {"C:\\P\\s.dll", "C:\\P\\"});
    const LibraryPlan& l = plan.libraries.at(0);
    const std::string version = "TypeLib\\{0A6E1DE0-1111-4A6E-9000-00000000000A}\\2.a";  // hex
    EXPECT_EQ(version + "\\0\\win32", l.pathKey);
    EXPECT_EQ("C:\\P\\s.dll", Find(l.values, l.pathKey)->data);
    EXPECT_EQ("Sample [library] & co", Find(l.values, version)->data);
    EXPECT_EQ("0", Find(l.values, version + "\\FLAGS")->data);
    EXPECT_EQ("C:\\P\\", Find(l.values, version + "\\HELPDIR")->data);

    // Dual and oleautomation: the automation marshaler; a pure dispinterface: the
    // dispatch one; a plain interface is not the library's to register.
    const std::vector<std::pair<std::string, std::string>> marshaled = {
        {"{0A6E1DE0-2222-4A6E-9000-00000000000B}", "{00020424-0000-0000-C000-000000000046}"},
        {"{0A6E1DE0-3333-4A6E-9000-00000000000C}", "{00020424-0000-0000-C000-000000000046}"},
        {"{0A6E1DE0-5555-4A6E-9000-00000000000E}", "{00020420-0000-0000-C000-000000000046}"},
    };
    for (const auto& [iid, proxy] : marshaled) {
        const std::string key = "Interface\\" + iid;
        ASSERT_NE(nullptr, Find(l.values, key)) << iid;
        EXPECT_EQ(proxy, Find(l.values, key + "\\ProxyStubClsid32")->data) << iid;
        EXPECT_EQ("2.a", Find(l.values, key + "\\TypeLib", "Version")->data) << iid;
    }
    EXPECT_EQ(nullptr, Find(l.values, "Interface\\{0A6E1DE0-4444-4A6E-9000-00000000000D}"));
}

TEST(RegistrationPlan, ALibraryOfSomeoneElseIsMarkedAndAddressedByResource) {
    QOR_LOAD_TLB(own, "qorIcon64");
    QOR_LOAD_TLB(dialer, "QorDial64");
    const ServerPlan plan = PlanServer({{1, own}, {2, dialer}}, {"C:\\q.dll", "C:\\"});
    ASSERT_EQ(2u, plan.libraries.size());
    EXPECT_TRUE(plan.libraries[0].own);
    EXPECT_FALSE(plan.libraries[1].own);
    EXPECT_EQ("C:\\q.dll\\2", plan.libraries[1].path);
    EXPECT_EQ(3u, plan.classes.size());  // classes come from the own library only

    EXPECT_THROW(PlanServer({{2, dialer}}, {"C:\\q.dll", "C:\\"}), std::runtime_error);
}
