// Cost of one extension event through RefreshNumState, presentation included, with
// the recording fakes behind the ports. The stream is a working day's typical mix:
// calls ringing, answered, held, taken back and cleared, dialled calls, forwarding
// and message indications, the pointer passing over the icon.
//
// Seconds on shared machines are noisy; the figure to compare is callgrind's
// instruction count per event (see docs/performance.md for the command).

#include <benchmark/benchmark.h>

#include <memory>

#include "core/host/Launcher.h"
#include "core/host/Runtime.h"
#include "core/tray/frmMain.h"
#include "native/FakeComponents.h"
#include "native/NativePlatform.h"
#include "sim/client/WorkingDay.h"
#include "sim/dialer/SimDialer.h"

namespace {

using namespace qor;

struct Rig {
    NativePlatform platform;
    FakeOutsideComponents components;
    Runtime runtime{platform, components};
    sim::EventPump pump;
    sim::PhoneSystem phone{pump};
    std::unique_ptr<Launcher> launcher;

    Rig() {
        launcher = std::make_unique<Launcher>(runtime);
        phone.AddExtension("201", "Line 201");
        dialer::SessionPtr session = phone.OpenSession("main", "QORPhone", {});
        std::int32_t mode = 1;
        std::string name = "QORPhone";
        launcher->addSession(session, mode, name);
        launcher->Start();
        ChooseFromPopup("mnuConnect");
        platform.FireTimer();
        pump.Pump();
        phone.IncomingCall("0301234");  // a party for the call presentations
        pump.Pump();
    }

    // A right click on the icon, and the item chosen in the popup.
    void ChooseFromPopup(const std::string& name) {
        platform.onPopup = [&](const MenuItem& root, const MenuItem*) -> const MenuItem* {
            for (const auto& child : root.children)
                if (child->name == name) return child.get();
            return nullptr;
        };
        components.trayIcon->MouseDown(kButtonRight);
        platform.onPopup = nullptr;
    }
};

void BM_RefreshNumState(benchmark::State& state) {
    Rig rig;
    frmMain& form = rig.runtime.Form();
    std::string entryId = "1";
    std::size_t i = 0;
    for (auto _ : state) {
        std::int32_t evt = sim::kWorkingDay[i++ % sim::kWorkingDay.size()];
        form.RefreshNumState(evt, entryId);
    }
    state.SetItemsProcessed(state.iterations());
    // Keep the fakes' recordings from growing without bound in long runs.
    benchmark::DoNotOptimize(form.CurrentState());
}
BENCHMARK(BM_RefreshNumState);

}  // namespace

// A fixed number of events for instruction counting under callgrind:
//   qor_bench --events=N   runs N events once and exits.
int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--events=", 0) == 0) {
            const long n = std::stol(arg.substr(9));
            Rig rig;
            frmMain& form = rig.runtime.Form();
            std::string entryId = "1";
            for (long k = 0; k < n; ++k) {
                std::int32_t evt =
                    sim::kWorkingDay[static_cast<std::size_t>(k) % sim::kWorkingDay.size()];
                form.RefreshNumState(evt, entryId);
            }
            return form.CurrentState() >= 0 ? 0 : 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
