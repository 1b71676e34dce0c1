#include <gtest/gtest.h>

#include "core/diagnostics/ErrorReporter.h"
#include "core/diagnostics/cLogFile.h"
#include "native/FakeComponents.h"
#include "native/NativePlatform.h"

namespace qor {
namespace {

class cLogFileTest : public ::testing::Test {
  protected:
    void SetUp() override { reporter.LogErrorInit(0); }
    void Start(std::int32_t mode, std::int32_t options, std::int32_t level) {
        std::string file = "C:\\x\\qorphone.log";
        log.Start(file, mode, options, level);
    }
    std::vector<std::string> Written() const {
        std::vector<std::string> texts;
        for (const auto& line : components.logWriter->lines) {
            EXPECT_EQ(line.sourceId, 0);
            EXPECT_EQ(line.code1, 1);
            EXPECT_EQ(line.code2, 4);
            texts.push_back(line.text);
        }
        return texts;
    }
    NativePlatform platform;
    FakeOutsideComponents components;
    ErrorReporter reporter{platform, components};
    cLogFile log{platform, reporter};
};

TEST_F(cLogFileTest, LetsThroughLevelsUpToItsOwnIndentedAndCopied) {
    Start(65, 271, 4);  // the component's own start: indent and debugger copy
    for (std::int32_t level : {0, 3, 4, 5}) log.Message("m" + std::to_string(level), level);
    const std::vector<std::string> expected{"m0", "         m3", "            m4"};
    EXPECT_EQ(Written(), expected);
    EXPECT_EQ(platform.debugLines,
              (std::vector<std::string>{"m0\r\n", "         m3\r\n", "            m4\r\n"}));
    EXPECT_EQ(log.FileName(), "");
    EXPECT_EQ(log.mode(), 65);
    EXPECT_EQ(log.Level(), 4);
}

TEST_F(cLogFileTest, PlainModeWritesNeitherIndentNorDebuggerCopy) {
    Start(1, 0xFF, 5);
    log.Message("x", 5);
    EXPECT_EQ(Written(), std::vector<std::string>{"x"});
    EXPECT_TRUE(platform.debugLines.empty());
}

TEST_F(cLogFileTest, OnlyARunningTraceWithANonNegativeLevelWrites) {
    log.Message("stopped", 0);
    EXPECT_EQ(log.Pause(), 2);
    EXPECT_EQ(log.Status(), cLogFile::kStopped);
    Start(0, 0, 1);
    EXPECT_EQ(log.Continue(), 3);
    EXPECT_EQ(log.Pause(), 0);
    log.Message("paused", 0);
    EXPECT_EQ(log.Continue(), 0);
    log.Message("running", 1);
    log.Level(-1);
    log.Message("negative level", -2);
    log.Level(2);
    EXPECT_EQ(log.logStop(), 0);
    log.Message("after stop", 0);
    EXPECT_EQ(Written(), std::vector<std::string>{"running"});
}

TEST(cLogFileNoLoggerTest, MessageRaisesToTheWriterWithoutLoggingObject) {
    NativePlatform platform;
    FakeOutsideComponents components;
    components.failLogWriter = true;
    ErrorReporter reporter(platform, components);
    reporter.LogErrorInit(0);
    cLogFile log(platform, reporter);
    std::string file;
    std::int32_t mode = 0, options = 0, level = 5;
    log.Start(file, mode, options, level);
    try {
        log.Message("x", 1);
        FAIL() << "no error raised";
    } catch (const QorError& e) {
        EXPECT_EQ(e.Number(), err::kObjectNotSet);
    }
}

}  // namespace
}  // namespace qor
