#pragma once
// The diagnostic trace: messages at or below the configured level, while running,
// go to the logging component (and optionally the debugger output).

#include <cstdint>
#include <string>

#include "core/contracts/Platform.h"

namespace qor {

class ErrorReporter;

class cLogFile {
  public:
    static constexpr std::int32_t kOptionIndent = 0x100;
    static constexpr std::int32_t kModeDebugCopy = 0x40;
    static constexpr std::int32_t kStopped = 0, kRunning = 1, kPaused = 2;

    cLogFile(IPlatform& platform, ErrorReporter& reporter);
    ~cLogFile();

    std::int32_t Start(std::string& file, std::int32_t& mode, std::int32_t& options,
                       std::int32_t& level);
    std::int32_t logStop();
    // No handler of its own: a missing or failing logging object raises to the writer.
    std::int32_t Message(const std::string& msg, std::int32_t level);
    std::int32_t Pause();
    std::int32_t Continue();

    std::int32_t Level() const { return level_; }
    void Level(std::int32_t value) { level_ = value; }
    std::int32_t mode() const { return mode_; }
    std::int32_t Status() const { return status_; }
    const std::string& FileName() const { return fileName_; }

  private:
    IPlatform& platform_;
    ErrorReporter& reporter_;
    std::int32_t options_ = 0;
    std::int32_t level_ = 0;
    std::int32_t mode_ = 0;
    std::int32_t status_ = kStopped;
    std::int32_t sourceId_ = 0;
    std::string fileName_;
};

}  // namespace qor
