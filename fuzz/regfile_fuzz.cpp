// The .reg reader: any text is applied line by line or stopped by an error that
// names one of its lines; no other failure escapes and no key stays open.

#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "core/common/Error.h"
#include "native/MemoryRegistry.h"
#include "native/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    qor::MemoryRegistry registry;
    try {
        qor::LoadRegFile(registry, text);
    } catch (const qor::QorError& e) {
        const std::string message = e.what();
        const std::string marker = "registry file line ";
        const auto at = message.find(marker);
        qor::fuzz::Require(at != std::string::npos, "no line number: " + message);
        const int line = std::stoi(message.substr(at + marker.size()));
        qor::fuzz::Require(line >= 1 && line <= qor::fuzz::LineCount(text),
                           "line out of the text: " + message);
    }
    qor::fuzz::Require(registry.OpenHandleCount() == 0, "a key handle stayed open");
    return 0;
}
