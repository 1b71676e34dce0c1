#pragma once
// The outside logging component: one operation, source identifier, two codes, text.

#include <cstdint>
#include <string>

namespace qor {

class ILogWriter {
  public:
    virtual ~ILogWriter() = default;
    virtual void WriteLog(std::int32_t sourceId, std::int32_t code1, std::int32_t code2,
                          const std::string& text) = 0;
};

}  // namespace qor
