#include <gtest/gtest.h>

#include <functional>

#include "core/settings/CRegSettings.h"
#include "native/MemoryRegistry.h"

namespace qor {
namespace {

constexpr const char* kSection = "Software\\Norvane\\QORDial\\Settings";

class CRegSettingsTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(reg.OpenHandleCount(), 0u) << "a key was left open"; }
    MemoryRegistry reg;
    CRegSettings settings{reg};
};

TEST_F(CRegSettingsTest, GetSettingReadsAnyDataAsTextAndFallsBackOnMissingOrEmpty) {
    using Setup = std::function<void(MemoryRegistry&)>;
    struct Case {
        const char* what;
        Setup setup;
        const char* key;
        const char* expected;
    } cases[] = {
        {"key missing", [](MemoryRegistry&) {}, "V", "dflt"},
        {"value missing",
         [](MemoryRegistry& r) { r.SetString(reg::kCurrentUser, kSection, "W", "x"); }, "V",
         "dflt"},
        {"empty data",
         [](MemoryRegistry& r) {
             r.SetRaw(reg::kCurrentUser, kSection, "V", reg::kTypeString, {});
         },
         "V", "dflt"},
        {"text", [](MemoryRegistry& r) { r.SetString(reg::kCurrentUser, kSection, "V", "abc"); },
         "v", "abc"},
        {"no terminator",
         [](MemoryRegistry& r) {
             r.SetRaw(reg::kCurrentUser, kSection, "V", reg::kTypeString, {'x', 'y'});
         },
         "V", "xy"},
        {"dword as text",
         [](MemoryRegistry& r) { r.SetDword(reg::kCurrentUser, kSection, "V", 0x00434241); }, "V",
         "ABC"},
        {"dword zero first",
         [](MemoryRegistry& r) { r.SetDword(reg::kCurrentUser, kSection, "V", 0x4100); }, "V",
         ""},  // data exists: its text is empty
        {"default value",
         [](MemoryRegistry& r) { r.SetString(reg::kCurrentUser, kSection, "", "unnamed"); }, "*",
         "unnamed"},
    };
    for (const auto& c : cases) {
        MemoryRegistry fresh;
        c.setup(fresh);
        CRegSettings s(fresh);
        EXPECT_EQ(s.GetSetting("Settings", c.key, "dflt"), c.expected) << c.what;
        EXPECT_EQ(fresh.OpenHandleCount(), 0u) << c.what;
    }
}

