// ClickToCall's command line for any number and names (the input's three texts,
// split at the byte 0x1F): the quoted program path comes first and nothing a
// caller passes can end it; nothing follows the path when the number is empty
// once trimmed; otherwise the request for the trimmed number comes last, after
// "lname:" and "fname:" with the trimmed names when they are not empty. A NUL in
// a text counts as absent: it would end the command line where the system reads
// it, so none may reach it.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "core/clicktocall/ClickToCall.h"
#include "core/contracts/Platform.h"
#include "native/NativePlatform.h"

namespace {

using qor::fuzz::Require;

constexpr const char* kInstallPath = "C:\\Program Files\\Norvane\\";

std::vector<std::string> Split(const std::string& input) {
    std::vector<std::string> texts(1);
    for (char c : input) {
        if (c == '\x1f' && texts.size() < 3) {
            texts.emplace_back();
        } else {
            texts.back() += c;
        }
    }
    texts.resize(3);
    return texts;
}

// What the rules see of a caller's text: NULs absent, spaces around it removed.
std::string Seen(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto texts = Split(std::string(reinterpret_cast<const char*>(data), size));
    qor::NativePlatform platform;
    platform.registry().SetString(qor::reg::kLocalMachine, "Software\\Norvane\\5521\\Install",
                                  "Path", kInstallPath);
    const std::string program = std::string(kInstallPath) + qor::kClientProgram;
    platform.AddProgram(program);
    {
        qor::ClickToCall clickToCall(platform);
        clickToCall.CallEdn(texts[0], texts[1], texts[2]);
    }
    Require(platform.processes.size() == 1 && platform.failedProcessStarts.empty(),
            "the client was not started exactly once");
    Require(platform.processes[0].showMode == qor::kShowMinimized, "not started minimized");
    const std::string& line = platform.processes[0].commandLine;
    const std::string edn = Seen(texts[0]), first = Seen(texts[1]), last = Seen(texts[2]);

    Require(line.find('\0') == std::string::npos, "a NUL in the command line");
    const std::string path = "\"" + program + "\" ";
    Require(line.rfind(path, 0) == 0, "the program path does not come first: " + line);
    Require(line.find('"', 1) == path.size() - 2, "a caller's text ends the program path");
    const std::string rest = line.substr(path.size());
    if (edn.empty()) {
        Require(rest.empty(), "something follows the path without a number: " + line);
        return 0;
    }
    const std::string request = "qorphone://" + edn;
    Require(EndsWith(rest, request), "the request is not last: " + line);
    std::string names;
    if (!last.empty()) names = "lname:" + last;
    if (!first.empty()) names += (names.empty() ? "fname:" : " fname:") + first;
    Require(rest == (names.empty() ? request : names + " " + request),
            "the names before the request are not the trimmed names: " + line);
    return 0;
}
