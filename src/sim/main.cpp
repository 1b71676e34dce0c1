// qoricon-sim: plays scenarios against the tray component with a simulated client
// and phone system. The native build plays them against the core in this
// process; the Windows build (qoricon-sim.exe, run under Wine) against the real
// qorIcon.dll, and can save a picture of the notification area after each action.
//   qoricon-sim run [--timeline] [--verbose] [--screenshots DIR] FILE...
//   qoricon-sim demo [--verbose] [--screenshots DIR]

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "sim/scenario/Runner.h"
#include "sim/scenario/Showcase.h"

#ifdef QOR_SIM_WINE
#include <ole2.h>

#include <cstdio>

#include "sim/windows/WineWorld.h"
#endif

namespace {

int Usage() {
    std::cerr << "usage: qoricon-sim run [--timeline] [--verbose] [--screenshots DIR] FILE...\n"
                 "       qoricon-sim demo [--verbose] [--screenshots DIR]\n";
    return 2;
}

#ifdef QOR_SIM_WINE
// The real DLL lives in this thread's single-threaded apartment, with OLE as a
// client's user-interface thread has it (dragging a number out needs it).
class Apartment {
  public:
    Apartment() {
        if (FAILED(OleInitialize(nullptr))) throw std::runtime_error("OLE cannot be initialised");
    }
    ~Apartment() { OleUninitialize(); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};
#endif

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 2) return Usage();
        const std::string command = argv[1];
        qor::sim::RunOptions options;
        std::vector<std::string> files;
        std::string screenshots;
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--screenshots" && i + 1 < argc) {
                screenshots = argv[++i];
            } else if (arg == "--timeline") {
                options.timeline = true;
            } else if (arg == "--verbose") {
                options.verbose = true;
            } else if (arg.rfind("--", 0) == 0) {
                return Usage();
            } else {
                files.push_back(arg);
            }
        }
#ifdef QOR_SIM_WINE
        Apartment apartment;
        options.makeWorld = [] { return std::make_unique<qor::sim::win::WineWorld>(); };
        if (!screenshots.empty()) {
            int taken = 0;
            options.afterAction = [screenshots, &taken](const qor::sim::Step& step,
                                                        qor::sim::World& world) {
                char name[32];
                std::snprintf(name, sizeof name, "/step-%02d-line-%03d.bmp", ++taken, step.line);
                static_cast<qor::sim::win::WineWorld&>(world).SaveScreenshot(screenshots + name);
            };
        }
#else
        if (!screenshots.empty()) {
            std::cerr << "qoricon-sim: --screenshots needs the Windows build under Wine\n";
            return 2;
        }
#endif
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
