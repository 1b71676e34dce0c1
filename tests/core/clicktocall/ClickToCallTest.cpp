#include <gtest/gtest.h>

#include "core/clicktocall/ClickToCall.h"
#include "native/NativePlatform.h"

namespace qor {
namespace {

const std::string kInstallKey = "Software\\Norvane\\5521\\Install";
const std::string kSettingsKey = "Software\\Norvane\\5521\\QORPhone\\Settings";
const std::string kFolder = "C:\\Program Files\\Norvane\\5521\\";

// Process start answers a chosen system error; the debugger output can fail.
struct FailingPlatform : NativePlatform {
    std::uint32_t startResult = 0;
    int debugFailures = 0;
    std::uint32_t StartProcess(const std::string&, int) override { return startResult; }
    void DebugOutput(const std::string& text) override {
        if (debugFailures-- > 0) throw QorError(err::kInternal, "debugger gone");
        NativePlatform::DebugOutput(text);
    }
};

TEST(ClickToCallTest, CallEdnPassesTrimmedNumberAndNamesUnquoted) {
    const std::string l(10000, '7');
    // clang-format off
    const struct { std::string edn, first, last, afterProgram; } cases[] = {
        {"123", "", "", "qorphone://123"},
        {"  123  ", "", "", "qorphone://123"},
        {"123", "Ann", "Lee", "lname:Lee fname:Ann qorphone://123"},
        {"123", " Ann  ", "", "fname:Ann qorphone://123"},
        {"123", "", " Lee ", "lname:Lee qorphone://123"},
        {"123", "   ", "  ", "qorphone://123"},
        {"   ", "Ann", "Lee", ""},
        {"", "Ann", "Lee", ""},
        {"12 3", "Mary Ann", "van Dyke", "lname:van Dyke fname:Mary Ann qorphone://12 3"},
        {"1\"23", "A\"nn", "\"", "lname:\" fname:A\"nn qorphone://1\"23"},
        {"123", "x qorphone://999", "", "fname:x qorphone://999 qorphone://123"},
        {"\t123\r\n", "\nAnn", "Lee\t", "lname:Lee\t fname:\nAnn qorphone://\t123\r\n"},
        {"123", "Zo\xC3\xAB", "M\xE9ller", "lname:M\xE9ller fname:Zo\xC3\xAB qorphone://123"},
        {l, l, "", "fname:" + l + " qorphone://" + l},
    };
    // clang-format on
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        NativePlatform platform;
        platform.registry().SetString(reg::kLocalMachine, kInstallKey, "Path", kFolder);
        platform.AddProgram(kFolder + "qorphone.exe");
        ClickToCall(platform).CallEdn(cases[i].edn, cases[i].first, cases[i].last);
        ASSERT_EQ(platform.processes.size(), 1u) << "case " << i;
        EXPECT_EQ(platform.processes[0].commandLine,
                  "\"" + kFolder + "qorphone.exe\" " + cases[i].afterProgram)
            << "case " << i;
        EXPECT_EQ(platform.processes[0].showMode, kShowMinimized);
        EXPECT_TRUE(platform.debugLines.empty()) << "case " << i;
    }
}

// A NUL would end the command line where the real process start reads it, so it
// is dropped from each text before any rule about empty parts applies.
TEST(ClickToCallTest, CallEdnDropsNulsBeforeTheLineIsBuilt) {
    using namespace std::string_literals;
    // clang-format off
    const struct { std::string edn, first, last, afterProgram; } cases[] = {
        {"12\0003"s, "", "", "qorphone://123"},
        {"\0"s, "Ann", "Lee", ""},
        {" \0 "s, "Ann", "", ""},
        {"\0 123 \0"s, "", "", "qorphone://123"},
        {"123", "A\0nn"s, "\0"s, "fname:Ann qorphone://123"},
        {"123", "\0 "s, "Lee\0"s, "lname:Lee qorphone://123"},
    };
    // clang-format on
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        NativePlatform platform;
        platform.registry().SetString(reg::kLocalMachine, kInstallKey, "Path", kFolder);
        platform.AddProgram(kFolder + "qorphone.exe");
        ClickToCall(platform).CallEdn(cases[i].edn, cases[i].first, cases[i].last);
        ASSERT_EQ(platform.processes.size(), 1u) << "case " << i;
        EXPECT_EQ(platform.processes[0].commandLine,
                  "\"" + kFolder + "qorphone.exe\" " + cases[i].afterProgram)
            << "case " << i;
    }
}

