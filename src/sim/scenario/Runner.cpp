#include "sim/scenario/Runner.h"

#include <fstream>
#include <sstream>

#include "sim/scenario/NativeWorld.h"

namespace qor::sim {

ScenarioResult RunScenario(const std::string& text, const std::string& name, std::ostream& out,
                           RunOptions options) {
    ScenarioResult result;
    try {
        const auto steps = ReadScript(text, name);
        Session session(out, options,
                        options.makeWorld ? options.makeWorld() : std::make_unique<NativeWorld>());
        result.failedExpectations = session.Run(steps);
    } catch (const ScriptError& e) {
        result.error = e.what();
        out << e.what() << "\n";
    }
    result.passed = result.error.empty() && result.failedExpectations == 0;
    return result;
}

int RunFiles(const std::vector<std::string>& files, std::ostream& out, RunOptions options) {
    int passed = 0, failed = 0;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        ScenarioResult result;
        if (!in) {
            out << file << ": error: cannot read the file\n";
        } else {
            std::ostringstream text;
            text << in.rdbuf();
            if (options.timeline) out << "== " << file << "\n";
            result = RunScenario(text.str(), file, out, options);
        }
        if (result.passed) {
            ++passed;
            out << "PASS " << file << "\n";
        } else {
            ++failed;
            out << "FAIL " << file;
            if (result.failedExpectations)
                out << " (" << result.failedExpectations << " failed expectation"
                    << (result.failedExpectations == 1 ? "" : "s") << ")";
            out << "\n";
        }
    }
    out << passed << " passed, " << failed << " failed\n";
    return failed == 0 ? 0 : 1;
}

}  // namespace qor::sim
