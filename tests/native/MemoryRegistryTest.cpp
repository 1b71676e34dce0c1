#include <gtest/gtest.h>

#include "core/common/Error.h"
#include "native/MemoryRegistry.h"

namespace qor {
namespace {

TEST(MemoryRegistryTest, LoadsRegFilesInBothFormats) {
    for (const char* header : {"Windows Registry Editor Version 5.00", "REGEDIT4"}) {
        MemoryRegistry reg;
        reg.SetString(reg::kCurrentUser, "Software\\Old\\Sub", "x", "1");
        reg.LoadRegFile(std::string(header) +
                        "\r\n\r\n; a comment\r\n"
                        "[HKEY_CURRENT_USER\\Software\\Norvane\\5521\\QORDial\\Settings]\r\n"
                        "\"LButtonDial\"=\"True\"\r\n"
                        "\"Path\"=\"C:\\\\Q \\\"x\\\"\"\r\n"
                        "@=\"default\"\r\n"
                        "\"Level\"=dword:0000000a\r\n"
                        "\"Gone\"=\"1\"\r\n"
                        "\"gone\"=-\r\n"
                        "\"Bin\"=hex:01,ff,\\\r\n  02\r\n"
                        "[-HKCU\\Software\\Old]\r\n"
                        "[HKLM\\Software\\Norvane\\5521\\Install]\n"
                        "\"Path\"=\"\"\n");
        const std::string settings = "Software\\Norvane\\5521\\QORDial\\Settings";
        EXPECT_EQ(reg.GetString(reg::kCurrentUser, settings, "lbuttondial"), "True") << header;
        EXPECT_EQ(reg.GetString(reg::kCurrentUser, settings, "Path"), "C:\\Q \"x\"");
        EXPECT_EQ(reg.GetString(reg::kCurrentUser, settings, ""), "default");
        EXPECT_EQ(reg.GetType(reg::kCurrentUser, settings, "Level"), reg::kTypeDword);
        EXPECT_EQ(reg.GetData(reg::kCurrentUser, settings, "Level"),
                  (std::vector<std::uint8_t>{10, 0, 0, 0}));
        EXPECT_EQ(reg.GetData(reg::kCurrentUser, settings, "Bin"),
                  (std::vector<std::uint8_t>{1, 0xff, 2}));
        EXPECT_FALSE(reg.GetString(reg::kCurrentUser, settings, "Gone"));
        EXPECT_FALSE(reg.KeyExists(reg::kCurrentUser, "Software\\Old"));
        EXPECT_EQ(reg.GetData(reg::kLocalMachine, "Software\\Norvane\\5521\\Install", "Path"),
                  std::vector<std::uint8_t>{0});
    }
}

TEST(MemoryRegistryTest, MalformedRegFileNamesTheLine) {
    struct Case {
        const char* text;
        const char* line;
    } cases[] = {{"[HKCU\\Software]\n", "line 1"},
                 {"REGEDIT4\n\n\"v\"=\"outside a key\"\n", "line 3"},
                 {"REGEDIT4\n[HKCU\\X]\n\"v\"=dword:123456789\n", "line 3"},
                 {"REGEDIT4\n[HKCU\\X]\n\"v\"=\"bad \\n escape\"\n", "line 3"},
                 {"REGEDIT4\n[HKCU\\X]\n\"v\"=\"open\n", "line 3"},
                 {"REGEDIT4\n[HKXX\\X]\n", "line 2"},
                 {"REGEDIT4\n[HKCU\\X\n", "line 2"},
                 {"REGEDIT4\n[HKCU\\X]\nv=\"1\"\n", "line 3"}};
    for (const auto& c : cases) {
        MemoryRegistry reg;
        try {
            reg.LoadRegFile(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const QorError& e) {
            EXPECT_NE(std::string(e.what()).find(c.line), std::string::npos)
                << c.text << " -> " << e.what();
        }
    }
}

TEST(MemoryRegistryTest, BehavesLikeTheSystemRegistryFunctions) {
    MemoryRegistry reg;
    RegKey key = 0;
    std::uint32_t disposition = 0;
    ASSERT_EQ(reg.CreateKey(reg::kCurrentUser, "Software\\A\\B", "c", 0, reg::kKeyAllAccess, key,
                            &disposition),
              reg::kSuccess);
    EXPECT_EQ(disposition, 1u);
    const std::uint8_t text[] = {'h', 'i', 0};
    EXPECT_EQ(reg.SetValue(key, "Val", reg::kTypeString, text, 3), reg::kSuccess);
    EXPECT_EQ(reg.CloseKey(key), reg::kSuccess);
    EXPECT_EQ(reg.CloseKey(key), reg::kInvalidHandle);

    ASSERT_EQ(reg.OpenKey(reg::kCurrentUser, "SOFTWARE\\a\\b", reg::kKeyRead, key), reg::kSuccess);
    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(reg.QueryValue(key, "VAL", &type, nullptr, &size), reg::kSuccess);
    EXPECT_EQ(type, reg::kTypeString);
    EXPECT_EQ(size, 3u);
    std::uint8_t small[2] = {};
    size = 2;
    EXPECT_EQ(reg.QueryValue(key, "Val", nullptr, small, &size), reg::kMoreData);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(reg.QueryValue(key, "Other", nullptr, nullptr, &size), reg::kFileNotFound);
    EXPECT_EQ(reg.SetValue(key, "W", reg::kTypeString, text, 3), reg::kAccessDenied);  // read-only
    EXPECT_EQ(reg.CloseKey(key), reg::kSuccess);

    ASSERT_EQ(reg.CreateKey(reg::kCurrentUser, "Software\\A", "", 0, reg::kKeyAllAccess, key,
                            &disposition),
              reg::kSuccess);
    EXPECT_EQ(disposition, 2u);
    EXPECT_EQ(reg.DeleteKey(reg::kCurrentUser, "Software\\A"), reg::kAccessDenied);  // has B
    EXPECT_EQ(reg.DeleteKey(key, "b"), reg::kSuccess);
    EXPECT_EQ(reg.DeleteKey(key, "b"), reg::kFileNotFound);
    EXPECT_EQ(reg.CloseKey(key), reg::kSuccess);
    EXPECT_EQ(reg.OpenKey(reg::kCurrentUser, "Software\\A\\B", reg::kKeyRead, key),
              reg::kFileNotFound);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(MemoryRegistryTest, DeniedRootAllowsReadingOnly) {
    MemoryRegistry reg;
    reg.SetString(reg::kLocalMachine, "Software\\X", "v", "1");
    reg.DenyWriteAccess(reg::kLocalMachine);
    RegKey key = 0;
    std::uint32_t disposition = 0;
    EXPECT_EQ(reg.OpenKey(reg::kLocalMachine, "Software\\X", reg::kKeyAllAccess, key),
              reg::kAccessDenied);
    EXPECT_EQ(
        reg.CreateKey(reg::kLocalMachine, "Software\\Y", "", 0, reg::kKeyRead, key, &disposition),
        reg::kAccessDenied);
    EXPECT_EQ(reg.DeleteKey(reg::kLocalMachine, "Software\\X"), reg::kAccessDenied);
    ASSERT_EQ(reg.OpenKey(reg::kLocalMachine, "Software\\X", reg::kKeyRead, key), reg::kSuccess);
    EXPECT_EQ(reg.DeleteValue(key, "v"), reg::kAccessDenied);
    reg.CloseKey(key);
    reg.DenyWriteAccess(reg::kLocalMachine, false);
    EXPECT_EQ(reg.OpenKey(reg::kLocalMachine, "Software\\X", reg::kKeyAllAccess, key),
              reg::kSuccess);
    reg.CloseKey(key);
}

}  // namespace
}  // namespace qor