TEST(ClickToCallTest, ProgramIsTheMachineInstallPathReadAtCreation) {
    // clang-format off
    const struct { const char* path; std::string program; } cases[] = {
        {nullptr, "qorphone.exe"}, {"", "qorphone.exe"}, {"D:\\Nv", "D:\\Nvqorphone.exe"}};
    // clang-format on
    for (const auto& c : cases) {
        NativePlatform platform;
        platform.registry().SetString(reg::kCurrentUser, kInstallKey, "Path", "X:\\");
        if (c.path) platform.registry().SetString(reg::kLocalMachine, kInstallKey, "Path", c.path);
        platform.AddProgram(c.program);
        ClickToCall c2c(platform);
        platform.registry().SetString(reg::kLocalMachine, kInstallKey, "Path", "Y:\\");
        c2c.CallEdn("5");
        ASSERT_EQ(platform.processes.size(), 1u) << c.program;
        EXPECT_EQ(platform.processes[0].commandLine, "\"" + c.program + "\" qorphone://5");
    }
}

TEST(ClickToCallTest, FailedStartIsOneDebuggerLineAndTheCallReturns) {
    NativePlatform missing;  // no program registered: the start answers file not found
    ClickToCall(missing).CallEdn("123", "Ann");
    EXPECT_TRUE(missing.processes.empty());
    EXPECT_EQ(missing.failedProcessStarts.size(), 1u);
    EXPECT_EQ(
        missing.debugLines,
        std::vector<std::string>{"ClickToCall.CallEdn  - qorIcon - File not found - 53 (0x35)"});
    const auto linesFor = [](std::uint32_t startResult, int debugFailures) {
        FailingPlatform platform;
        platform.startResult = startResult;
        platform.debugFailures = debugFailures;
        ClickToCall(platform).CallEdn("123");
        return platform.debugLines;
    };
    EXPECT_EQ(linesFor(3, 0), missing.debugLines);  // path not found reads as file not found
    EXPECT_EQ(linesFor(5, 0), std::vector<std::string>{
                                  "ClickToCall.CallEdn  - qorIcon - The client program could "
                                  "not be started (system error 5) - -2147024891 (0x80070005)"});
    EXPECT_EQ(linesFor(5, 1),
              std::vector<std::string>{"ClickToCall.LocalLogError - debugger gone\r\n"});
}

TEST(ClickToCallTest, ConnectedOnlyWhileRunningAndStateIsNotExactlyZero) {
    const char* kClient = "M-Norvane Dialwise";
    // clang-format off
    const struct { const char* window; const char* state; bool running, connected; } cases[] = {
        {nullptr, nullptr, false, false}, {nullptr, "0", false, false},
        {nullptr, "1", false, false},     {nullptr, "", false, false},
        {kClient, nullptr, true, false},  {kClient, "0", true, false},
        {kClient, "1", true, true},       {kClient, "", true, true},
        {kClient, "00", true, true},      {"S-Norvane Dialwise", "1", false, false}};
    // clang-format on
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        NativePlatform platform;
        const WindowHandle window = c.window ? platform.AddTopLevelWindow(c.window) : 0;
        if (c.state)
            platform.registry().SetString(reg::kCurrentUser, kSettingsKey, "CSConnectionState",
                                          c.state);
        ClickToCall c2c(platform);
        EXPECT_EQ(c2c.AppRunning(), c.running) << "case " << i;
        EXPECT_EQ(c2c.AppConnected(), c.connected) << "case " << i;
        EXPECT_EQ(c2c.AppConnectivity(), ConnectivityModeUnknown);
        EXPECT_EQ(c2c.ExecuteCommand("CallEdn", "123"), "");
        if (window) platform.RemoveTopLevelWindow(window);
        EXPECT_FALSE(c2c.AppRunning() || c2c.AppConnected()) << "case " << i;  // read afresh
        EXPECT_TRUE(platform.processes.empty() && platform.debugLines.empty()) << "case " << i;
    }
    NativePlatform platform;  // a value without any data reads as missing
    platform.AddTopLevelWindow(kClient);
    platform.registry().SetRaw(reg::kCurrentUser, kSettingsKey, "CSConnectionState",
                               reg::kTypeString, {});
    EXPECT_FALSE(ClickToCall(platform).AppConnected());
}

TEST(ClickToCallTest, AppEdnIsTheUserLoginTextAsStored) {
    // clang-format off
    const struct { RegKey root; std::string stored, edn; } cases[] = {
        {reg::kCurrentUser, "4711", "4711"}, {reg::kCurrentUser, " 4711 ", " 4711 "},
        {reg::kLocalMachine, "4711", ""}};
    // clang-format on
    for (const auto& c : cases) {
        NativePlatform platform;  // the client does not run
        platform.registry().SetString(c.root, kSettingsKey, "CSLogin", c.stored);
        EXPECT_EQ(ClickToCall(platform).AppEdn(), c.edn) << c.root << " " << c.stored;
    }
}

}  // namespace
}  // namespace qor
