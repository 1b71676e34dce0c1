#include <gtest/gtest.h>

#include "core/clicktocall/LinkHandler.h"
#include "core/clicktocall/TelUrl.h"
#include "native/FakeComponents.h"
#include "native/NativePlatform.h"

namespace qor {
namespace {

const std::string kInstallKey = "Software\\Norvane\\5521\\Install";
const std::string kFolder = "C:\\Program Files\\Norvane\\5521\\";
const std::string kProgram = "\"" + kFolder + "qorphone.exe\" ";

struct Installed : NativePlatform {
    Installed() {
        registry().SetString(reg::kLocalMachine, kInstallKey, "Path", kFolder);
        AddProgram(kFolder + "qorphone.exe");
    }
};

TEST(LinkHandlerTest, AcceptedLinkStartsTheClientAsCallEdnDoesWithoutNames) {
    // clang-format off
    const struct { std::u16string link; std::string commandLine; } cases[] = {
        {u"tel:+49-30-123456", kProgram + "qorphone://+4930123456"},
        {u"callto://+49%2030%20123456/", kProgram + "qorphone://+4930123456"},
        {u"tel:*31#7042;phone-context=pbx.example.com", kProgram + "qorphone://*31#7042"},
    };
    // clang-format on
    for (const auto& c : cases) {
        Installed platform;
        FakeLogWriter log;
        EXPECT_EQ(OpenCallLink(platform, &log, c.link), LinkOutcome::kCallStarted);
        ASSERT_EQ(platform.processes.size(), 1u);
        EXPECT_EQ(platform.processes[0].commandLine, c.commandLine);
        EXPECT_EQ(platform.processes[0].showMode, kShowMinimized);
        EXPECT_TRUE(platform.debugLines.empty() && log.lines.empty());
    }
}

TEST(LinkHandlerTest, RefusalStartsNothingAndIsOneLineOnTheDebuggerAndInTheLog) {
    Installed platform;
    FakeLogWriter log;
    EXPECT_EQ(OpenCallLink(platform, &log, u"tel:123%22%20lname:x"), LinkOutcome::kRefused);
    EXPECT_TRUE(platform.processes.empty() && platform.failedProcessStarts.empty());
    const std::string line =
        "qorcall.OpenLink  - qorcall \"tel:123%22%20lname:x\" Link refused: the number holds a "
        "quotation mark ('\"') - 5 (0x5)";
    EXPECT_EQ(platform.debugLines, std::vector<std::string>{line});
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].text, line);
    EXPECT_EQ(log.lines[0].code1, 3);
    EXPECT_EQ(log.lines[0].code2, 5);

    // Without the logging component, or with one that fails, the debugger still hears.
    Installed alone;
    EXPECT_EQ(OpenCallLink(alone, nullptr, std::u16string(u"tel:1\0002", 7)),
              LinkOutcome::kRefused);
    EXPECT_EQ(alone.debugLines,
              std::vector<std::string>{"qorcall.OpenLink  - qorcall \"tel:1<U+0000>2\" Link "
                                       "refused: the link holds a NUL character - 5 (0x5)"});
    FakeLogWriter failing;
    failing.failWrites = true;
    EXPECT_EQ(OpenCallLink(alone, &failing, u"tel:x"), LinkOutcome::kRefused);
    EXPECT_EQ(alone.debugLines.size(), 2u);
    EXPECT_TRUE(alone.processes.empty());
}

TEST(LinkHandlerTest, ClientThatCannotStartIsReportedWithTheLink) {
    NativePlatform missing;  // no install path, no program
    FakeLogWriter log;
    EXPECT_EQ(OpenCallLink(missing, &log, u"tel:+4930"), LinkOutcome::kClientNotStarted);
    ASSERT_EQ(missing.failedProcessStarts.size(), 1u);
    EXPECT_EQ(missing.failedProcessStarts[0].commandLine, "\"qorphone.exe\" qorphone://+4930");
    const std::string line = "qorcall.OpenLink  - qorIcon \"tel:+4930\" File not found - 53 (0x35)";
    EXPECT_EQ(missing.debugLines, std::vector<std::string>{line});
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].text, line);
}

TEST(LinkHandlerTest, ArgumentIsEverythingAfterTheProgramWithOnePairOfQuotesRemoved) {
    // clang-format off
    const struct { std::u16string commandLine, argument; } cases[] = {
        {u"\"C:\\Program Files\\q\\qorcall.exe\" \"tel:+49 30 1\"", u"tel:+49 30 1"},
        {u"\"C:\\q\\qorcall.exe\" \"tel:12\"3\"", u"tel:12\"3"},
        {u"\"C:\\q\\qorcall.exe\" \"tel:1\" \"/register\"", u"tel:1\" \"/register"},
        {u"C:\\q\\qorcall.exe   /register  ", u"/register"},
        {u"qorcall.exe\t\"tel:1", u"\"tel:1"},
        {u"\"C:\\q\\qorcall.exe\"", u""},
        {u"\"C:\\q\\qorcall.exe", u""},
        {u"\"C:\\q\\qorcall.exe\" \"\"", u""},
        {u"", u""},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_TRUE(CommandLineArgument(c.commandLine) == c.argument)
            << PrintableLink(c.commandLine);
}

}  // namespace
}  // namespace qor
