// The scenario reader and player: any text either stops at one line with a
// FILE:LINE message or plays to its end in the native world; nothing escapes,
// crashes or hangs.

#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzCheck.h"
#include "sim/scenario/Runner.h"
#include "sim/scenario/Script.h"

namespace {

constexpr const char* kFile = "fuzz.scn";

// "fuzz.scn:LINE: message" with LINE one of the text's lines.
void RequireFileAndLine(const std::string& message, int lines) {
    const std::string prefix = std::string(kFile) + ":";
    qor::fuzz::Require(message.rfind(prefix, 0) == 0, "no file name: " + message);
    const auto colon = message.find(": ", prefix.size());
    qor::fuzz::Require(colon != std::string::npos, "no line number: " + message);
    const int line = std::stoi(message.substr(prefix.size(), colon - prefix.size()));
    qor::fuzz::Require(line >= 1 && line <= lines && colon + 2 < message.size(),
                       "line out of the text or no message: " + message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int lines = qor::fuzz::LineCount(text);
    try {
        qor::sim::ReadScript(text, kFile);
    } catch (const qor::sim::ScriptError& e) {
        RequireFileAndLine(e.what(), lines);
        return 0;  // an unreadable scenario never runs
    }
    std::ostringstream out;
    const auto result = qor::sim::RunScenario(text, kFile, out, {});
    if (!result.error.empty()) RequireFileAndLine(result.error, lines);
    return 0;
}
