#include <gtest/gtest.h>

#include "core/diagnostics/ErrorReporter.h"
#include "native/FakeComponents.h"
#include "native/NativePlatform.h"

namespace qor {
namespace {

// A window object: answers "Caption", or fails like an object without one.
class FakeWindow : public ILateBound {
  public:
    explicit FakeWindow(Variant caption, bool hasCaption = true)
        : caption_(std::move(caption)), hasCaption_(hasCaption) {}
    Variant Invoke(const std::string& name, std::vector<Variant>&) override {
        if (!hasCaption_ || name != "Caption") Raise(err::kNoSuchMember);
        return caption_;
    }

  private:
    Variant caption_;
    bool hasCaption_;
};

constexpr const char* kLabel = "QorIcon Launcher.ExecuteCommand";

TEST(StrLogErrorTest, BuildsPlaceExtraAndErrorParts) {
    struct Case {
        ErrorInfo error;
        LateBoundPtr window;
        const char* extra;
        const char* expected;
    } cases[] = {
        {{13, "Type mismatch", "qorIcon", 0},
         nullptr,
         "",
         "QorIcon Launcher.ExecuteCommand - qorIcon - Type mismatch - 13 (0xD)"},
        {{0, "ignored", "src", 0}, nullptr, "", "QorIcon Launcher.ExecuteCommand - src - -"},
        {{-2147467259, "Unspecified error", "src", 0},
         nullptr,
         "x",
         "QorIcon Launcher.ExecuteCommand - src x Unspecified error - -2147467259 (0x80004005)"},
        {{-1, "d", "src", 0},
         nullptr,
         "",
         "QorIcon Launcher.ExecuteCommand - src - d - -1 (0xFFFFFFFF)"},
        {{91, "d", "", 0},
         nullptr,
         "",
         "QorIcon Launcher.ExecuteCommand - QORDial - d - 91 (0x5B)"},
        {{255, "d", "src", 42},
         std::make_shared<FakeWindow>("Main"),
         "more",
         "QorIcon Launcher.ExecuteCommand - src.Main line 42 more d - 255 (0xFF)"},
    };
    for (const auto& c : cases) {
        NativePlatform platform;
        std::string extra = c.extra;
        EXPECT_EQ(StrLogError(platform, kLabel, c.error, c.window, extra), c.expected);
        EXPECT_EQ(extra, *c.extra ? c.extra : "-");  // the caller's variable too
        EXPECT_TRUE(platform.debugLines.empty());
    }
}

TEST(StrLogErrorTest, AFailingStepShortensTheLineAndGoesToTheDebugger) {
    NativePlatform platform;
    std::string extra;
    const ErrorInfo error{5, "d", "src", 3};
    EXPECT_EQ(StrLogError(platform, kLabel, error, std::make_shared<FakeWindow>("", false), extra),
              "QorIcon Launcher.ExecuteCommand - src line 3 - d - 5 (0x5)");
    // A caption that is an object has no text.
    EXPECT_EQ(
        StrLogError(platform, kLabel, error,
                    std::make_shared<FakeWindow>(LateBoundPtr(std::make_shared<FakeWindow>("x"))),
                    extra),
        "QorIcon Launcher.ExecuteCommand - src line 3 - d - 5 (0x5)");
    EXPECT_EQ(
        platform.debugLines,
        (std::vector<std::string>{
            "mLogErrorEntlib.StrLogError - Object doesn't support this property or method\r\n",
            "mLogErrorEntlib.StrLogError - Type mismatch\r\n"}));
}

TEST(ErrorReporterTest, WritesTheLineWithItsSourceIdAndCodes) {
    NativePlatform platform;
    FakeOutsideComponents components;
    ErrorReporter reporter(platform, components);
    reporter.LogErrorInit(7);
    reporter.LogErrorInit(9);  // only changes the identifier
    EXPECT_EQ(components.createdLogWriters, 1);
    reporter.LogError("QorIcon frmMain.RefreshNumState", {13, "Type mismatch", "qorIcon", 0});
    ASSERT_EQ(components.logWriter->lines.size(), 1u);
    const auto& line = components.logWriter->lines[0];
    EXPECT_EQ(line.sourceId, 9);
    EXPECT_EQ(line.code1, 3);
    EXPECT_EQ(line.code2, 5);
    EXPECT_EQ(line.text, "QorIcon frmMain.RefreshNumState - qorIcon - Type mismatch - 13 (0xD)");
    EXPECT_EQ(reporter.ErrorLogger(), components.logWriter.get());
}

TEST(ErrorReporterTest, ReportingFailuresEndOnTheDebuggerOutput) {
    NativePlatform platform;
    FakeOutsideComponents components;
    components.failLogWriter = true;
    ErrorReporter reporter(platform, components);
    reporter.LogErrorInit(0);
    reporter.LogError("L", {5, "d", "s", 0});
    reporter.LogError("L", {6, "d", "s", 0});
    EXPECT_EQ(reporter.ErrorLogger(), nullptr);
    EXPECT_EQ(
        platform.debugLines,
        (std::vector<std::string>{
            "mLogErrorEntlib.LogErrorInit - ActiveX component can't create object\r\n",
            "mLogErrorEntlib.LogError - Object variable or With block variable not set\r\n",
            "mLogErrorEntlib.LogError - Object variable or With block variable not set\r\n"}));

    NativePlatform platform2;
    FakeOutsideComponents components2;
    ErrorReporter reporter2(platform2, components2);
    reporter2.LogErrorInit(0);
    components2.logWriter->failWrites = true;
    reporter2.LogError("L", {5, "d", "s", 0});
    EXPECT_EQ(platform2.debugLines,
              std::vector<std::string>{"mLogErrorEntlib.LogError - Internal error\r\n"});
}

}  // namespace
}  // namespace qor