TEST_F(CRegSettingsTest, GetSettingLongTellsMissingKeyFromMissingValue) {
    EXPECT_EQ(settings.GetSettingLong("Settings", "N"), -1);
    reg.SetDword(reg::kCurrentUser, kSection, "N", 0xFFFFFFFE);
    reg.SetBinary(reg::kCurrentUser, kSection, "Short", {0x34, 0x12});
    reg.SetBinary(reg::kCurrentUser, kSection, "Long", {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(settings.GetSettingLong("Settings", "Missing"), 0);
    EXPECT_EQ(settings.GetSettingLong("Settings", "N"), -2);
    EXPECT_EQ(settings.GetSettingLong("Settings", "Short"), 0x1234);
    EXPECT_EQ(settings.GetSettingLong("Settings", "Long"), 0);  // never read past 4 bytes
    EXPECT_EQ(settings.GetSettingLongFromHKey(reg::kCurrentUser, "", "Nowhere", "N"), "-1");
}

TEST_F(CRegSettingsTest, BooleanIsFalseOnlyForTextStartingWithZero) {
    struct Case {
        const char* stored;  // nullptr: value missing
        std::int16_t dflt;
        bool expected;
    } cases[] = {{"00", -1, false}, {nullptr, 0, false}, {nullptr, 5, true}, {"no", 0, true},
                 {"0x", -1, false}, {"False", 0, true},  {" 0", 0, true},    {"1", 0, true}};
    for (const auto& c : cases) {
        reg.RemoveTree(reg::kCurrentUser, kSection);
        if (c.stored) reg.SetString(reg::kCurrentUser, kSection, "B", c.stored);
        EXPECT_EQ(settings.bGetSetting("Settings", "B", c.dflt), c.expected)
            << (c.stored ? c.stored : "(missing)") << " default " << c.dflt;
    }
}

TEST_F(CRegSettingsTest, IntegerParseStopsAtTheFirstNonDigitOrBeforeOverflow) {
    struct Case {
        const char* text;
        std::int16_t expected;
    } cases[] = {{"+15", 15}, {"1-2", 1},   {"40000", 4000},    {"99999", 9999}, {"x1", 0},
                 {"-7", -7},  {"12ab", 12}, {"-32768", -32768}, {"32768", 3276}, {"32767", 32767},
                 {"", 0},     {"-", 0},     {"--1", 0},         {" 5", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(CRegSettings::ParseInt16Prefix(c.text), c.expected) << c.text;

    EXPECT_EQ(settings.iGetSetting("Settings", "I", -12), -12);  // default passes as its text
    reg.SetString(reg::kCurrentUser, kSection, "I", "+15");
    EXPECT_EQ(settings.iGetSetting("Settings", "I", 3), 15);
}

TEST_F(CRegSettingsTest, SaveSettingStoresTextWithoutTerminatorAndDeletesOnEmpty) {
    ASSERT_TRUE(settings.SaveSetting("New\\Deep", "Name", "abc"));
    const std::string deep = "Software\\Norvane\\QORDial\\New\\Deep";
    EXPECT_EQ(reg.GetData(reg::kCurrentUser, deep, "name"),
              (std::vector<std::uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(reg.GetType(reg::kCurrentUser, deep, "Name"), reg::kTypeString);
    EXPECT_EQ(reg.KeyClass(reg::kCurrentUser, "Software\\Norvane"), "1");  // intermediate key too
    EXPECT_EQ(reg.KeyClass(reg::kCurrentUser, "Software"), "");            // existed before

    ASSERT_TRUE(settings.SaveSetting("New\\Deep", "*", "dv"));
    EXPECT_EQ(reg.GetString(reg::kCurrentUser, deep, ""), "dv");

    EXPECT_TRUE(settings.SaveSetting("New\\Deep", "Name", ""));
    EXPECT_FALSE(reg.GetString(reg::kCurrentUser, deep, "Name"));
    EXPECT_FALSE(settings.SaveSetting("New\\Deep", "Name", ""));  // nothing left to delete

    reg.DenyWriteAccess(reg::kCurrentUser);
    EXPECT_FALSE(settings.SaveSetting("New\\Deep", "Name", "x"));
    EXPECT_EQ(settings.GetSetting("New\\Deep", "*"), "dv");  // reading still works
}

TEST_F(CRegSettingsTest, DeleteSettingRemovesValuesAndLeafSectionsOnly) {
    reg.SetString(reg::kCurrentUser, kSection, "V", "1");
    reg.SetString(reg::kCurrentUser, "Software\\Norvane\\QORDial\\Parent\\Child", "V", "1");
    EXPECT_TRUE(settings.DeleteSetting("Settings", "v"));
    EXPECT_FALSE(settings.DeleteSetting("Settings", "V"));
    EXPECT_FALSE(settings.DeleteSetting("Missing", "V"));
    EXPECT_FALSE(settings.DeleteSetting("Parent", ""));  // has a subkey
    EXPECT_TRUE(reg.KeyExists(reg::kCurrentUser, "Software\\Norvane\\QORDial\\Parent"));
    EXPECT_TRUE(settings.DeleteSetting("Settings", ""));
    EXPECT_FALSE(reg.KeyExists(reg::kCurrentUser, kSection));
    EXPECT_FALSE(settings.DeleteSetting("", ""));
    EXPECT_TRUE(reg.KeyExists(reg::kCurrentUser, "Software\\Norvane\\QORDial"));
}

TEST_F(CRegSettingsTest, PropertiesNormaliseTheirValuesAndMoveThePath) {
    struct Case {
        std::int64_t in;
        RegKey stored;
    } roots[] = {{0, reg::kCurrentUser},
                 {0x80000002, reg::kLocalMachine},
                 {0x80000000, reg::kClassesRoot},
                 {0x80000006, reg::kDynData},
                 {0x80000007, reg::kCurrentUser},
                 {-2147483646, reg::kLocalMachine},  // the same root held in a signed 32-bit
                 {-1, reg::kCurrentUser}};
    for (const auto& c : roots) {
        settings.hKey(c.in);
        EXPECT_EQ(settings.hKey(), c.stored) << c.in;
    }
    settings.Company("   ");
    settings.MSubKey("");
    settings.AppName("  5521\\QORPhone ");
    EXPECT_EQ(settings.Company(), "Norvane");
    EXPECT_EQ(settings.MSubKey(), "Software");
    EXPECT_EQ(settings.AppName(), "5521\\QORPhone");
    reg.SetString(reg::kCurrentUser, "Software\\Norvane\\5521\\QORPhone\\Settings", "Developper",
                  "3");
    EXPECT_EQ(settings.GetSetting("Settings", "Developper", "0"), "3");

    reg.SetString(reg::kLocalMachine, "Software\\Norvane\\5521\\Install", "Path", "C:\\Q");
    EXPECT_EQ(settings.GetSettingFromHKey(0x80000002, "5521", "Install", "Path"), "C:\\Q");
    EXPECT_EQ(settings.hKey(), reg::kLocalMachine);  // the FromHKey forms leave both changed
    EXPECT_EQ(settings.AppName(), "5521");
}

TEST_F(CRegSettingsTest, IsUserAdminNeedsFullAccessToSoftwareUnderTheRoot) {
    EXPECT_TRUE(settings.IsUserAdmin(0x80000002, "x", "y"));
    reg.DenyWriteAccess(reg::kLocalMachine);
    EXPECT_FALSE(settings.IsUserAdmin(0x80000002, "x", "y"));
    EXPECT_TRUE(settings.IsUserAdmin(0x80000001, "x", "y"));
    EXPECT_EQ(settings.hKey(), reg::kCurrentUser);  // properties untouched
    EXPECT_EQ(settings.AppName(), "QORDial");
}

}  // namespace
}  // namespace qor
