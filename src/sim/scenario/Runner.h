#pragma once
// Runs scenario files and reports them: one line per scenario and a closing
// "N passed, M failed".

#include <ostream>
#include <string>
#include <vector>

#include "sim/scenario/Session.h"

namespace qor::sim {

struct ScenarioResult {
    bool passed = false;
    int failedExpectations = 0;
    std::string error;  // the ScriptError that stopped it, if any
};

// One scenario from its text; `name` is what messages call the file.
ScenarioResult RunScenario(const std::string& text, const std::string& name, std::ostream& out,
                           RunOptions options);

// Runs every file; returns the process exit code (0 all passed, 1 otherwise).
int RunFiles(const std::vector<std::string>& files, std::ostream& out, RunOptions options);

}  // namespace qor::sim
