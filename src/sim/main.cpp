// qoricon-sim: plays scenarios against the tray component with a simulated client
// and phone system.
//   qoricon-sim run [--timeline] [--verbose] FILE...
//   qoricon-sim demo [--verbose]

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "sim/scenario/Runner.h"
#include "sim/scenario/Showcase.h"

namespace {

int Usage() {
    std::cerr << "usage: qoricon-sim run [--timeline] [--verbose] FILE...\n"
                 "       qoricon-sim demo [--verbose]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 2) return Usage();
        const std::string command = argv[1];
        qor::sim::RunOptions options;
        std::vector<std::string> files;
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--timeline") {
                options.timeline = true;
            } else if (arg == "--verbose") {
                options.verbose = true;
            } else if (arg.rfind("--", 0) == 0) {
                return Usage();
            } else {
                files.push_back(arg);
            }
        }
        if (command == "run") {
            if (files.empty()) return Usage();
            return qor::sim::RunFiles(files, std::cout, options);
        }
        if (command == "demo") {
            if (!files.empty()) return Usage();
            options.timeline = true;
            std::cout << "qorIcon showcase: what the tray shows and what the client is asked\n";
            const auto result = qor::sim::RunScenario(qor::sim::ShowcaseScenario(), "showcase.scn",
                                                      std::cout, options);
            std::cout << (result.passed ? 1 : 0) << " passed, " << (result.passed ? 0 : 1)
                      << " failed\n";
            return result.passed ? 0 : 1;
        }
        return Usage();
    } catch (const std::exception& e) {
        std::cerr << "qoricon-sim: " << e.what() << "\n";
        return 2;
    }
}
